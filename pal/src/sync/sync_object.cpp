#include "sync_object.h"

#include <mutex>
#include <string_view>

#include "pal/errors.h"
#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

// The named mutexes and events of one machine. A name belongs to its object while a handle to
// the object is open; entries whose object lost its last handle count as free.
class NamedObjects : public Component {
public:
    explicit NamedObjects(Machine&) {}

    std::mutex lock;  // taken before the wait lock
    std::map<std::u16string, std::weak_ptr<SyncObject>, std::less<>> objects;

    // Drops entries whose objects are gone; lock held.
    void Prune() {
        std::erase_if(objects, [](auto& entry) { return entry.second.expired(); });
    }
};

// Checks a name's length; false with ERROR_FILENAME_EXCED_RANGE when it is too long.
bool ValidName(std::u16string_view name) {
    if (name.size() <= MAX_PATH) return true;
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
}

enum class Lookup { Missing, WrongType, Opened };

// Opens a handle to the live object of `name`, with the namespace lock held.
Lookup OpenExisting(NamedObjects& names, std::u16string_view name,
                    bool (*isRightType)(const SyncObject&), HANDLE& handle) {
    auto it = names.objects.find(name);
    if (it == names.objects.end()) return Lookup::Missing;
    auto object = it->second.lock();
    if (!object) return Lookup::Missing;
    auto waits = LockWaits();
    if (!object->IsOpenLocked()) return Lookup::Missing;
    if (!isRightType(*object)) return Lookup::WrongType;
    handle = SyncObject::AddHandleLocked(CurrentProcess(), object);
    return Lookup::Opened;
}

}  // namespace

HANDLE SyncObject::AddHandle(Process& process, const std::shared_ptr<SyncObject>& object) {
    auto waits = LockWaits();
    return AddHandleLocked(process, object);
}

HANDLE SyncObject::AddHandleLocked(Process& process, const std::shared_ptr<SyncObject>& object) {
    HANDLE handle = process.Handles().Add(object);
    object->m_openers.emplace(std::make_pair(&process, handle), CurrentThreadId());
    return handle;
}

void SyncObject::OnHandleClosing(Process& process, HANDLE handle) {
    auto waits = LockWaits();
    auto it = m_openers.find(std::make_pair(&process, handle));
    if (it == m_openers.end()) return;
    m_openers.erase(it);
}

HANDLE CreateSyncObject(LPCWSTR name, bool (*isRightType)(const SyncObject&),
                        const std::function<std::shared_ptr<SyncObject>()>& make) {
    Process& process = CurrentProcess();
    if (!name || !*name) {
        HANDLE handle = SyncObject::AddHandle(process, make());
        SetLastError(ERROR_SUCCESS);
        return handle;
    }
    std::u16string_view key(name);
    if (!ValidName(key)) return nullptr;
    auto& names = CurrentMachine().Get<NamedObjects>();
    std::lock_guard<std::mutex> guard(names.lock);
    HANDLE handle = nullptr;
    switch (OpenExisting(names, key, isRightType, handle)) {
        case Lookup::Opened:
            SetLastError(ERROR_ALREADY_EXISTS);
            return handle;
        case Lookup::WrongType:
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        case Lookup::Missing:
            break;
    }
    auto object = make();
    names.Prune();
    names.objects[std::u16string(key)] = object;
    handle = SyncObject::AddHandle(process, object);
    SetLastError(ERROR_SUCCESS);
    return handle;
}

HANDLE OpenSyncObject(LPCWSTR name, bool (*isRightType)(const SyncObject&)) {
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::u16string_view key(name);
    if (!ValidName(key)) return nullptr;
    auto& names = CurrentMachine().Get<NamedObjects>();
    std::lock_guard<std::mutex> guard(names.lock);
    HANDLE handle = nullptr;
    switch (OpenExisting(names, key, isRightType, handle)) {
        case Lookup::Opened:
            return handle;
        case Lookup::WrongType:
            SetLastError(ERROR_INVALID_HANDLE);
            return nullptr;
        case Lookup::Missing:
            break;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
}

}  // namespace pal
