// A machine's property databases: its object store (WORLD/<machine>/objectstore.db, opened on
// first use), its mounted volumes with their mount counts, the open database handles that asked
// for notifications, and the subscribers of the change feed.
#pragma once

#include <cedb.h>

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "database_handle.h"
#include "emu/cedb/change_feed.h"
#include "pal/runtime/components.h"
#include "volume.h"

namespace pal {
class Machine;
}

namespace emu::cedb {

class CedbState : public pal::Component {
public:
    explicit CedbState(pal::Machine& machine);
    ~CedbState() override;

    // Makes every open volume durable (failures are left for the next flush).
    void Flush() override;
    // The same, reporting a volume that could not be made durable.
    void SyncAll();

    // Mounts the volume file with a creation disposition; answers its CEGUID.
    CEGUID Mount(const std::filesystem::path& file, DWORD disposition);
    // Takes back one mount; the last one closes the volume.
    void Unmount(const CEGUID& guid);
    // The volume a CEGUID names (all zero: the object store); throws
    // CedbError(ERROR_INVALID_PARAMETER) for any other.
    std::shared_ptr<Volume> VolumeOf(const CEGUID* guid);
    // The object store and every mounted volume.
    std::vector<std::shared_ptr<Volume>> AllVolumes();

    // Keeps track of an open handle (for notifications and for refusing to delete an open
    // database); the handle drops out when it is destroyed.
    void Track(const std::shared_ptr<DatabaseHandle>& handle);
    bool IsOpen(const Volume& volume, CEOID database);

    SubscriptionId Subscribe(ChangeHandler handler);
    void Unsubscribe(SubscriptionId id);
    // Reports a record change to the feed and to the windows of the handles on that database
    // that asked for notifications, except `source`, the handle that made it.
    void Publish(const Volume& volume, const RecordChange& change, const DatabaseHandle* source);

private:
    struct Mounted {
        std::shared_ptr<Volume> volume;
        int count = 0;
    };

    std::shared_ptr<Volume> ObjectStoreLocked();
    std::vector<std::shared_ptr<DatabaseHandle>> LiveHandlesLocked();

    pal::Machine& m_machine;
    std::mutex m_lock;
    std::shared_ptr<Volume> m_objectStore;
    std::map<std::filesystem::path, Mounted> m_mounted;
    DWORD m_mountSequence = 0;
    std::vector<std::weak_ptr<DatabaseHandle>> m_handles;
    std::map<SubscriptionId, std::shared_ptr<ChangeHandler>> m_subscribers;
    SubscriptionId m_nextSubscription = 1;
};

// The current machine's databases.
CedbState& CurrentState();

}  // namespace emu::cedb
