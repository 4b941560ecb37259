// PacketReader: walks a received property packet in place, copying nothing.
#pragma once

#include <windows.h>

#include <cstdint>

class PacketReader {
public:
    // Binds the reader to the packet of `length` bytes at `start` and places it on the first
    // entry (offset 4). A reader binds once: Attach on a bound reader does nothing.
    void Attach(LPCBYTE start, DWORD length);

    // The property count at offset 0; 0 when unbound or when the packet is shorter than 4 bytes.
    DWORD Count() const;

    // Stores the tag of the entry at the read position in *tag and returns the address just after
    // it: the value, or for a binary value its 32-bit count with the bytes following. The read
    // position moves past the entry and its padding. The pointer is valid as long as the packet.
    // The walk never leaves the packet: when the tag, the value (a string up to its terminator, a
    // binary value up to its last counted byte) or a binary count would extend past `length`,
    // or the reader is unbound, it returns null with *tag = 0 and does not move, so every later
    // call does the same; the properties not yet read count as absent. Missing padding after the
    // last value does not hide that value. With a null `tag` it returns null and does not move.
    LPCBYTE Next(ULONG* tag);

    // Offset of the read position from the packet's start: where the next entry begins, or
    // where the walk stopped. It passes `length` only when the last value lacks its padding.
    std::uint64_t Position() const { return m_position; }

private:
    LPCBYTE m_start = nullptr;
    DWORD m_length = 0;
    std::uint64_t m_position = 0;
};
