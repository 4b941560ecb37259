// A desktop store as a sync session holds it for one object type: the store object (shared by
// the types of one ProgID), its engine callback, the type's folder and object handler. Created
// and destroyed on the store thread.
#pragma once

#include <replication.h>

#include <memory>
#include <string>
#include <vector>

#include "activesync/bytes.h"
#include "activesync/repl_notify.h"
#include "activesync/sync_session.h"

namespace activesync {

// One store object created by ProgID and initialised.
struct LoadedStore {
    IReplStore* store = nullptr;
    ReplNotify* notify = nullptr;
    STOREINFO info = {};
    Bytes storeId;
    // RSC_RELEASE, then the store and the callback are released.
    ~LoadedStore();
};

class SyncSession::Store {
public:
    // On the store thread: GetFolderInfo(type) of `loaded`; throws SyncError when it fails.
    Store(std::shared_ptr<LoadedStore> loaded, const std::string& type);
    // On the store thread: frees the folder and the notifications not handled.
    ~Store();

    IReplStore& Repl() { return *m_loaded->store; }
    IReplNotify* Notify() { return m_loaded->notify; }
    const Bytes& StoreId() const { return m_loaded->storeId; }
    UINT PollInterval() const;
    HREPLFLD Folder() const { return m_folder; }
    IReplObjHandler& Handler() { return *m_handler; }
    const std::string& Type() const { return m_type; }

    // Notifications of this type not handled yet (their items are this store's handles).
    std::vector<ItemNotification> pending;

private:
    std::shared_ptr<LoadedStore> m_loaded;
    std::string m_type;
    HREPLFLD m_folder = nullptr;
    IReplObjHandler* m_handler = nullptr;
};

// A result as the engine's messages show it: "0x80140011".
std::string Hex(HRESULT result);

// On the store thread: the store of `progId` created through COM and initialised with a new
// engine callback; throws SyncError naming the step that failed.
std::shared_ptr<LoadedStore> LoadStore(DesktopHost& host, const std::string& progId, UINT flags);

}  // namespace activesync
