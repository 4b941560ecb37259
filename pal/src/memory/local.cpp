#include "blocks.h"
#include "pal/memory.h"

using namespace pal::memory;

namespace {

constexpr UINT kAllocFlags = LMEM_MOVEABLE | LMEM_ZEROINIT;

}  // namespace

HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes) {
    if (uFlags & ~kAllocFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Allocate(uBytes, uFlags & LMEM_ZEROINIT ? Zero::Yes : Zero::No,
                    (uFlags & LMEM_MOVEABLE) != 0);
}

HLOCAL LocalReAlloc(HLOCAL hMem, SIZE_T uBytes, UINT uFlags) {
    if (uFlags & ~kAllocFlags) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Reallocate(hMem, uBytes, uFlags & LMEM_ZEROINIT ? Zero::Yes : Zero::No,
                      uFlags & LMEM_MOVEABLE ? Move::Allowed : Move::InPlaceOnly);
}

HLOCAL LocalFree(HLOCAL hMem) {
    if (!hMem || Free(hMem)) return nullptr;
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
}

SIZE_T LocalSize(HLOCAL hMem) {
    if (auto size = SizeOf(hMem)) return *size;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}
