// MAPI buffers: each block carries a header before the caller's bytes; blocks made with
// MAPIAllocateMore hang off their root block and are freed with it.
#include <cemapi.h>

#include <cstdlib>
#include <mutex>

namespace {

constexpr std::uint32_t kRootMark = 0x4250414D;
constexpr std::uint32_t kMoreMark = 0x4D50414D;

struct alignas(16) BlockHeader {
    std::uint32_t mark;
    BlockHeader* root;  // a root block: itself
    BlockHeader* next;  // a root block: its first linked block; a linked block: the next one
};

std::mutex g_links;

BlockHeader* HeaderOf(LPVOID block) { return static_cast<BlockHeader*>(block) - 1; }

LPVOID NewBlock(ULONG cbSize, std::uint32_t mark) {
    auto header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + cbSize));
    if (!header) return nullptr;
    header->mark = mark;
    header->root = header;
    return header + 1;
}

}  // namespace

SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer) {
    if (!lppBuffer) return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = NewBlock(cbSize, kRootMark);
    return *lppBuffer ? S_OK : MAPI_E_NOT_ENOUGH_MEMORY;
}

SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer) {
    if (!lppBuffer) return MAPI_E_INVALID_PARAMETER;
    *lppBuffer = nullptr;
    if (!lpObject) return MAPI_E_INVALID_PARAMETER;
    BlockHeader* parent = HeaderOf(lpObject);
    if (parent->mark != kRootMark && parent->mark != kMoreMark) return MAPI_E_INVALID_PARAMETER;
    LPVOID block = NewBlock(cbSize, kMoreMark);
    if (!block) return MAPI_E_NOT_ENOUGH_MEMORY;
    std::lock_guard<std::mutex> guard(g_links);
    BlockHeader* root = parent->root;
    BlockHeader* header = HeaderOf(block);
    header->root = root;
    header->next = root->next;
    root->next = header;
    *lppBuffer = block;
    return S_OK;
}

ULONG MAPIFreeBuffer(LPVOID pv) {
    if (!pv) return S_OK;
    BlockHeader* root = HeaderOf(pv);
    // Only a root block is freed; a linked block goes with its root.
    if (root->mark != kRootMark) return static_cast<ULONG>(MAPI_E_INVALID_PARAMETER);
    BlockHeader* linked;
    {
        std::lock_guard<std::mutex> guard(g_links);
        linked = root->next;
        root->mark = 0;
    }
    while (linked) {
        BlockHeader* next = linked->next;
        linked->mark = 0;
        std::free(linked);
        linked = next;
    }
    std::free(root);
    return S_OK;
}

void FreeProws(LPSRowSet prows) {
    if (!prows) return;
    for (ULONG i = 0; i < prows->cRows; ++i) MAPIFreeBuffer(prows->aRow[i].lpProps);
    MAPIFreeBuffer(prows);
}
