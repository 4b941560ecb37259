// Critical sections: a recursive host lock per section, made by InitializeCriticalSection and
// freed by DeleteCriticalSection. They need no machine, so they work in process-exit handlers.

#include <mutex>

#include "pal/threads.h"

namespace {

std::recursive_mutex& LockOf(LPCRITICAL_SECTION section) {
    return *static_cast<std::recursive_mutex*>(section->Lock);
}

}  // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    lpCriticalSection->Lock = new std::recursive_mutex;
}

void EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    LockOf(lpCriticalSection).lock();
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    return LockOf(lpCriticalSection).try_lock() ? TRUE : FALSE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    LockOf(lpCriticalSection).unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection) {
    delete &LockOf(lpCriticalSection);
    lpCriticalSection->Lock = nullptr;
}
