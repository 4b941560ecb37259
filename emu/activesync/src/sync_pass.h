// One synchronization pass of one object type (see activesync/sync_session.h for the steps).
// Every desktop handle the pass makes or receives is freed through the store's FreeObject when
// the pass ends, also when it stops early.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "activesync/replication_state.h"
#include "activesync/sync_session.h"
#include "device_objects.h"
#include "sync_store.h"

namespace activesync {

class SyncSession::Pass {
public:
    Pass(DesktopHost& host, Store& store, DeviceObjects& device, ReplicationState& state,
         DWORD partnership, const SyncOptions& options, TypeReport& report,
         std::function<void()> collect);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;

    // Runs the pass; true when the store removed duplicates and asks to compare again.
    bool Run();

private:
    struct Entry {
        ReplicationEntry saved;
        HREPLITEM stored = nullptr;  // the entry's item, rebuilt from its bytes
        HREPLITEM live = nullptr;    // the enumerated item that matches it
        bool gone = false;           // no longer in the state
        bool desktopDeleted = false;
        bool outOfScope = false;
        bool desktopChanged = false;
        bool deviceListed = false;
        bool deviceChanged = false;
        // Changed on both sides and both applied: the device's packets, read before the
        // desktop's version is written over them.
        std::optional<DeviceObjects::Read> deviceVersion;
    };

    void Progress(const std::string& line);
    void Report(SyncDirection direction, SyncAction action, const Bytes& item, DWORD oid,
                std::string reason = {});
    void Save(Entry& entry);
    void Forget(Entry& entry);
    HREPLITEM Own(HREPLITEM item);

    void ResolveInterruptedWrites();
    void EnumerateDesktop();
    void EnumerateDevice();
    void HandleNotifications();
    void Classify();
    bool SettleConflict(Entry& entry);
    void SendToDevice(Entry* entry, HREPLITEM item);
    void ReceiveFromDevice(Entry* entry, DWORD oid);
    void DeleteOnDevice(Entry& entry, const std::string& reason);
    void DeleteOnDesktop(Entry& entry);
    HRESULT DesktopDelete(HREPLITEM item, DWORD oid);
    Entry* Match(HREPLITEM item);

    DesktopHost& m_host;
    Store& m_store;
    DeviceObjects& m_device;
    ReplicationState& m_state;
    DWORD m_partnership;
    const SyncOptions& m_options;
    TypeReport& m_report;
    // Moves the desktop's notifications into the stores' pending lists.
    std::function<void()> m_collect;
    bool m_firstSync = false;
    bool m_received = false;  // the device's objects have been taken
    std::vector<Entry*> m_resend;  // notified changed after that: sent again in this pass

    std::deque<Entry> m_entries;  // stable addresses: entries are added as objects are created
    std::vector<size_t> m_sorted;  // entries in CompareItem order
    std::vector<HREPLITEM> m_newOnDesktop;
    std::vector<DWORD> m_newOnDevice;
    std::vector<HREPLITEM> m_owned;  // every handle to free at the end
};

}  // namespace activesync
