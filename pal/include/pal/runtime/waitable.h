// Kernel objects a thread can wait on (mutexes, events, threads, processes) and the wait itself.
// Every waitable state of the layer's objects lives under one lock, the wait lock, so that a wait
// on several objects sees and takes them atomically. A waiting thread sleeps on a condition
// variable of its own and is woken by the objects it waits on; nothing polls.
//
// Combining other wake-up conditions with object waits (a thread's message queue): give the
// condition the form of a Waitable that lives in no handle table. Its IsSignaledFor answers
// whether the condition holds (taking the condition's own lock if it has one: the wait lock is
// always taken first), and whoever makes the condition true calls WakeWaiters on it afterwards,
// without holding its own lock. Passed to WaitForObjects after the handle objects, its index in
// the result tells the caller that the condition, not an object, ended the wait.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "pal/runtime/handles.h"

namespace pal {

struct WaitBlock;

class Waitable : public KernelObject {
public:
    // Whether a wait by thread `threadId` would be satisfied now. Called with the wait lock held.
    virtual bool IsSignaledFor(DWORD threadId) const = 0;
    // Takes the signal for `threadId` once its wait is satisfied (an auto-reset event resets, a
    // mutex becomes owned). Called with the wait lock held; true when the object was abandoned.
    virtual bool Acquire(DWORD threadId) {
        (void)threadId;
        return false;
    }

    // Makes the threads waiting on this object look at it again; call after any change that may
    // satisfy a wait. WakeWaitersLocked expects the wait lock held, WakeWaiters takes it.
    void WakeWaitersLocked();
    void WakeWaiters();

private:
    friend class WaitRegistration;
    std::vector<WaitBlock*> m_waiters;  // guarded by the wait lock
};

// Takes the lock that guards the waitable state of the layer's objects.
std::unique_lock<std::mutex> LockWaits();

// At most this many objects take part in one wait.
constexpr std::size_t kMaxWaitObjects = 64;

// Waits until one of `objects` (waitAll false) or all of them at once are signalled for the
// calling thread, or until `milliseconds` have passed (INFINITE: no limit; 0: just a test).
// Returns WAIT_OBJECT_0 + i for the satisfied object i (the first one when waiting for all),
// WAIT_ABANDONED_0 + i when the wait took abandoned mutex i, WAIT_TIMEOUT, or WAIT_FAILED with
// the last error set: ERROR_INVALID_PARAMETER for no objects, more than kMaxWaitObjects, or one
// object twice in a wait for all; ERROR_INVALID_HANDLE for a null object.
DWORD WaitForObjects(std::span<const std::shared_ptr<Waitable>> objects, bool waitAll,
                     DWORD milliseconds);

// The waitable object behind a handle of the current process, or null with the last error set
// to ERROR_INVALID_HANDLE (unknown handle, or an object nobody can wait on).
std::shared_ptr<Waitable> WaitableFromHandle(HANDLE handle);

}  // namespace pal
