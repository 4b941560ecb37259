#include "buffers.h"

#include "emu/wab/address_book.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace emu::wab {

namespace {

// Each block starts with this header; the caller's bytes follow, aligned for any value.
struct alignas(std::max_align_t) Header {
    Header* chained;  // the first block chained to this one
    Header* next;     // the next block of the parent's chain
};

std::atomic<std::size_t> g_live{0};
std::atomic<std::size_t> g_tables{0};

Header* HeaderOf(void* block) { return static_cast<Header*>(block) - 1; }

Header* NewHeader(std::size_t size) {
    void* raw = std::calloc(1, sizeof(Header) + size);
    if (!raw) return nullptr;
    ++g_live;
    return static_cast<Header*>(raw);
}

}  // namespace

void* AllocateBlock(std::size_t size) {
    Header* header = NewHeader(size);
    return header ? header + 1 : nullptr;
}

void* AllocateChained(std::size_t size, void* parent) {
    if (!parent) return nullptr;
    Header* header = NewHeader(size);
    if (!header) return nullptr;
    Header* owner = HeaderOf(parent);
    header->next = owner->chained;
    owner->chained = header;
    return header + 1;
}

void FreeBlock(void* block) {
    if (!block) return;
    Header* header = HeaderOf(block);
    for (Header* more = header->chained; more;) {
        Header* next = more->next;
        std::free(more);
        --g_live;
        more = next;
    }
    std::free(header);
    --g_live;
}

std::size_t LiveBlocks() { return g_live; }

std::size_t LiveBuffers() { return LiveBlocks(); }

void TableOpened() { ++g_tables; }

void TableClosed() { --g_tables; }

std::size_t LiveTables() { return g_tables; }

}  // namespace emu::wab
