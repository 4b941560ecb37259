#include "packet_writer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "packet_bytes.h"
#include "packet_layout.h"

void* PacketAllocator::Reallocate(void* block, size_t bytes) { return std::realloc(block, bytes); }

void PacketAllocator::Free(void* block) { std::free(block); }

PacketAllocator& PacketAllocator::Heap() {
    static PacketAllocator heap;
    return heap;
}

PacketWriter::PacketWriter(PacketAllocator& allocator) : m_allocator(allocator) {}

PacketWriter::~PacketWriter() { Release(); }

void PacketWriter::Release() {
    if (m_start) m_allocator.Free(m_start);
    m_start = nullptr;
    m_length = 0;
    m_capacity = 0;
}

LPBYTE PacketWriter::Begin(ULONG recommendedSize) {
    Release();
    if (recommendedSize == 0) return nullptr;
    const ULONG size = std::max<ULONG>(recommendedSize, kPacketCountSize);
    auto* block = static_cast<LPBYTE>(m_allocator.Reallocate(nullptr, size));
    if (!block) return nullptr;
    std::memset(block, 0, size);
    m_start = block;
    m_capacity = size;
    m_length = kPacketCountSize;
    return m_start;
}

HRESULT PacketWriter::Add(ULONG tag, LPCVOID value) {
    if (!m_start) return E_FAIL;

    // Value size; a string is counted no further than the limit could ever hold.
    const ValueShape shape = ShapeOf(tag);
    std::uint64_t valueSize = 0;
    const auto* binary = static_cast<const PacketBinary*>(value);
    const auto* text = static_cast<LPCWSTR>(value);
    switch (shape) {
        case ValueShape::Bare:
            break;
        case ValueShape::Fixed:
            if (!value) return E_INVALIDARG;
            valueSize = FixedValueSize(tag);
            break;
        case ValueShape::String: {
            std::uint64_t units = 0;
            if (text)
                while (units <= kPacketLimit / 2 && text[units]) ++units;
            valueSize = 2 * (units + 1);
            break;
        }
        case ValueShape::Binary:
            if (binary && binary->cb && !binary->lpb) return E_INVALIDARG;
            valueSize = 4 + std::uint64_t{binary ? binary->cb : 0u};
            break;
    }

    // The limit applies to the unpadded length; growth makes room for the padded entry.
    const std::uint64_t needed = std::uint64_t{m_length} + kPacketTagSize + valueSize;
    if (needed > kPacketLimit) return E_POINTER;
    const std::uint64_t padded = m_length + kPacketTagSize + PaddedValueSize(valueSize);
    if (padded > m_capacity) {
        const auto grown = static_cast<ULONG>(needed + kPacketGrowth);
        auto* block = static_cast<LPBYTE>(m_allocator.Reallocate(m_start, grown));
        if (!block) return E_OUTOFMEMORY;
        m_start = block;
        m_capacity = grown;
    }

    LPBYTE at = m_start + m_length;
    StoreLe32(at, tag);
    at += kPacketTagSize;
    const auto paddedValue = static_cast<size_t>(PaddedValueSize(valueSize));
    std::memset(at, 0, paddedValue);
    if (shape == ValueShape::Binary) {
        const ULONG count = binary ? binary->cb : 0;
        StoreLe32(at, count);
        if (count) std::memcpy(at + 4, binary->lpb, count);
    } else if (shape == ValueShape::String) {
        if (text) std::memcpy(at, text, static_cast<size_t>(valueSize) - 2);
    } else if (valueSize) {
        std::memcpy(at, value, static_cast<size_t>(valueSize));
    }
    m_length = static_cast<ULONG>(padded);
    StoreLe32(m_start, LoadLe32(m_start) + 1);
    return S_OK;
}
