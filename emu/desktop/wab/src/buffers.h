// The blocks the address book exchanges with its callers: a block from AllocateBuffer carries the
// blocks AllocateMore chained to it, and FreeBuffer releases them all.
#pragma once

#include <cstddef>

namespace emu::wab {

void* AllocateBlock(std::size_t size);
// Null when `parent` is null.
void* AllocateChained(std::size_t size, void* parent);
void FreeBlock(void* block);
// Blocks handed out and not yet freed, in this process.
std::size_t LiveBlocks();
// Tables handed out and not yet released are counted here.
void TableOpened();
void TableClosed();

}  // namespace emu::wab
