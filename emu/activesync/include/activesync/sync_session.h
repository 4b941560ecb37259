// The engine's synchronizations of one connected partnership, driven from the caller's thread:
// desktop store calls go to the DesktopHost's store thread, device calls over the link's "sync"
// endpoint to the device half (DeviceSession), one side at a time, so that neither side's thread
// is held while the other works (a desktop SetPacket makes data requests to the device).
//
// A session loads each type's desktop store when the type is first synchronized (partnership
// switch "Store" ProgID → HKEY_CLASSES_ROOT → CLSID → CoCreateInstance; one store per ProgID;
// Initialize with an engine callback; GetStoreInfo; GetFolderInfo) and keeps it until the
// session ends (RSC_RELEASE, then Release). One Synchronize(type) is one pass:
//   1. desktop enumeration matched to the replication state with CompareItem (new, changed,
//      deleted, out of scope);
//   2. device enumeration (FindObjects and its FO_DONE_ONE_VOL follow-up);
//   3. objects changed on both sides: GetConflictInfo, RERR_IGNORE applies both, otherwise the
//      conflict rule decides;
//   4. desktop → device packets, 5. device → desktop packets, 6. deletions both ways;
//   7. RemoveDuplicates (RERR_RESTART compares once more);
//   8. state saved per object as it goes, end of synchronization reported to both sides.
// Desktop notifications (OnItemNotify) mark items for sending; one that arrives while the device's
// objects are written to the desktop (a store that rearranged what it took) is sent back within
// the same pass. RNC_DELETED deletes the object on both sides.
//
// The link may drop at any call: the pass then stops with SyncError, keeping every object
// completed before; the next pass on a connected link picks up from there. A device write whose
// reply was lost is resolved through its token, never sent twice.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "activesync/bytes.h"
#include "activesync/desktop_host.h"
#include "activesync/device_link.h"

namespace activesync {

class ReplicationState;
struct LoadedStore;

// A synchronization that could not run or had to stop (the message says why and what to do).
class SyncError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The device went away during a synchronization: nothing more can be synchronized until it is
// connected again.
class LinkLost : public SyncError {
public:
    using SyncError::SyncError;
};

enum class SyncDirection { ToDevice, ToDesktop };
enum class SyncAction { Created, Changed, Deleted, Skipped, Conflict };

// How a conflict that the store does not settle (GetConflictInfo other than RERR_IGNORE) ends.
enum class ConflictRule { Leave, DesktopWins, DeviceWins };

// One object the pass handled (or, in a dry run, would handle).
struct ObjectReport {
    SyncDirection direction = SyncDirection::ToDevice;
    SyncAction action = SyncAction::Skipped;
    Bytes item;      // the desktop item's handle bytes, when known
    DWORD oid = 0;   // the device object id, when known
    std::string reason;  // why it was skipped or left in conflict
};

struct TypeReport {
    std::string type;
    bool dryRun = false;
    int restarts = 0;  // passes compared again after RemoveDuplicates
    std::vector<ObjectReport> objects;
    size_t Count(SyncDirection direction, SyncAction action) const;
};

struct SyncOptions {
    bool dryRun = false;
    ConflictRule conflicts = ConflictRule::Leave;
    // Told a line of progress at each phase.
    std::function<void(const std::string&)> progress;
};

class SyncSession {
public:
    // For the partnership the link is connected through; throws SyncError when it is not.
    SyncSession(DesktopHost& host, DeviceLink& link);
    // Releases the stores on the store thread (RSC_RELEASE, Release).
    ~SyncSession();
    SyncSession(const SyncSession&) = delete;
    SyncSession& operator=(const SyncSession&) = delete;

    DWORD Partnership() const { return m_partnership; }
    // The partnership's types whose switch is on ("Disabled" 0) and names a "Store".
    std::vector<std::string> EnabledTypes() const;

    // One pass for `type`. Throws SyncError when the type cannot be synchronized (not enabled,
    // its store does not load or initialise, a side cannot list its objects), LinkLost when the
    // link drops meanwhile.
    TypeReport Synchronize(const std::string& type, const SyncOptions& options = {});

    // Whether `type` has something to synchronize since its last pass: notifications from the
    // desktop store, a folder that reports itself changed (polled for stores that ask for it),
    // or device objects the provider admitted as changed or deleted.
    bool HasChanges(const std::string& type);
    // The poll interval the type's store asked for (uTimerRes), 0 when it asked for none.
    UINT PollInterval(const std::string& type);

    class Store;
    class Pass;

private:
    Store& StoreOf(const std::string& type);
    // Moves the stores' notifications to the pending list of their type's store.
    void Collect();

    DesktopHost& m_host;
    DeviceLink& m_link;
    DWORD m_partnership = 0;
    std::unique_ptr<ReplicationState> m_state;
    std::map<std::string, std::shared_ptr<LoadedStore>> m_loaded;  // by ProgID
    std::map<std::string, std::shared_ptr<Store>> m_stores;        // by type
};

const char* ToText(SyncAction action);
const char* ToText(SyncDirection direction);

}  // namespace activesync
