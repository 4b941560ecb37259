// The engine's replication state on the desktop, per partnership and object type, kept in the
// SQLite database "<desktop>/replication.db":
//
//   folders  (partnership, type) → the desktop store's identifier and the folder's handle bytes
//   objects  one entry per replicated object: the desktop item's handle bytes as last exchanged,
//            the device object id, when the object was last sent each way, whether the desktop
//            reported it changed since, and the token of a device write whose outcome is not
//            known yet (0 when none)
//
// Every change is its own transaction, so a process killed at any point loses at most the
// object it was working on, never the state of the others.
#pragma once

#include <windows.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "activesync/bytes.h"
#include "pal/runtime/machine.h"

namespace activesync {

class ReplicationStateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ReplicationEntry {
    std::int64_t id = 0;  // the entry's own key, 0 before it is saved
    Bytes item;           // the desktop item's handle bytes
    DWORD oid = 0;        // the device object id, 0 while a device write is unresolved
    std::int64_t sentToDevice = 0;   // Unix time of the last packet sent to the device, 0: never
    std::int64_t sentToDesktop = 0;  // Unix time of the last packet written on the desktop
    bool desktopChanged = false;     // the desktop reported the item changed since
    std::uint64_t pendingToken = 0;  // a device write that may or may not have happened
};

struct FolderState {
    Bytes storeId;
    Bytes folder;
};

class ReplicationState {
public:
    // Opens (creating when missing) the state database of `desktop`.
    explicit ReplicationState(pal::Machine& desktop);
    ~ReplicationState();
    ReplicationState(const ReplicationState&) = delete;
    ReplicationState& operator=(const ReplicationState&) = delete;

    std::optional<FolderState> Folder(DWORD partnership, const std::string& type);
    void SetFolder(DWORD partnership, const std::string& type, const FolderState& folder);
    // Forgets the type's folder and every entry (a store whose identifier changed).
    void Reset(DWORD partnership, const std::string& type);

    std::vector<ReplicationEntry> Entries(DWORD partnership, const std::string& type);
    // Inserts (id 0; the new id is stored in `entry`) or replaces the entry.
    void Save(DWORD partnership, const std::string& type, ReplicationEntry& entry);
    void Remove(std::int64_t id);

    // The types with state for a partnership.
    std::vector<std::string> Types(DWORD partnership);

    class Db;

private:
    std::unique_ptr<Db> m_db;
};

// The state file of a desktop.
std::filesystem::path ReplicationStatePath(pal::Machine& desktop);

}  // namespace activesync
