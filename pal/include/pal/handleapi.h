// Handles of kernel objects in the current process.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

// Closes a handle of the current process; the object lives on while other handles (or the layer
// itself) still refer to it. Fails with ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE hObject);

#define DUPLICATE_CLOSE_SOURCE 0x00000001
#define DUPLICATE_SAME_ACCESS 0x00000002

// The pseudo handle that stands for the calling process wherever a process handle is taken; it
// needs no closing.
HANDLE GetCurrentProcess();

// A second handle of the calling process to the same open file: both share the file pointer, and
// the file stays open (with its sharing) until the last of them is closed. Only within the
// calling process (both process handles GetCurrentProcess(), else ERROR_INVALID_HANDLE), only
// with DUPLICATE_SAME_ACCESS (else ERROR_NOT_SUPPORTED), and only for file handles (other objects:
// ERROR_NOT_SUPPORTED); ERROR_INVALID_HANDLE for an unknown source, ERROR_INVALID_PARAMETER for
// no target. DUPLICATE_CLOSE_SOURCE closes the source handle once the duplicate exists.
BOOL DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                     LPHANDLE lpTargetHandle, DWORD dwDesiredAccess, BOOL bInheritHandle,
                     DWORD dwOptions);
