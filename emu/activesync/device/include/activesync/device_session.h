// The engine's device half during one connection: a DeviceHost for the connected partnership
// that serves the desktop's data requests (IReplNotify::QueryDevice with QDC_SYNC_DATA) arriving
// over the link by calling the device provider's data-request export on the host's device thread.
//
// It also serves the engine's own "sync" endpoint (SyncServer): the desktop half's object lists,
// packets, writes and deletions reach the providers on the same device thread.
//
// Ownership: whoever drives the connection (a test, the command line) creates the session after
// connecting and destroys it before it disconnects or drops the link. Without a session, or while
// no device provider is registered, the device serves no data requests and the desktop's
// QueryDevice answers E_NOTIMPL.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "activesync/data_requests.h"
#include "activesync/device_host.h"
#include "activesync/device_link.h"
#include "activesync/sync_server.h"

namespace activesync {

// The process on the device that receives data requests from the link and hands them to the
// device thread.
inline constexpr char16_t kDataRequestServerPath[] = u"\\Windows\\syncdata.exe";

// A data request as a provider's export received it, with its answer.
struct ReceivedDataRequest {
    DataRequest request;
    DataReply reply;
};

class DeviceSession {
public:
    // Starts a DeviceHost with the connected partnership's partner bit for every type registered
    // under the device's provider key (kDeviceObjectsKey) and, when one is loaded, serves data
    // requests on `link`. Throws DeviceHostError when the link is not connected.
    explicit DeviceSession(DeviceLink& link);
    // Stops serving data requests (waiting for one in flight), then the host goes.
    ~DeviceSession();
    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    DeviceHost& Host() { return *m_host; }
    // Whether data requests from the desktop reach a provider.
    bool ServesDataRequests() const { return m_serving; }
    // Every request that reached a provider's data-request export, in arrival order. A request
    // for a type without a loaded provider or export is answered E_NOTIMPL and not listed.
    std::vector<ReceivedDataRequest> DataRequests() const;

private:
    DataReply Answer(const DataRequest& request);

    DeviceLink& m_link;
    std::unique_ptr<DeviceHost> m_host;
    std::unique_ptr<SyncServer> m_sync;
    bool m_serving = false;
    mutable std::mutex m_lock;
    std::vector<ReceivedDataRequest> m_received;
};

}  // namespace activesync
