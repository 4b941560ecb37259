// Taking the journal locks shared with the device provider.
#pragma once

#include <windows.h>

// Waits without time-out for a named lock. True when the caller owns it now, including when its
// last owner ended while holding it (the wait grants it abandoned); the caller then releases it.
bool AcquireLock(HANDLE lock);
