// Kernel synchronisation objects: mutexes, events and waits.
//
// Named objects live in one namespace per machine, shared by mutexes and events; names are
// case-sensitive. A name belongs to its object while at least one handle to it is open.
// Access masks are accepted and not enforced: every handle has full access.
//
// A mutex is owned by a thread and recursive. It becomes abandoned when its owning thread ends
// while owning it, and also when the last open handle that the owning thread created or opened
// is closed (by any thread) while it still owns it; the next wait then returns WAIT_ABANDONED
// and takes ownership.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

struct SECURITY_ATTRIBUTES;
using LPSECURITY_ATTRIBUTES = SECURITY_ATTRIBUTES*;

#define INFINITE 0xFFFFFFFF
#define WAIT_OBJECT_0 static_cast<DWORD>(0x00000000)
#define WAIT_ABANDONED static_cast<DWORD>(0x00000080)
#define WAIT_ABANDONED_0 WAIT_ABANDONED
#define WAIT_TIMEOUT static_cast<DWORD>(0x00000102)
#define WAIT_FAILED static_cast<DWORD>(0xFFFFFFFF)
#define MAXIMUM_WAIT_OBJECTS 64

#define SYNCHRONIZE 0x00100000L
#define MUTEX_ALL_ACCESS 0x001F0001L
#define EVENT_MODIFY_STATE 0x00000002L
#define EVENT_ALL_ACCESS 0x001F0003L

// Creates a mutex, or opens the existing one of that name (last error ERROR_ALREADY_EXISTS; the
// initial-owner request is then ignored). Fails with ERROR_INVALID_HANDLE when the name belongs
// to an object of another type, ERROR_FILENAME_EXCED_RANGE when it exceeds MAX_PATH.
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCWSTR lpName);
// CreateMutexW with a name in the ANSI code page.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName);
// Opens a named mutex: ERROR_FILE_NOT_FOUND when the name is unused, ERROR_INVALID_HANDLE when
// another type of object holds it, ERROR_INVALID_PARAMETER for no name.
HANDLE OpenMutexW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
// Gives up one level of ownership; FALSE with ERROR_NOT_OWNER when the caller does not own it.
BOOL ReleaseMutex(HANDLE hMutex);

// Creates a manual- or auto-reset event, or opens the existing one of that name (last error
// ERROR_ALREADY_EXISTS; the reset mode and initial state are then ignored). Name errors as for
// CreateMutexW.
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCWSTR lpName);
// CreateEventW with a name in the ANSI code page.
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName);
// Opens a named event; errors as for OpenMutexW.
HANDLE OpenEventW(DWORD dwDesiredAccess, BOOL bInheritHandle, LPCWSTR lpName);
// Signals the event: a manual-reset event releases every waiter and stays set; an auto-reset
// event releases one waiter and resets with it (or stays set until one comes).
BOOL SetEvent(HANDLE hEvent);
// Puts the event into the non-signalled state.
BOOL ResetEvent(HANDLE hEvent);

// Waits for a mutex, event, thread or process handle: WAIT_OBJECT_0, WAIT_ABANDONED (an
// abandoned mutex, now owned by the caller), WAIT_TIMEOUT after dwMilliseconds (INFINITE: no
// limit), or WAIT_FAILED with ERROR_INVALID_HANDLE for a handle that cannot be waited on.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds);
// Waits for one (bWaitAll FALSE) or all at once of up to MAXIMUM_WAIT_OBJECTS handles:
// WAIT_OBJECT_0 + i for the handle that ended the wait (the lowest index when several are
// signalled; the first when waiting for all), WAIT_ABANDONED_0 + i when that was an abandoned
// mutex (now owned), WAIT_TIMEOUT, or WAIT_FAILED with ERROR_INVALID_PARAMETER (no handles, too
// many, one handle twice in a wait for all) or ERROR_INVALID_HANDLE.
DWORD WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll,
                             DWORD dwMilliseconds);

#ifdef UNICODE
#define CreateMutex CreateMutexW
#define CreateEvent CreateEventW
#else
#define CreateMutex CreateMutexA
#define CreateEvent CreateEventA
#endif
