// Kernel objects and the per-process handle table. A kernel object lives while a handle to it is
// open (or while the layer itself holds a reference, as a running thread does).
#pragma once

#include <map>
#include <memory>
#include <mutex>

#include "pal/types.h"

namespace pal {

class Process;

class KernelObject : public std::enable_shared_from_this<KernelObject> {
public:
    virtual ~KernelObject() = default;
    // Called when `process` closes one handle to this object, before the handle's reference goes.
    virtual void OnHandleClosed(Process& process) { (void)process; }
    // Called with the very handle being closed, just before OnHandleClosed, for objects that keep
    // state per handle (who opened it).
    virtual void OnHandleClosing(Process& process, HANDLE handle) {
        (void)process;
        (void)handle;
    }
};

class HandleTable {
public:
    // Never returns null or INVALID_HANDLE_VALUE; values are multiples of 4, as on Windows.
    HANDLE Add(std::shared_ptr<KernelObject> object);
    std::shared_ptr<KernelObject> Get(HANDLE handle) const;
    template <class T>
    std::shared_ptr<T> GetAs(HANDLE handle) const {
        return std::dynamic_pointer_cast<T>(Get(handle));
    }
    // Removes the handle and returns the object it referred to (null for an unknown handle).
    std::shared_ptr<KernelObject> Remove(HANDLE handle);
    // Every open handle with its object, for process teardown.
    std::map<HANDLE, std::shared_ptr<KernelObject>> TakeAll();
    size_t Count() const;

private:
    mutable std::mutex m_lock;
    std::map<HANDLE, std::shared_ptr<KernelObject>> m_handles;
    ULONG_PTR m_next = 0x100;
};

}  // namespace pal
