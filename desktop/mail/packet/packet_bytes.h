// Little-endian loads and stores, one byte at a time: packet values start at any address (the
// device faults on unaligned word loads) and the wire order is little-endian on every host.
#pragma once

#include <windows.h>

inline WORD LoadLe16(LPCBYTE at) { return static_cast<WORD>(at[0] | (at[1] << 8)); }

inline DWORD LoadLe32(LPCBYTE at) {
    return static_cast<DWORD>(at[0]) | (static_cast<DWORD>(at[1]) << 8) |
           (static_cast<DWORD>(at[2]) << 16) | (static_cast<DWORD>(at[3]) << 24);
}

inline void StoreLe16(LPBYTE at, WORD value) {
    at[0] = static_cast<BYTE>(value);
    at[1] = static_cast<BYTE>(value >> 8);
}

inline void StoreLe32(LPBYTE at, DWORD value) {
    at[0] = static_cast<BYTE>(value);
    at[1] = static_cast<BYTE>(value >> 8);
    at[2] = static_cast<BYTE>(value >> 16);
    at[3] = static_cast<BYTE>(value >> 24);
}
