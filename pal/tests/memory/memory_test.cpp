#include "pal/memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

constexpr SIZE_T kAbsurd = static_cast<SIZE_T>(-1) / 2;

bool AllZero(const void* block, SIZE_T from, SIZE_T to) {
    auto bytes = static_cast<const BYTE*>(block);
    for (SIZE_T i = from; i < to; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

TEST(LocalMemory, ZeroInitFlagsFillTheBlockAndSizeIsRemembered) {
    // Dirty the host heap so that a missing zero-fill would show.
    for (int i = 0; i < 16; ++i) {
        HLOCAL dirty = LocalAlloc(LMEM_FIXED, 1024);
        std::memset(dirty, 0xAB, 1024);
        LocalFree(dirty);
    }
    HLOCAL block = LocalAlloc(LPTR, 1024);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllZero(block, 0, 1024));
    EXPECT_EQ(LocalSize(block), 1024u);
    EXPECT_EQ(LocalFree(block), nullptr);

    HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
    EXPECT_NE(empty, nullptr);
    EXPECT_EQ(LocalSize(empty), 0u);
    EXPECT_EQ(LocalFree(empty), nullptr);
}

TEST(LocalMemory, FreeAnswersNullOnSuccessAndTheHandleOnFailure) {
    EXPECT_EQ(LocalFree(nullptr), nullptr);
    HLOCAL block = LocalAlloc(LMEM_FIXED, 16);
    EXPECT_EQ(LocalFree(block), nullptr);
    SetLastError(0);
    EXPECT_EQ(LocalFree(block), block);  // already freed
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    int onStack = 0;
    EXPECT_EQ(LocalFree(&onStack), &onStack);
    EXPECT_EQ(LocalSize(&onStack), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(LocalMemory, ReAllocKeepsContentsAndZeroFillsOnlyTheGrowth) {
    auto block = static_cast<BYTE*>(LocalAlloc(LMEM_FIXED, 8));
    std::memset(block, 0x5A, 8);
    auto grown = static_cast<BYTE*>(LocalReAlloc(block, 4096, LMEM_MOVEABLE | LMEM_ZEROINIT));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(LocalSize(grown), 4096u);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(grown[i], 0x5A);
    EXPECT_TRUE(AllZero(grown, 8, 4096));

    auto shrunk = static_cast<BYTE*>(LocalReAlloc(grown, 4, LMEM_FIXED));
    EXPECT_EQ(shrunk, grown);  // shrinking never moves
    EXPECT_EQ(LocalSize(shrunk), 4u);
    EXPECT_EQ(shrunk[3], 0x5A);
    LocalFree(shrunk);
}

TEST(LocalMemory, ReAllocWithoutMoveableFailsRatherThanMoving) {
    auto block = static_cast<BYTE*>(LocalAlloc(LPTR, 16));
    block[0] = 7;
    SetLastError(0);
    EXPECT_EQ(LocalReAlloc(block, 1 << 20, LMEM_ZEROINIT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(LocalSize(block), 16u);  // the old block stays intact
    EXPECT_EQ(block[0], 7);
    EXPECT_EQ(LocalReAlloc(block, kAbsurd, LMEM_MOVEABLE), nullptr);
    EXPECT_EQ(LocalSize(block), 16u);
    LocalFree(block);
}

TEST(LocalMemory, FailuresReportTheDocumentedErrors) {
    SetLastError(0);
    EXPECT_EQ(LocalAlloc(LMEM_FIXED, kAbsurd), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(LocalAlloc(LPTR, MAXIMUM_BLOCK_SIZE + 1), nullptr);
    EXPECT_EQ(LocalAlloc(0x8000, 16), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    int onStack = 0;
    EXPECT_EQ(LocalReAlloc(&onStack, 8, LMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST(GlobalMemory, FixedAndMoveableBlocksLockAndFree) {
    auto fixed = GlobalAlloc(GPTR, 532);
    ASSERT_NE(fixed, nullptr);
    EXPECT_TRUE(AllZero(fixed, 0, 532));
    EXPECT_EQ(GlobalSize(fixed), 532u);
    EXPECT_EQ(GlobalLock(fixed), fixed);
    SetLastError(ERROR_MORE_DATA);
    EXPECT_FALSE(GlobalUnlock(fixed));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(GlobalFree(fixed), nullptr);
    EXPECT_EQ(GlobalFree(fixed), fixed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HGLOBAL moveable = GlobalAlloc(GHND, 64);
    auto data = static_cast<BYTE*>(GlobalLock(moveable));
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(AllZero(data, 0, 64));
    EXPECT_NE(GlobalLock(moveable), nullptr);
    EXPECT_TRUE(GlobalUnlock(moveable));  // still locked once
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(NO_ERROR));
    EXPECT_FALSE(GlobalUnlock(moveable));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_LOCKED));
    EXPECT_EQ(GlobalFree(moveable), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(GlobalAlloc(GMEM_FIXED, kAbsurd), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(HeapMemory, ProcessHeapAllocatesResizesAndFrees) {
    HANDLE heap = GetProcessHeap();
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(GetProcessHeap(), heap);
    auto block = static_cast<BYTE*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, 100));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(AllZero(block, 0, 100));
    EXPECT_EQ(HeapSize(heap, 0, block), 100u);
    block[99] = 1;
    auto grown = static_cast<BYTE*>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, block, 10000));
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(grown[99], 1);
    EXPECT_TRUE(AllZero(grown, 100, 10000));
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, grown, 1 << 24), nullptr);
    EXPECT_EQ(HeapSize(heap, 0, grown), 10000u);
    EXPECT_TRUE(HeapFree(heap, 0, grown));
    EXPECT_FALSE(HeapFree(heap, 0, grown));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(HeapSize(heap, 0, grown), static_cast<SIZE_T>(-1));
    EXPECT_EQ(HeapAlloc(heap, 0, kAbsurd), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(HeapMemory, OnlyTheProcessHeapIsAHeap) {
    int notAHeap = 0;
    EXPECT_EQ(HeapAlloc(&notAHeap, 0, 8), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(HeapAlloc(nullptr, 0, 8), nullptr);
}

TEST(TaskMemory, ReallocCoversAllocateResizeAndFree) {
    auto text = static_cast<char16_t*>(CoTaskMemAlloc(4 * sizeof(char16_t)));
    ASSERT_NE(text, nullptr);
    std::memcpy(text, u"abc", 4 * sizeof(char16_t));
    text = static_cast<char16_t*>(CoTaskMemRealloc(text, 1000));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::u16string(text), u"abc");
    EXPECT_EQ(CoTaskMemRealloc(text, 0), nullptr);  // frees
    void* fresh = CoTaskMemRealloc(nullptr, 10);
    EXPECT_NE(fresh, nullptr);
    EXPECT_EQ(CoTaskMemRealloc(fresh, kAbsurd), nullptr);
    CoTaskMemFree(fresh);  // still valid after the failed resize
    CoTaskMemFree(nullptr);
    EXPECT_EQ(CoTaskMemAlloc(kAbsurd), nullptr);
}

}  // namespace
