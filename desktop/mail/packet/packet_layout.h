// The entry layout shared by the writer and the reader: how a type code sizes its value, the
// padding rule and the packet limit.
#pragma once

#include <windows.h>

#include <cstdint>

// Size of the property count at offset 0, and of each entry's tag.
constexpr DWORD kPacketCountSize = 4;
constexpr DWORD kPacketTagSize = 4;
// No packet grows beyond this many bytes.
constexpr DWORD kPacketLimit = 260000;
// Slack added to an exact fit whenever a writer's buffer is too small.
constexpr DWORD kPacketGrowth = 1024;

// How a type code's value is stored.
enum class ValueShape {
    Bare,    // no value: booleans, clear markers, every type not listed below
    Fixed,   // FixedValueSize(type) bytes
    String,  // UTF-16 units up to and including a zero terminator
    Binary,  // 32-bit count, then that many bytes
};

// Value bytes of a fixed-size type; 0 for every other type.
inline DWORD FixedValueSize(ULONG tag) {
    switch (tag & 0xFFFFu) {
        case 0x0002:  // 16-bit integers
        case 0x0012:
            return 2;
        case 0x0003:  // 32-bit integers, float
        case 0x0004:
        case 0x0013:
            return 4;
        case 0x0005:  // double, FILETIME
        case 0x0040:
            return 8;
        default:
            return 0;
    }
}

inline ValueShape ShapeOf(ULONG tag) {
    if (FixedValueSize(tag)) return ValueShape::Fixed;
    switch (tag & 0xFFFFu) {
        case 0x001F:
            return ValueShape::String;
        case 0x0102:
        case 0x0041:
            return ValueShape::Binary;
        default:
            return ValueShape::Bare;
    }
}

// Value bytes rounded up to the 4-byte boundary the next entry starts on.
inline std::uint64_t PaddedValueSize(std::uint64_t valueSize) { return (valueSize + 3) & ~3ull; }
