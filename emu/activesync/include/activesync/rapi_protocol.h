// Requests and replies of the remote registry and file calls on the link's "rapi" endpoint.
//
// Request: the operation (32-bit) and its arguments in the order the call takes them; handles
// and keys as 64-bit values, texts as counted UTF-16 (a null text pointer as flag 0 with no
// text, otherwise flag 1 and the text), buffers as counted bytes. Reply: the call's result
// (32-bit), the device's last error (32-bit), then the operation's outputs.
#pragma once

#include <cstdint>

namespace activesync::rapi {

enum class Op : std::uint32_t {
    RegOpenKeyEx = 1,     // key, subkey?, options, sam → key
    RegCreateKeyEx = 2,   // key, subkey?, class?, options, sam → key, disposition
    RegQueryValueEx = 3,  // key, name?, wantType, hasData, hasSize, size → type, size, data
    RegSetValueEx = 4,    // key, name?, type, data
    RegCloseKey = 5,      // key
    CreateFile = 6,       // path?, access, share, disposition, flags → handle (as the result)
    ReadFile = 7,         // handle, count → data
    WriteFile = 8,        // handle, data → written
    CloseHandle = 9,      // handle
    DeleteFile = 10,      // path?
    GetTempPath = 11,     // buffer length → text
    GetVersionEx = 12,    // → major, minor, build, platform, service-pack text
};

}  // namespace activesync::rapi
