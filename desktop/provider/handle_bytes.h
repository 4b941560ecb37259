// Little-endian reading and writing of item handle bytes. The reader never steps past the size it
// was given: a read that does not fit fails and leaves the reader where it was.
#pragma once

#include <windows.h>

#include <cstring>

// Stores a 16- or 32-bit value little-endian at `out`.
inline void PutWord(BYTE* out, WORD value) {
    out[0] = static_cast<BYTE>(value);
    out[1] = static_cast<BYTE>(value >> 8);
}
inline void PutDword(BYTE* out, DWORD value) {
    for (int i = 0; i < 4; ++i) out[i] = static_cast<BYTE>(value >> (8 * i));
}
inline WORD GetWord(const BYTE* in) { return static_cast<WORD>(in[0] | (in[1] << 8)); }
inline DWORD GetDword(const BYTE* in) {
    return static_cast<DWORD>(in[0]) | (static_cast<DWORD>(in[1]) << 8) |
           (static_cast<DWORD>(in[2]) << 16) | (static_cast<DWORD>(in[3]) << 24);
}

class CHandleReader {
public:
    CHandleReader(const BYTE* bytes, UINT size) : m_bytes(bytes), m_left(bytes ? size : 0) {}

    bool ReadDword(DWORD& value) {
        if (m_left < 4) return false;
        value = GetDword(m_bytes);
        Skip(4);
        return true;
    }
    bool ReadBytes(void* out, UINT count) {
        if (m_left < count) return false;
        if (count) std::memcpy(out, m_bytes, count);
        Skip(count);
        return true;
    }
    UINT Left() const { return m_left; }

private:
    void Skip(UINT count) {
        m_bytes += count;
        m_left -= count;
    }

    const BYTE* m_bytes;
    UINT m_left;
};
