// Helpers shared by the packet tests: byte views of a packet and allocators that misbehave.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "property_packet.h"

namespace packet_test {

inline std::vector<BYTE> Bytes(const PacketWriter& writer) {
    return {writer.Data(), writer.Data() + writer.Length()};
}

inline std::vector<BYTE> Le32(DWORD value) {
    return {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)};
}

inline std::vector<BYTE> Concat(std::initializer_list<std::vector<BYTE>> parts) {
    std::vector<BYTE> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

// Fills every byte it hands out beyond the old content with 0xCC, so that bytes the writer does
// not write itself show up; counts live blocks; refuses to grow while `failGrowth` is set.
class TestAllocator : public PacketAllocator {
public:
    void* Reallocate(void* block, size_t bytes) override {
        ++calls;
        if (failGrowth) return nullptr;
        auto* grown = static_cast<BYTE*>(std::malloc(bytes));
        if (!grown) return nullptr;
        std::memset(grown, 0xCC, bytes);
        if (block) {
            std::memcpy(grown, block, std::min(bytes, SizeOf(block)));
            Release(block);
        }
        Track(grown, bytes);
        return grown;
    }
    void Free(void* block) override { Release(block); }

    bool failGrowth = false;
    int calls = 0;
    int live = 0;

private:
    size_t SizeOf(void* block) const {
        for (const auto& [at, size] : m_blocks)
            if (at == block) return size;
        return 0;
    }
    void Track(void* block, size_t size) {
        m_blocks.push_back({block, size});
        ++live;
    }
    void Release(void* block) {
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it)
            if (it->first == block) {
                m_blocks.erase(it);
                break;
            }
        std::free(block);
        --live;
    }
    std::vector<std::pair<void*, size_t>> m_blocks;
};

}  // namespace packet_test
