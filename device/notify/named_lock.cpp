#include "named_lock.h"

bool AcquireLock(HANDLE lock) {
    if (!lock) return false;
    DWORD result = WaitForSingleObject(lock, INFINITE);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}
