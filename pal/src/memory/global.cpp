#include "blocks.h"
#include "pal/memory.h"

using namespace pal::memory;

HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    if (uFlags & ~static_cast<UINT>(GMEM_MOVEABLE | GMEM_ZEROINIT)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return Allocate(dwBytes, uFlags & GMEM_ZEROINIT ? Zero::Yes : Zero::No,
                    (uFlags & GMEM_MOVEABLE) != 0);
}

HGLOBAL GlobalFree(HGLOBAL hMem) {
    if (!hMem || Free(hMem)) return nullptr;
    SetLastError(ERROR_INVALID_HANDLE);
    return hMem;
}

LPVOID GlobalLock(HGLOBAL hMem) {
    if (AdjustLock(hMem, +1)) return hMem;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

BOOL GlobalUnlock(HGLOBAL hMem) {
    if (!SizeOf(hMem)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto locks = AdjustLock(hMem, -1);
    if (!locks) {
        SetLastError(ERROR_NOT_LOCKED);
        return FALSE;
    }
    if (*locks > 0) return TRUE;
    SetLastError(NO_ERROR);
    return FALSE;
}

SIZE_T GlobalSize(HGLOBAL hMem) {
    if (auto size = SizeOf(hMem)) return *size;
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
}
