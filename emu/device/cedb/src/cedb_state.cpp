#include "cedb_state.h"

#include <algorithm>
#include <cstring>

#include "cedb_error.h"
#include "notification_post.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/machine_stores.h"
#include "pal/runtime/world.h"

namespace emu::cedb {

namespace {

constexpr DWORD kObjectStoreTag = 1;
// The constant half of every mounted volume's CEGUID; the first half tells mounts apart.
constexpr DWORD kGuidMark1 = 0x42444543;
constexpr DWORD kGuidMark2 = 0x4C4F5655;

bool SameGuid(const CEGUID& a, const CEGUID& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

CENOTIFICATION* Allocate(const CENOTIFYREQUEST& request) {
    void* block = request.hHeap ? HeapAlloc(request.hHeap, HEAP_ZERO_MEMORY, sizeof(CENOTIFICATION))
                                : LocalAlloc(LPTR, sizeof(CENOTIFICATION));
    return static_cast<CENOTIFICATION*>(block);
}

void Release(const CENOTIFYREQUEST& request, CENOTIFICATION* notification) {
    if (request.hHeap)
        HeapFree(request.hHeap, 0, notification);
    else
        LocalFree(notification);
}

UINT NotificationType(ChangeKind kind) {
    switch (kind) {
        case ChangeKind::Created:
            return DB_CEOID_CREATED;
        case ChangeKind::Changed:
            return DB_CEOID_CHANGED;
        case ChangeKind::Deleted:
            return DB_CEOID_RECORD_DELETED;
    }
    return DB_CEOID_CHANGED;
}

}  // namespace

CedbState::CedbState(pal::Machine& machine) : m_machine(machine) {}

CedbState::~CedbState() {
    for (auto& volume : AllVolumes()) volume->Close();
}

void CedbState::Flush() {
    try {
        SyncAll();
    } catch (const CedbError&) {
        // Saving the machine goes on; the volume keeps what the file system kept.
    }
}

void CedbState::SyncAll() {
    for (auto& volume : AllVolumes()) {
        try {
            volume->Sync();
        } catch (const CedbError& error) {
            // A volume unmounted meanwhile has nothing left to write.
            if (error.Code() != ERROR_INVALID_HANDLE) throw;
        }
    }
}

std::shared_ptr<Volume> CedbState::ObjectStoreLocked() {
    if (!m_objectStore) {
        constexpr const char* kStoreFile = "objectstore.db";
        auto file = m_machine.Dir() / kStoreFile;
        bool made = false;
        try {
            made = pal::CheckStore(m_machine, kStoreFile);
        } catch (const pal::WorldError&) {
            // Made once and since lost or emptied: not made again as an empty object store.
            throw CedbError(ERROR_INVALID_DATA);
        }
        if (made) {
            m_objectStore = Volume::OpenExisting(file);
        } else {
            m_objectStore = Volume::Create(file, kObjectStoreTag);
            pal::RecordStore(m_machine, kStoreFile);
        }
    }
    return m_objectStore;
}

CEGUID CedbState::Mount(const std::filesystem::path& file, DWORD disposition) {
    std::lock_guard<std::mutex> guard(m_lock);
    auto key = file.lexically_normal();
    if (auto it = m_mounted.find(key); it != m_mounted.end()) {
        switch (disposition) {
            case OPEN_EXISTING:
            case OPEN_ALWAYS:
                ++it->second.count;
                return it->second.volume->Guid();
            case CREATE_NEW:
                throw CedbError(ERROR_FILE_EXISTS);
            case CREATE_ALWAYS:
                throw CedbError(ERROR_SHARING_VIOLATION);
            default:
                throw CedbError(ERROR_INVALID_PARAMETER);
        }
    }
    std::error_code ec;
    if (!std::filesystem::is_directory(key.parent_path(), ec))
        throw CedbError(ERROR_PATH_NOT_FOUND);
    if (std::filesystem::is_directory(key, ec)) throw CedbError(ERROR_ACCESS_DENIED);
    bool exists = std::filesystem::exists(key, ec);
    bool create;
    switch (disposition) {
        case CREATE_NEW:
            if (exists) throw CedbError(ERROR_FILE_EXISTS);
            create = true;
            break;
        case CREATE_ALWAYS:
            create = true;
            break;
        case OPEN_EXISTING:
            if (!exists) throw CedbError(ERROR_FILE_NOT_FOUND);
            create = false;
            break;
        case OPEN_ALWAYS:
            create = !exists;
            break;
        default:
            throw CedbError(ERROR_INVALID_PARAMETER);
    }
    std::shared_ptr<Volume> volume;
    if (create) {
        DWORD tag = ObjectStoreLocked()->AllocateVolumeTag([&](DWORD candidate) {
            return std::any_of(m_mounted.begin(), m_mounted.end(), [&](const auto& entry) {
                return entry.second.volume->Tag() == candidate;
            });
        });
        volume = Volume::Create(key, tag);
    } else {
        volume = Volume::OpenExisting(key);
    }
    volume->SetGuid(CEGUID{++m_mountSequence, volume->Tag(), kGuidMark1, kGuidMark2});
    m_mounted[key] = Mounted{volume, 1};
    return volume->Guid();
}

void CedbState::Unmount(const CEGUID& guid) {
    std::shared_ptr<Volume> closing;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        auto it = std::find_if(m_mounted.begin(), m_mounted.end(), [&](const auto& entry) {
            return SameGuid(entry.second.volume->Guid(), guid);
        });
        if (it == m_mounted.end()) throw CedbError(ERROR_INVALID_PARAMETER);
        if (--it->second.count > 0) return;
        closing = it->second.volume;
        m_mounted.erase(it);
    }
    closing->Close();
}

std::shared_ptr<Volume> CedbState::VolumeOf(const CEGUID* guid) {
    if (!guid) throw CedbError(ERROR_INVALID_PARAMETER);
    std::lock_guard<std::mutex> guard(m_lock);
    if (CHECK_SYSTEMGUID(guid)) return ObjectStoreLocked();
    for (auto& [file, mounted] : m_mounted)
        if (SameGuid(mounted.volume->Guid(), *guid)) return mounted.volume;
    throw CedbError(ERROR_INVALID_PARAMETER);
}

std::vector<std::shared_ptr<Volume>> CedbState::AllVolumes() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<std::shared_ptr<Volume>> volumes;
    if (m_objectStore) volumes.push_back(m_objectStore);
    for (auto& [file, mounted] : m_mounted) volumes.push_back(mounted.volume);
    return volumes;
}

void CedbState::Track(const std::shared_ptr<DatabaseHandle>& handle) {
    std::lock_guard<std::mutex> guard(m_lock);
    LiveHandlesLocked();
    m_handles.push_back(handle);
}

std::vector<std::shared_ptr<DatabaseHandle>> CedbState::LiveHandlesLocked() {
    std::vector<std::shared_ptr<DatabaseHandle>> live;
    std::vector<std::weak_ptr<DatabaseHandle>> kept;
    for (auto& weak : m_handles) {
        if (auto handle = weak.lock()) {
            live.push_back(std::move(handle));
            kept.push_back(weak);
        }
    }
    m_handles.swap(kept);
    return live;
}

bool CedbState::IsOpen(const Volume& volume, CEOID database) {
    std::lock_guard<std::mutex> guard(m_lock);
    for (auto& handle : LiveHandlesLocked())
        if (&handle->GetVolume() == &volume && handle->Database() == database) return true;
    return false;
}

SubscriptionId CedbState::Subscribe(ChangeHandler handler) {
    std::lock_guard<std::mutex> guard(m_lock);
    SubscriptionId id = m_nextSubscription++;
    m_subscribers.emplace(id, std::make_shared<ChangeHandler>(std::move(handler)));
    return id;
}

void CedbState::Unsubscribe(SubscriptionId id) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_subscribers.erase(id);
}

void CedbState::Publish(const Volume& volume, const RecordChange& change,
                        const DatabaseHandle* source) {
    std::vector<std::shared_ptr<DatabaseHandle>> watchers;
    std::vector<std::shared_ptr<ChangeHandler>> subscribers;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto& handle : LiveHandlesLocked())
            if (handle.get() != source && handle->Request() && &handle->GetVolume() == &volume &&
                handle->Database() == change.database)
                watchers.push_back(std::move(handle));
        for (auto& [id, handler] : m_subscribers) subscribers.push_back(handler);
    }
    for (auto& watcher : watchers) {
        const CENOTIFYREQUEST& request = *watcher->Request();
        CENOTIFICATION* notification = Allocate(request);
        if (!notification) continue;
        notification->dwSize = sizeof(CENOTIFICATION);
        notification->dwParam = request.dwParam;
        notification->uType = NotificationType(change.kind);
        notification->guid = change.volume;
        notification->oid = change.record;
        notification->oidParent = change.database;
        if (!PostDbNotification(request.hwnd, notification)) Release(request, notification);
    }
    for (auto& subscriber : subscribers) (*subscriber)(change);
}

CedbState& CurrentState() { return pal::CurrentMachine().Get<CedbState>(); }

}  // namespace emu::cedb
