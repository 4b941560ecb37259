#include "blocks.h"
#include "pal/memory.h"

using namespace pal::memory;

namespace {

// The process heap's handle: an address no block can have.
int g_processHeap;

bool IsProcessHeap(HANDLE heap) { return heap == &g_processHeap; }

}  // namespace

HANDLE GetProcessHeap() { return &g_processHeap; }

LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes) {
    if (!IsProcessHeap(hHeap)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return Allocate(dwBytes, dwFlags & HEAP_ZERO_MEMORY ? Zero::Yes : Zero::No);
}

LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes) {
    if (!IsProcessHeap(hHeap)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* result =
        Reallocate(lpMem, dwBytes, dwFlags & HEAP_ZERO_MEMORY ? Zero::Yes : Zero::No,
                   dwFlags & HEAP_REALLOC_IN_PLACE_ONLY ? Move::InPlaceOnly : Move::Allowed);
    if (!result && GetLastError() == ERROR_INVALID_HANDLE) SetLastError(ERROR_INVALID_PARAMETER);
    return result;
}

BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem) {
    (void)dwFlags;
    if (!IsProcessHeap(hHeap)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpMem || Free(lpMem)) return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

SIZE_T HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem) {
    (void)dwFlags;
    if (!IsProcessHeap(hHeap)) return static_cast<SIZE_T>(-1);
    return SizeOf(lpMem).value_or(static_cast<SIZE_T>(-1));
}
