#include "mutex.h"

#include <memory>
#include <vector>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"
#include "pal/sync.h"

namespace pal {

namespace {

// The mutexes a thread has owned; only that thread touches the list. Entries may be stale (the
// mutex released, abandoned or gone): ownership is always checked against the mutex itself.
struct OwnedMutexes {
    DWORD threadId = 0;
    std::vector<std::weak_ptr<Mutex>> mutexes;

    void Remember(DWORD owner, const std::shared_ptr<Mutex>& mutex) {
        threadId = owner;
        std::erase_if(mutexes, [](auto& weak) { return weak.expired(); });
        for (auto& weak : mutexes)
            if (weak.lock() == mutex) return;
        mutexes.push_back(mutex);
    }

    void AbandonAll() {
        auto list = std::move(mutexes);
        mutexes.clear();
        std::vector<std::shared_ptr<Mutex>> held;  // released after the wait lock
        auto waits = LockWaits();
        for (auto& weak : list)
            if (auto mutex = weak.lock()) {
                if (mutex->OwnerLocked() == threadId) mutex->AbandonLocked();
                held.push_back(std::move(mutex));
            }
    }

    ~OwnedMutexes() { AbandonAll(); }
};

thread_local OwnedMutexes t_owned;

std::shared_ptr<Mutex> MakeMutex(bool initialOwner) {
    auto mutex = std::make_shared<Mutex>();
    if (initialOwner) {
        auto waits = LockWaits();
        mutex->Acquire(CurrentThreadId());
    }
    return mutex;
}

}  // namespace

bool Mutex::IsSignaledFor(DWORD threadId) const { return m_owner == 0 || m_owner == threadId; }

bool Mutex::Acquire(DWORD threadId) {
    if (m_owner == threadId) {
        ++m_recursion;
        return false;
    }
    m_owner = threadId;
    m_recursion = 1;
    t_owned.Remember(threadId, std::static_pointer_cast<Mutex>(shared_from_this()));
    bool abandoned = m_abandoned;
    m_abandoned = false;
    return abandoned;
}

bool Mutex::ReleaseLocked(DWORD threadId) {
    if (m_owner != threadId || m_owner == 0) return false;
    if (--m_recursion == 0) {
        m_owner = 0;
        WakeWaitersLocked();
    }
    return true;
}

void Mutex::AbandonLocked() {
    m_owner = 0;
    m_recursion = 0;
    m_abandoned = true;
    WakeWaitersLocked();
}

void AbandonMutexesOfCurrentThread() { t_owned.AbandonAll(); }

}  // namespace pal

using pal::IsA;
using pal::Mutex;

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL bInitialOwner, LPCWSTR lpName) {
    return pal::CreateSyncObject(lpName, IsA<Mutex>,
                                 [&] { return pal::MakeMutex(bInitialOwner != FALSE); });
}

HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES lpMutexAttributes, BOOL bInitialOwner, LPCSTR lpName) {
    if (!lpName) return CreateMutexW(lpMutexAttributes, bInitialOwner, nullptr);
    std::u16string name = pal::Cp1252ToUtf16(lpName);
    return CreateMutexW(lpMutexAttributes, bInitialOwner, name.c_str());
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR lpName) { return pal::OpenSyncObject(lpName, IsA<Mutex>); }

BOOL ReleaseMutex(HANDLE hMutex) {
    auto mutex = pal::CurrentProcess().Handles().GetAs<Mutex>(hMutex);
    if (!mutex) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto waits = pal::LockWaits();
    if (!mutex->ReleaseLocked(pal::CurrentThreadId())) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    return TRUE;
}
