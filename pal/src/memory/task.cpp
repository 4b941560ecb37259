#include "blocks.h"
#include "pal/memory.h"

using namespace pal::memory;

LPVOID CoTaskMemAlloc(SIZE_T cb) { return Allocate(cb, Zero::No); }

LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
    if (!pv) return Allocate(cb, Zero::No);
    if (cb == 0) {
        Free(pv);
        return nullptr;
    }
    return Reallocate(pv, cb, Zero::No, Move::Allowed);
}

void CoTaskMemFree(LPVOID pv) {
    if (pv) Free(pv);
}
