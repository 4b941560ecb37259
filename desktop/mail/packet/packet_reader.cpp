#include "packet_reader.h"

#include "packet_bytes.h"
#include "packet_layout.h"

void PacketReader::Attach(LPCBYTE start, DWORD length) {
    if (m_start || !start) return;
    m_start = start;
    m_length = length;
    m_position = kPacketCountSize;
}

DWORD PacketReader::Count() const {
    return m_start && m_length >= kPacketCountSize ? LoadLe32(m_start) : 0;
}

LPCBYTE PacketReader::Next(ULONG* tag) {
    if (!tag) return nullptr;
    *tag = 0;
    if (!m_start || m_position + kPacketTagSize > m_length) return nullptr;

    LPCBYTE entry = m_start + m_position;
    const ULONG entryTag = LoadLe32(entry);
    const std::uint64_t valueStart = m_position + kPacketTagSize;
    const std::uint64_t room = m_length - valueStart;
    LPCBYTE value = entry + kPacketTagSize;

    std::uint64_t valueSize = 0;
    switch (ShapeOf(entryTag)) {
        case ValueShape::Bare:
            break;
        case ValueShape::Fixed:
            valueSize = FixedValueSize(entryTag);
            break;
        case ValueShape::String: {
            // Units up to and including the terminator, all within the packet.
            std::uint64_t offset = 0;
            while (offset + 2 <= room && (value[offset] | value[offset + 1])) offset += 2;
            if (offset + 2 > room) return nullptr;
            valueSize = offset + 2;
            break;
        }
        case ValueShape::Binary:
            if (room < 4) return nullptr;
            valueSize = 4 + std::uint64_t{LoadLe32(value)};
            break;
    }
    if (valueSize > room) return nullptr;

    *tag = entryTag;
    m_position = valueStart + PaddedValueSize(valueSize);
    return value;
}
