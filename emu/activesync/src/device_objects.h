// The desktop half's calls to the engine's device half for one object type, over the link's
// "sync" endpoint (activesync/sync_protocol.h). A call the device does not answer (not
// connected, dropped) throws LinkLost: the synchronization cannot go on.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "activesync/bytes.h"
#include "activesync/device_link.h"
#include "activesync/sync_protocol.h"

namespace activesync {

class DeviceObjects {
public:
    DeviceObjects(DeviceLink& link, const std::string& type);

    struct List {
        HRESULT result = E_FAIL;
        std::vector<UINT> unchanged;
        std::vector<UINT> changed;
    };
    struct Read {
        HRESULT result = E_FAIL;  // RWRN_LAST_PACKET when every packet was read
        std::vector<Bytes> packets;
    };
    struct Write {
        HRESULT result = E_FAIL;
        DWORD oid = 0;  // the written object (oidNew for a new one)
    };

    List Find();
    Read ReadObject(DWORD oid);
    // Writes the object; once it succeeded, the device clears its change mark.
    Write WriteObject(std::uint64_t token, DWORD oid, DWORD flags, const std::vector<Bytes>& packets);
    HRESULT DeleteObject(DWORD oid);
    bool ClearChange(DWORD oid);
    BOOL ReportStatus(UINT code, UINT param);
    // What became of the write with `token`; nothing when the device never received it.
    std::optional<Write> Outcome(std::uint64_t token);
    // Objects the device provider admitted as changed or deleted since last asked.
    std::vector<UINT> TakeChanges();

private:
    ByteWriter Request(sync::Op op);
    Bytes Call(ByteWriter& request);

    DeviceLink& m_link;
    std::u16string m_type;
};

}  // namespace activesync
