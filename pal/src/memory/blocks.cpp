#include "blocks.h"

#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "pal/errors.h"
#include "pal/memory.h"

namespace pal::memory {

namespace {

struct Block {
    SIZE_T size;
    bool moveable;
    UINT locks;
};

struct Registry {
    std::mutex lock;
    std::unordered_map<const void*, Block> blocks;
};

// Never destroyed: blocks may be freed by static destructors of any module.
Registry& Blocks() {
    static Registry* registry = new Registry;
    return *registry;
}

}  // namespace

void* Allocate(SIZE_T size, Zero zero, bool moveable) {
    void* block = size > MAXIMUM_BLOCK_SIZE ? nullptr
                  : zero == Zero::Yes       ? std::calloc(size ? size : 1, 1)
                                            : std::malloc(size ? size : 1);
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    Registry& registry = Blocks();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.blocks[block] = {size, moveable, 0};
    return block;
}

void* Reallocate(void* block, SIZE_T size, Zero zeroGrowth, Move move) {
    Registry& registry = Blocks();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.blocks.find(block);
    if (it == registry.blocks.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    SIZE_T oldSize = it->second.size;
    void* result = block;
    if (size > MAXIMUM_BLOCK_SIZE) {
        result = nullptr;
    } else if (size > malloc_usable_size(block)) {
        result = move == Move::Allowed ? std::realloc(block, size) : nullptr;
    }
    if (!result) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (zeroGrowth == Zero::Yes && size > oldSize)
        std::memset(static_cast<BYTE*>(result) + oldSize, 0, size - oldSize);
    Block info = it->second;
    info.size = size;
    registry.blocks.erase(it);
    registry.blocks[result] = info;
    return result;
}

bool Free(void* block) {
    Registry& registry = Blocks();
    {
        std::lock_guard<std::mutex> guard(registry.lock);
        if (registry.blocks.erase(block) == 0) return false;
    }
    std::free(block);
    return true;
}

std::optional<SIZE_T> SizeOf(const void* block) {
    Registry& registry = Blocks();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.blocks.find(block);
    if (it == registry.blocks.end()) return std::nullopt;
    return it->second.size;
}

std::optional<UINT> AdjustLock(void* block, int delta) {
    Registry& registry = Blocks();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.blocks.find(block);
    if (it == registry.blocks.end()) return std::nullopt;
    Block& info = it->second;
    if (!info.moveable) return 0u;
    if (delta < 0 && info.locks == 0) return std::nullopt;
    info.locks = static_cast<UINT>(static_cast<int>(info.locks) + delta);
    return info.locks;
}

}  // namespace pal::memory
