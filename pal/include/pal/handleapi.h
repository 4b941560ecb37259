// Handles of kernel objects in the current process.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

// Closes a handle of the current process; the object lives on while other handles (or the layer
// itself) still refer to it. Fails with ERROR_INVALID_HANDLE for an unknown handle.
BOOL CloseHandle(HANDLE hObject);
