#include "pal/runtime/waitable.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <optional>

#include "pal/runtime/context.h"
#include "pal/runtime/process.h"
#include "pal/sync.h"

namespace pal {

// One waiting thread: woken by any object it waits on, then it looks at all of them again.
struct WaitBlock {
    std::condition_variable wake;
    bool woken = false;
};

namespace {

// Never destroyed: threads may still wait or signal while the host process exits.
std::mutex& WaitMutex() {
    static auto* lock = new std::mutex;
    return *lock;
}

bool HasDuplicates(std::span<const std::shared_ptr<Waitable>> objects) {
    for (size_t i = 0; i < objects.size(); ++i)
        for (size_t j = i + 1; j < objects.size(); ++j)
            if (objects[i] == objects[j]) return true;
    return false;
}

// The wait result when the wait can be satisfied now (taking the objects), nothing otherwise.
// Runs with the wait lock held.
std::optional<DWORD> TrySatisfy(std::span<const std::shared_ptr<Waitable>> objects, bool waitAll,
                                DWORD threadId) {
    if (!waitAll) {
        for (size_t i = 0; i < objects.size(); ++i)
            if (objects[i]->IsSignaledFor(threadId)) {
                bool abandoned = objects[i]->Acquire(threadId);
                return (abandoned ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + static_cast<DWORD>(i);
            }
        return std::nullopt;
    }
    for (auto& object : objects)
        if (!object->IsSignaledFor(threadId)) return std::nullopt;
    std::optional<DWORD> abandonedIndex;
    for (size_t i = 0; i < objects.size(); ++i)
        if (objects[i]->Acquire(threadId) && !abandonedIndex)
            abandonedIndex = static_cast<DWORD>(i);
    return abandonedIndex ? WAIT_ABANDONED_0 + *abandonedIndex : WAIT_OBJECT_0;
}

}  // namespace

// Puts a wait block on every object's waiter list for the duration of a wait; the wait lock is
// held whenever it is constructed or destroyed.
class WaitRegistration {
public:
    WaitRegistration(std::span<const std::shared_ptr<Waitable>> objects, WaitBlock& block)
        : m_objects(objects), m_block(block) {
        for (auto& object : m_objects) object->m_waiters.push_back(&m_block);
    }
    ~WaitRegistration() {
        for (auto& object : m_objects) std::erase(object->m_waiters, &m_block);
    }
    WaitRegistration(const WaitRegistration&) = delete;
    WaitRegistration& operator=(const WaitRegistration&) = delete;

private:
    std::span<const std::shared_ptr<Waitable>> m_objects;
    WaitBlock& m_block;
};

std::unique_lock<std::mutex> LockWaits() { return std::unique_lock<std::mutex>(WaitMutex()); }

void Waitable::WakeWaitersLocked() {
    for (WaitBlock* block : m_waiters) {
        block->woken = true;
        block->wake.notify_one();
    }
}

void Waitable::WakeWaiters() {
    auto lock = LockWaits();
    WakeWaitersLocked();
}

DWORD WaitForObjects(std::span<const std::shared_ptr<Waitable>> objects, bool waitAll,
                     DWORD milliseconds) {
    if (objects.empty() || objects.size() > kMaxWaitObjects ||
        (waitAll && HasDuplicates(objects))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    if (std::any_of(objects.begin(), objects.end(), [](auto& object) { return !object; })) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const DWORD threadId = CurrentThreadId();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    WaitBlock block;
    auto lock = LockWaits();
    if (auto result = TrySatisfy(objects, waitAll, threadId)) return *result;
    if (milliseconds == 0) return WAIT_TIMEOUT;
    WaitRegistration registration(objects, block);
    for (;;) {
        block.woken = false;
        if (milliseconds == INFINITE) {
            block.wake.wait(lock, [&] { return block.woken; });
        } else if (!block.wake.wait_until(lock, deadline, [&] { return block.woken; })) {
            // A signal that came with the deadline still counts.
            return TrySatisfy(objects, waitAll, threadId).value_or(WAIT_TIMEOUT);
        }
        if (auto result = TrySatisfy(objects, waitAll, threadId)) return *result;
    }
}

std::shared_ptr<Waitable> WaitableFromHandle(HANDLE handle) {
    auto object = CurrentProcess().Handles().GetAs<Waitable>(handle);
    if (!object) SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

}  // namespace pal
