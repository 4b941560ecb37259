// The engine's device half of a synchronization: serves the link's "sync" endpoint
// (activesync/sync_protocol.h) by driving the providers' exports and object handlers on the
// DeviceHost's device thread, one call at a time.
//
// The outcomes of device writes are kept under their tokens in "<device>/syncwrites.log" (one
// line per write, appended and flushed before the reply goes), so a desktop that lost the reply
// can ask for it later, also from another run of the engine. Only the most recent outcomes are
// kept when a server starts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

#include "activesync/bytes.h"
#include "activesync/device_host.h"

namespace activesync {

class SyncServer {
public:
    SyncServer(pal::Machine& device, DeviceHost& host);
    // Answers one request of the endpoint; throws MalformedMessage for a request it cannot read.
    Bytes Answer(const Bytes& request);

    // What became of a device write.
    struct Outcome {
        HRESULT result = E_FAIL;
        DWORD oidNew = 0;
    };

private:
    void Record(std::uint64_t token, const Outcome& outcome);

    DeviceHost& m_host;
    std::filesystem::path m_logPath;
    std::mutex m_lock;
    std::ofstream m_log;  // the outcome log, open for appending
    std::map<std::uint64_t, Outcome> m_outcomes;
};

}  // namespace activesync
