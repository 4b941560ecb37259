// Mutex objects: owned by one thread at a time, recursively, and abandoned only when the owning
// thread ends without releasing them. Closing a handle, even the owner's last one, neither
// releases nor abandons: another handle's holder keeps waiting until the owner releases or ends.
#pragma once

#include "sync_object.h"

namespace pal {

class Mutex : public SyncObject {
public:
    bool IsSignaledFor(DWORD threadId) const override;
    // Makes `threadId` (the calling thread) the owner or raises its recursion count; true when
    // the mutex had been abandoned. Wait lock held.
    bool Acquire(DWORD threadId) override;
    // Gives up one level of ownership; false when `threadId` does not own the mutex. Wait lock
    // held.
    bool ReleaseLocked(DWORD threadId);
    // Drops ownership, whatever the recursion count, and marks the mutex abandoned for the next
    // thread that takes it. Wait lock held.
    void AbandonLocked();
    DWORD OwnerLocked() const { return m_owner; }

private:
    DWORD m_owner = 0;  // 0: not owned; guarded by the wait lock, as is the rest
    ULONG m_recursion = 0;
    bool m_abandoned = false;
};

// Abandons every mutex that the calling thread still owns; its thread end calls this before the
// thread is signalled. Threads that the layer did not start get the same when they end.
void AbandonMutexesOfCurrentThread();

}  // namespace pal
