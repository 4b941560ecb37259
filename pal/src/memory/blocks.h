// The live blocks of every allocator, keyed by address, so that each knows its size and a bad
// address is refused instead of corrupting the host heap.
#pragma once

#include <optional>

#include "pal/types.h"

namespace pal::memory {

enum class Zero { No, Yes };
enum class Move { Allowed, InPlaceOnly };

// A new block of `size` bytes; null with the last error ERROR_NOT_ENOUGH_MEMORY when it cannot
// be had. `moveable` only marks it for lock counting.
void* Allocate(SIZE_T size, Zero zero, bool moveable = false);
// Resizes a known block; zero-fills growth on request. Null with the last error set
// (ERROR_INVALID_HANDLE for an unknown block, ERROR_NOT_ENOUGH_MEMORY otherwise) and the block
// unchanged on failure.
void* Reallocate(void* block, SIZE_T size, Zero zeroGrowth, Move move);
// Frees a known block; false (nothing done) for an unknown one.
bool Free(void* block);
// The size of a known block.
std::optional<SIZE_T> SizeOf(const void* block);
// Adds `delta` to a moveable block's lock count and answers the new count (0 for a fixed block,
// nothing for an unknown block or an unlock below zero).
std::optional<UINT> AdjustLock(void* block, int delta);

}  // namespace pal::memory
