// Memory: local, global, process-heap and COM task allocators.
//
// Every block remembers its size. Blocks are never really moveable: a moveable block's handle is
// its address, so GlobalLock answers the handle itself and keeps a lock count. A block
// is at most MAXIMUM_BLOCK_SIZE bytes, as in a 32-bit process; a larger request fails with
// ERROR_NOT_ENOUGH_MEMORY.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

#define LMEM_FIXED 0x0000
#define LMEM_MOVEABLE 0x0002
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define GMEM_FIXED 0x0000
#define GMEM_MOVEABLE 0x0002
#define GMEM_ZEROINIT 0x0040
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)

#define HEAP_ZERO_MEMORY 0x00000008
#define HEAP_REALLOC_IN_PLACE_ONLY 0x00000010

#ifndef ERROR_NOT_LOCKED
#define ERROR_NOT_LOCKED 158L
#endif

#define MAXIMUM_BLOCK_SIZE static_cast<SIZE_T>(0x7FFE0000)

// A fixed block (its address is the handle) of uBytes, zero-filled with LMEM_ZEROINIT; NULL with
// ERROR_NOT_ENOUGH_MEMORY when it cannot be had, ERROR_INVALID_PARAMETER for unknown flags.
HLOCAL LocalAlloc(UINT uFlags, SIZE_T uBytes);
// Resizes a block. It moves only with LMEM_MOVEABLE (otherwise growth beyond the block's room
// fails with ERROR_NOT_ENOUGH_MEMORY and the block stays); LMEM_ZEROINIT zero-fills the growth.
// NULL with the old block untouched on failure.
HLOCAL LocalReAlloc(HLOCAL hMem, SIZE_T uBytes, UINT uFlags);
// NULL on success (and for NULL); the handle itself with ERROR_INVALID_HANDLE when unknown.
HLOCAL LocalFree(HLOCAL hMem);
// The block's size in bytes; 0 with ERROR_INVALID_HANDLE when unknown.
SIZE_T LocalSize(HLOCAL hMem);

// As LocalAlloc, with the GMEM_ flags.
HGLOBAL GlobalAlloc(UINT uFlags, SIZE_T dwBytes);
// NULL on success (and for NULL); the handle with ERROR_INVALID_HANDLE when unknown.
HGLOBAL GlobalFree(HGLOBAL hMem);
// The block's address (its handle); NULL with ERROR_INVALID_HANDLE when unknown.
LPVOID GlobalLock(HGLOBAL hMem);
// TRUE while still locked; FALSE with NO_ERROR once unlocked (always so for a fixed block), or
// with ERROR_NOT_LOCKED for a moveable block that was not locked.
BOOL GlobalUnlock(HGLOBAL hMem);
// The block's size in bytes; 0 with ERROR_INVALID_HANDLE when unknown.
SIZE_T GlobalSize(HGLOBAL hMem);

// The one heap of every emulated process.
HANDLE GetProcessHeap();
// A block of dwBytes from the heap (HEAP_ZERO_MEMORY zero-fills it); NULL with
// ERROR_NOT_ENOUGH_MEMORY, or ERROR_INVALID_HANDLE for a heap that is not the process heap.
LPVOID HeapAlloc(HANDLE hHeap, DWORD dwFlags, SIZE_T dwBytes);
// Resizes a block, moving it unless HEAP_REALLOC_IN_PLACE_ONLY; HEAP_ZERO_MEMORY zero-fills the
// growth. NULL with the old block untouched on failure.
LPVOID HeapReAlloc(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem, SIZE_T dwBytes);
// TRUE once freed (also for NULL); FALSE with ERROR_INVALID_PARAMETER for an unknown block.
BOOL HeapFree(HANDLE hHeap, DWORD dwFlags, LPVOID lpMem);
// The block's size; (SIZE_T)-1 for an unknown block (the last error is left alone).
SIZE_T HeapSize(HANDLE hHeap, DWORD dwFlags, LPCVOID lpMem);

// A block of cb bytes for memory that crosses COM interfaces (not zero-filled); NULL when it
// cannot be had.
LPVOID CoTaskMemAlloc(SIZE_T cb);
// Resizes (or, for NULL, allocates) a task block; cb 0 frees it and answers NULL. NULL with the
// old block untouched on failure.
LPVOID CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
// Frees a task block; NULL is ignored.
void CoTaskMemFree(LPVOID pv);
