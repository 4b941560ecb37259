// Threads: creation, ids, exit codes, sleep, TLS, critical sections, interlocked operations.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

using PTHREAD_START_ROUTINE = DWORD(WINAPI*)(LPVOID lpThreadParameter);
using LPTHREAD_START_ROUTINE = PTHREAD_START_ROUTINE;

#define STILL_ACTIVE 259
#define TLS_OUT_OF_INDEXES static_cast<DWORD>(0xFFFFFFFF)

// Starts lpStartAddress(lpParameter) at once on a new thread of the current process and machine
// and returns a handle to it (waitable: signalled when the thread ends); the thread runs to its
// end even when that handle is closed. Its id goes to lpThreadId when given. The stack size is
// the host's default. Fails with ERROR_INVALID_PARAMETER for no start routine or any creation
// flag, ERROR_NOT_ENOUGH_MEMORY when no thread can be started.
HANDLE CreateThread(LPSECURITY_ATTRIBUTES lpThreadAttributes, SIZE_T dwStackSize,
                    LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                    DWORD dwCreationFlags, LPDWORD lpThreadId);
// The calling thread's id, unique in the run; any thread has one, whoever started it.
DWORD GetCurrentThreadId();
// The id of the calling thread's process.
DWORD GetCurrentProcessId();
// Ends the calling thread with dwExitCode (the stack unwinds); mutexes it owns become
// abandoned. Only for threads started by CreateThread (or the layer's own thread start).
[[noreturn]] void ExitThread(DWORD dwExitCode);
// The thread's exit code, or STILL_ACTIVE while it runs; ERROR_INVALID_HANDLE for a handle that
// is not a thread, ERROR_INVALID_PARAMETER for no output.
BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode);
// Suspends the calling thread for dwMilliseconds (INFINITE: for ever; 0: gives up the rest of
// its time slice).
void Sleep(DWORD dwMilliseconds);

// Allocates a TLS index of the current process whose value is null in every thread, or
// TLS_OUT_OF_INDEXES (ERROR_NO_MORE_ITEMS) when all are in use.
DWORD TlsAlloc();
// The calling thread's value at an allocated index, with the last error set to 0; null with
// ERROR_INVALID_PARAMETER for an index that is not allocated.
LPVOID TlsGetValue(DWORD dwTlsIndex);
// Sets the calling thread's value at an allocated index; ERROR_INVALID_PARAMETER otherwise.
BOOL TlsSetValue(DWORD dwTlsIndex, LPVOID lpTlsValue);
// Frees an allocated index; ERROR_INVALID_PARAMETER otherwise. A later TlsAlloc that returns
// the same index starts with null values again.
BOOL TlsFree(DWORD dwTlsIndex);

// A recursive lock owned by a thread, embeddable by value. Its lock lives outside the structure
// from InitializeCriticalSection to DeleteCriticalSection.
struct CRITICAL_SECTION {
    void* Lock;
};
using LPCRITICAL_SECTION = CRITICAL_SECTION*;
using PCRITICAL_SECTION = CRITICAL_SECTION*;

// Makes the critical section usable, unowned.
void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Waits for ownership; an owner may enter again and then leaves as many times.
void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Enters when that needs no wait (TRUE), otherwise returns FALSE at once.
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Leaves one level of ownership.
void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
// Frees the critical section's lock; it must be unowned.
void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Atomic operations on 32-bit values, full barriers; each returns what its Win32 namesake does.
// Adds one and returns the new value.
inline LONG InterlockedIncrement(LONG volatile* lpAddend) {
    return __atomic_add_fetch(lpAddend, 1, __ATOMIC_SEQ_CST);
}
// Subtracts one and returns the new value.
inline LONG InterlockedDecrement(LONG volatile* lpAddend) {
    return __atomic_sub_fetch(lpAddend, 1, __ATOMIC_SEQ_CST);
}
// Stores Value and returns the previous value.
inline LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
// Stores Exchange when the value equals Comperand; returns the previous value either way.
inline LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST,
                                __ATOMIC_SEQ_CST);
    return Comperand;
}
