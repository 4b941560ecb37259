// Mutexes and events: waitable objects whose handles the layer hands out itself, so that it knows
// which thread opened each handle, and which may carry a name in their machine's namespace.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "pal/runtime/waitable.h"

namespace pal {

class Process;

class SyncObject : public Waitable {
public:
    // Adds a handle to `object` to `process`, opened by the calling thread (Locked: with the wait
    // lock held).
    static HANDLE AddHandle(Process& process, const std::shared_ptr<SyncObject>& object);
    static HANDLE AddHandleLocked(Process& process, const std::shared_ptr<SyncObject>& object);
    // Whether a handle to the object is open (wait lock held): a name belongs to its object only
    // while one is.
    bool IsOpenLocked() const { return !m_openers.empty(); }

    void OnHandleClosing(Process& process, HANDLE handle) override;

private:
    // The opening thread of every open handle, by process and handle; guarded by the wait lock.
    std::map<std::pair<const Process*, HANDLE>, DWORD> m_openers;
};

// Creates an object with `make`, or, for a name in use, opens the object that holds it. The
// namespace is the current machine's; `isRightType` tells whether an existing object is of the
// kind asked for. Sets the last error: 0 for a new object, ERROR_ALREADY_EXISTS for an existing
// one; fails with ERROR_INVALID_HANDLE (another kind holds the name) or
// ERROR_FILENAME_EXCED_RANGE. `make` runs without the wait lock held.
HANDLE CreateSyncObject(LPCWSTR name, bool (*isRightType)(const SyncObject&),
                        const std::function<std::shared_ptr<SyncObject>()>& make);
// Opens the object of a name: ERROR_INVALID_PARAMETER for no name, ERROR_FILE_NOT_FOUND when
// the name is unused, ERROR_INVALID_HANDLE when another kind holds it.
HANDLE OpenSyncObject(LPCWSTR name, bool (*isRightType)(const SyncObject&));

template <class T>
bool IsA(const SyncObject& object) {
    return dynamic_cast<const T*>(&object) != nullptr;
}

}  // namespace pal
