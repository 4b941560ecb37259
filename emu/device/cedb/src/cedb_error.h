// The failure of a database operation, carrying the Win32 error code that the calling platform
// function leaves as its last error.
#pragma once

#include <windows.h>

namespace emu::cedb {

class CedbError {
public:
    explicit CedbError(DWORD code) : m_code(code) {}
    DWORD Code() const { return m_code; }

private:
    DWORD m_code;
};

}  // namespace emu::cedb
