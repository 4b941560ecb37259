#include "sync_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <set>
#include <unordered_map>

namespace activesync {

namespace {

// The packet size the engine recommends to a desktop handler's GetPacket.
const DWORD kRecommendedPacketSize = 8192;

std::int64_t Now() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::uint64_t NewToken() {
    static std::mt19937_64 generator{std::random_device{}()};
    std::uint64_t token = 0;
    while (!token) token = generator() & 0x7FFFFFFFFFFFFFFFull;  // kept as a signed SQLite integer
    return token;
}

Bytes ItemBytes(IReplStore& store, HREPLITEM item) {
    Bytes bytes(store.ObjectToBytes(item, nullptr));
    if (!bytes.empty()) store.ObjectToBytes(item, bytes.data());
    return bytes;
}

}  // namespace

SyncSession::Pass::Pass(DesktopHost& host, Store& store, DeviceObjects& device,
                        ReplicationState& state, DWORD partnership, const SyncOptions& options,
                        TypeReport& report, std::function<void()> collect)
    : m_host(host),
      m_store(store),
      m_device(device),
      m_state(state),
      m_partnership(partnership),
      m_options(options),
      m_report(report),
      m_collect(std::move(collect)) {}

SyncSession::Pass::~Pass() {
    if (m_owned.empty()) return;
    try {
        m_host.Run([this] {
            for (HREPLITEM item : m_owned) m_store.Repl().FreeObject(item);
        });
    } catch (...) {
        // The store thread has ended: its store and handles are gone with it.
    }
}

void SyncSession::Pass::Progress(const std::string& line) {
    if (m_options.progress) m_options.progress(m_store.Type() + ": " + line);
}

void SyncSession::Pass::Report(SyncDirection direction, SyncAction action, const Bytes& item,
                               DWORD oid, std::string reason) {
    m_report.objects.push_back({direction, action, item, oid, std::move(reason)});
}

void SyncSession::Pass::Save(Entry& entry) {
    if (!m_options.dryRun) m_state.Save(m_partnership, m_store.Type(), entry.saved);
}

void SyncSession::Pass::Forget(Entry& entry) {
    entry.gone = true;
    if (!m_options.dryRun && entry.saved.id) m_state.Remove(entry.saved.id);
}

HREPLITEM SyncSession::Pass::Own(HREPLITEM item) {
    if (item) m_owned.push_back(item);
    return item;
}

bool SyncSession::Pass::Run() {
    const std::string& type = m_store.Type();
    auto folder = m_state.Folder(m_partnership, type);
    if (folder) {
        int order = 0;
        m_host.Run([&] {
            Bytes saved = folder->storeId;
            Bytes current = m_store.StoreId();
            order = m_store.Repl().CompareStoreIDs(saved.data(), static_cast<UINT>(saved.size()),
                                                   current.data(),
                                                   static_cast<UINT>(current.size()));
        });
        if (order != 0) {
            // Another store than the one replicated before: its state means nothing here.
            Progress("the desktop store changed; synchronizing from the start");
            if (!m_options.dryRun) m_state.Reset(m_partnership, type);
            folder.reset();
        }
    }
    m_firstSync = !folder;
    for (auto& saved : m_state.Entries(m_partnership, type)) {
        m_entries.emplace_back();
        m_entries.back().saved = std::move(saved);
    }

    ResolveInterruptedWrites();
    Progress("comparing desktop items");
    EnumerateDesktop();
    HandleNotifications();
    Progress("listing device objects");
    EnumerateDevice();
    Classify();

    size_t toDevice = m_newOnDesktop.size(), toDesktop = m_newOnDevice.size();
    for (auto& entry : m_entries) {
        if (entry.gone) continue;
        if (entry.desktopChanged) ++toDevice;
        if (entry.deviceChanged) ++toDesktop;
    }
    if (!m_options.dryRun)
        for (auto& entry : m_entries)
            if (!entry.gone && entry.desktopChanged && entry.deviceChanged)
                entry.deviceVersion = m_device.ReadObject(entry.saved.oid);
    Progress("sending " + std::to_string(toDevice) + " to the device");
    for (HREPLITEM item : m_newOnDesktop) SendToDevice(nullptr, item);
    for (auto& entry : m_entries)
        if (!entry.gone && entry.desktopChanged) SendToDevice(&entry, entry.live);

    Progress("receiving " + std::to_string(toDesktop) + " from the device");
    for (auto& entry : m_entries)
        if (!entry.gone && entry.deviceChanged) ReceiveFromDevice(&entry, entry.saved.oid);
    for (DWORD oid : m_newOnDevice) ReceiveFromDevice(nullptr, oid);
    // A write on the desktop may report deletions when its handler resets, and items the store
    // rearranged while taking the device's version: those go back to the device in this pass.
    m_received = true;
    HandleNotifications();
    for (Entry* entry : m_resend)
        if (!entry->gone) SendToDevice(entry, entry->stored);

    Progress("deleting");
    for (auto& entry : m_entries) {
        if (entry.gone || !entry.stored) continue;
        if (entry.desktopDeleted || entry.outOfScope)
            DeleteOnDevice(entry, entry.outOfScope ? "no longer selected on the desktop" : "");
        else if (!entry.deviceListed && entry.saved.oid && !entry.saved.pendingToken)
            DeleteOnDesktop(entry);
    }

    if (m_options.dryRun) return false;
    bool restart = false;
    m_host.Run([&] {
        HRESULT result =
            m_store.Repl().RemoveDuplicates(const_cast<LPSTR>(type.c_str()), 0);
        restart = result == RERR_RESTART;
        Bytes folderBytes = ItemBytes(m_store.Repl(), m_store.Folder());
        m_state.SetFolder(m_partnership, type, {m_store.StoreId(), folderBytes});
    });
    return restart;
}

void SyncSession::Pass::ResolveInterruptedWrites() {
    for (auto& entry : m_entries) {
        if (!entry.saved.pendingToken) continue;
        auto outcome = m_device.Outcome(entry.saved.pendingToken);
        if (outcome && SUCCEEDED(outcome->result)) {
            if (!entry.saved.oid) {
                entry.saved.oid = outcome->oid;
                entry.saved.sentToDevice = Now();
                entry.saved.desktopChanged = false;
            }
        } else if (!entry.saved.oid) {
            // The device never made it: the item is new again.
            Forget(entry);
            continue;
        } else {
            entry.saved.desktopChanged = true;  // to be sent again
        }
        entry.saved.pendingToken = 0;
        Save(entry);
    }
}

void SyncSession::Pass::EnumerateDesktop() {
    m_host.Run([this] {
        IReplStore& store = m_store.Repl();
        HREPLFLD folder = m_store.Folder();
        for (size_t i = 0; i < m_entries.size(); ++i) {
            Entry& entry = m_entries[i];
            if (entry.gone) continue;
            entry.stored = Own(store.BytesToObject(entry.saved.item.data(),
                                                   static_cast<UINT>(entry.saved.item.size())));
            if (entry.stored) m_sorted.push_back(i);
        }
        auto less = [&](size_t a, size_t b) {
            return store.CompareItem(m_entries[a].stored, m_entries[b].stored) < 0;
        };
        std::sort(m_sorted.begin(), m_sorted.end(), less);

        HREPLITEM item = nullptr;
        BOOL exists = FALSE;
        HRESULT result = store.FindFirstItem(folder, &item, &exists);
        while (SUCCEEDED(result) && exists) {
            Own(item);
            Entry* entry = nullptr;
            auto found = std::lower_bound(m_sorted.begin(), m_sorted.end(), item,
                                          [&](size_t index, HREPLITEM live) {
                                              return store.CompareItem(m_entries[index].stored,
                                                                       live) < 0;
                                          });
            if (found != m_sorted.end() &&
                store.CompareItem(m_entries[*found].stored, item) == 0)
                entry = &m_entries[*found];
            if (entry && !entry->live) {
                entry->live = item;
            } else if (!entry && store.IsItemReplicated(folder, item)) {
                m_newOnDesktop.push_back(item);
            }
            item = nullptr;
            result = store.FindNextItem(folder, &item, &exists);
        }
        store.FindItemClose(folder);
        if (FAILED(result))
            throw SyncError("the desktop store could not list its items (" + Hex(result) + ")");

        for (auto& entry : m_entries) {
            if (entry.gone || !entry.stored) continue;
            if (entry.live) {
                if (!store.IsItemReplicated(folder, entry.live))
                    entry.outOfScope = true;
                else if (entry.saved.desktopChanged ||
                         store.IsItemChanged(folder, entry.stored, entry.live))
                    entry.desktopChanged = true;
                continue;
            }
            HRESULT valid = store.IsValidObject(folder, entry.stored, 0);
            if (valid == RERR_OBJECT_DELETED)
                entry.desktopDeleted = true;
            else if (valid == S_OK && !store.IsItemReplicated(folder, entry.stored))
                entry.outOfScope = true;
        }
    });
}

SyncSession::Pass::Entry* SyncSession::Pass::Match(HREPLITEM item) {
    // On the store thread.
    for (auto& entry : m_entries) {
        HREPLITEM known = entry.live ? entry.live : entry.stored;
        if (!entry.gone && known && m_store.Repl().CompareItem(known, item) == 0) return &entry;
    }
    return nullptr;
}

void SyncSession::Pass::HandleNotifications() {
    // A dry run leaves them for the pass that acts.
    if (m_options.dryRun) return;
    m_collect();
    std::vector<ItemNotification> notifications;
    notifications.swap(m_store.pending);
    for (auto& notification : notifications) Own(notification.item);
    for (auto& notification : notifications) {
        Entry* entry = nullptr;
        HRESULT valid = S_OK;
        Bytes itemBytes;
        m_host.Run([&] {
            entry = Match(notification.item);
            valid = m_store.Repl().IsValidObject(m_store.Folder(), notification.item, 0);
            itemBytes = ItemBytes(m_store.Repl(), notification.item);
        });
        if (notification.code != RNC_DELETED) {
            // Changed on the desktop: sent at the next occasion, also after a restart. An item
            // without an entry is found new by the enumeration.
            if (entry && !entry->saved.desktopChanged) {
                entry->saved.desktopChanged = true;
                Save(*entry);
            }
            if (entry) {
                entry->desktopChanged = true;
                if (m_received && std::find(m_resend.begin(), m_resend.end(), entry) ==
                                      m_resend.end())
                    m_resend.push_back(entry);
            }
            continue;
        }
        // To be gone on both sides: the device copy, then the desktop object when it is still
        // there (a message the device moved away is deleted in the mail client too).
        DWORD oid = entry ? entry->saved.oid : 0;
        if (entry && oid) {
            DeleteOnDevice(*entry, "deleted on the desktop");
            if (!entry->gone) continue;
        } else if (entry) {
            Forget(*entry);
        }
        if (valid != S_OK) continue;
        HRESULT result = DesktopDelete(notification.item, oid);
        if (FAILED(result))
            Report(SyncDirection::ToDesktop, SyncAction::Skipped, itemBytes, oid,
                   "the desktop store did not delete it (" + Hex(result) + ")");
        else
            Report(SyncDirection::ToDesktop, SyncAction::Deleted, itemBytes, oid);
    }
}

void SyncSession::Pass::EnumerateDevice() {
    DeviceObjects::List list = m_device.Find();
    if (FAILED(list.result))
        throw SyncError("the device could not list its \"" + m_store.Type() + "\" objects (" +
                        Hex(list.result) +
                        (list.result == E_UNEXPECTED ? ": no device provider serves the type)"
                                                     : ")"));
    std::unordered_map<DWORD, Entry*> byOid;
    for (auto& entry : m_entries)
        if (!entry.gone && entry.saved.oid) byOid[entry.saved.oid] = &entry;
    std::set<DWORD> listed;
    auto take = [&](UINT oid, bool changed) {
        if (!listed.insert(oid).second) return;
        auto found = byOid.find(oid);
        if (found != byOid.end()) {
            found->second->deviceListed = true;
            if (changed) found->second->deviceChanged = true;
        } else if (changed || m_firstSync) {
            // Unknown to the desktop: new there (every device object when combining the first
            // synchronization).
            m_newOnDevice.push_back(oid);
        }
    };
    for (UINT oid : list.unchanged) take(oid, false);
    for (UINT oid : list.changed) take(oid, true);
}

void SyncSession::Pass::Classify() {
    for (auto& entry : m_entries) {
        if (entry.gone || !entry.stored) continue;
        bool deviceDeleted = entry.saved.oid && !entry.deviceListed && !entry.saved.pendingToken;
        if ((entry.desktopDeleted || entry.outOfScope) && deviceDeleted) {
            Forget(entry);  // gone on both sides
        } else if (entry.desktopDeleted && entry.deviceChanged) {
            // Changed on the device after it was deleted on the desktop: kept, as a new object.
            Forget(entry);
            m_newOnDevice.push_back(entry.saved.oid);
        } else if (deviceDeleted && entry.desktopChanged) {
            // Changed on the desktop after it was deleted on the device: sent again as new.
            Forget(entry);
            m_newOnDesktop.push_back(entry.live);
        } else if (entry.desktopChanged && entry.deviceChanged) {
            if (!SettleConflict(entry)) {
                entry.desktopChanged = entry.deviceChanged = false;
            }
        }
    }
}

bool SyncSession::Pass::SettleConflict(Entry& entry) {
    HRESULT result = S_OK;
    m_host.Run([&] {
        CONFINFO info{};
        info.cbStruct = CBSTRUCT_CONFINFO;
        info.hFolder = m_store.Folder();
        info.hLocalItem = entry.live;
        info.hRemoteItem = entry.stored;
        std::strncpy(info.szLocalName, m_store.Type().c_str(), MAX_OBJTYPE_NAME - 1);
        std::strncpy(info.szRemoteName, m_store.Type().c_str(), MAX_OBJTYPE_NAME - 1);
        result = m_store.Repl().GetConflictInfo(&info);
    });
    if (result == RERR_IGNORE) return true;  // no conflict: both changes apply
    switch (m_options.conflicts) {
        case ConflictRule::DesktopWins:
            entry.deviceChanged = false;
            return true;
        case ConflictRule::DeviceWins:
            entry.desktopChanged = false;
            return true;
        case ConflictRule::Leave:
            break;
    }
    Report(SyncDirection::ToDevice, SyncAction::Conflict, entry.saved.item, entry.saved.oid,
           "changed on both sides; left as it is");
    return false;
}

void SyncSession::Pass::SendToDevice(Entry* entry, HREPLITEM item) {
    SyncAction action = entry ? SyncAction::Changed : SyncAction::Created;
    Bytes itemBytes;
    std::vector<Bytes> packets;
    HRESULT read = S_OK;
    m_host.Run([&] {
        IReplStore& store = m_store.Repl();
        itemBytes = ItemBytes(store, item);
        if (m_options.dryRun) return;
        REPLSETUPA setup{};
        setup.cbStruct = sizeof setup;
        setup.fRead = TRUE;
        std::strncpy(setup.szObjType, m_store.Type().c_str(), MAX_OBJTYPE_NAME - 1);
        setup.pNotify = m_store.Notify();
        setup.oid = entry ? entry->saved.oid : 0;
        setup.pStore = &store;
        setup.hFolder = m_store.Folder();
        setup.hItem = item;
        read = m_store.Handler().Setup(&setup);
        if (FAILED(read)) return;
        do {
            LPBYTE data = nullptr;
            DWORD size = 0;
            read = m_store.Handler().GetPacket(&data, &size, kRecommendedPacketSize);
            if (FAILED(read)) break;
            packets.emplace_back(data, data + (data ? size : 0));
        } while (read != RWRN_LAST_PACKET);
        m_store.Handler().Reset(&setup);
    });
    DWORD oid = entry ? entry->saved.oid : 0;
    if (m_options.dryRun) {
        Report(SyncDirection::ToDevice, action, itemBytes, oid);
        return;
    }
    if (FAILED(read)) {
        Report(SyncDirection::ToDevice, SyncAction::Skipped, itemBytes, oid,
               "the desktop store could not read it (" + Hex(read) + ")");
        return;
    }
    Entry* target = entry;
    if (!target) {
        m_entries.push_back({});
        target = &m_entries.back();
        target->saved.item = itemBytes;
        target->stored = item;
        target->live = item;
    }
    // Recorded before the write: a reply that never comes is resolved by this token.
    target->saved.pendingToken = NewToken();
    Save(*target);
    DeviceObjects::Write write = m_device.WriteObject(
        target->saved.pendingToken, oid, entry ? 0 : RSF_NEW_OBJECT, packets);
    target->saved.pendingToken = 0;
    if (FAILED(write.result)) {
        if (entry)
            Save(*target);
        else
            Forget(*target);
        Report(SyncDirection::ToDevice, SyncAction::Skipped, itemBytes, oid,
               "the device did not take it (" + Hex(write.result) + ")");
        return;
    }
    if (entry) {
        m_host.Run([&] {
            if (item != entry->stored) m_store.Repl().CopyObject(item, entry->stored);
            entry->saved.item = ItemBytes(m_store.Repl(), entry->stored);
        });
    } else {
        target->saved.oid = write.oid;
    }
    target->saved.sentToDevice = Now();
    target->saved.desktopChanged = false;
    target->deviceListed = true;
    Save(*target);
    Report(SyncDirection::ToDevice, action, target->saved.item, target->saved.oid);
}

void SyncSession::Pass::ReceiveFromDevice(Entry* entry, DWORD oid) {
    SyncAction action = entry ? SyncAction::Changed : SyncAction::Created;
    Bytes known = entry ? entry->saved.item : Bytes();
    if (m_options.dryRun) {
        Report(SyncDirection::ToDesktop, action, known, oid);
        return;
    }
    DeviceObjects::Read read = entry && entry->deviceVersion ? std::move(*entry->deviceVersion)
                                                             : m_device.ReadObject(oid);
    if (read.result != RWRN_LAST_PACKET) {
        Report(SyncDirection::ToDesktop, SyncAction::Skipped, known, oid,
               "the device could not read it (" + Hex(read.result) + ")");
        return;
    }
    HRESULT result = S_OK;
    HREPLITEM written = nullptr;
    Bytes itemBytes;
    m_host.Run([&] {
        IReplStore& store = m_store.Repl();
        REPLSETUPA setup{};
        setup.cbStruct = sizeof setup;
        setup.fRead = FALSE;
        setup.dwFlags = entry ? 0 : RSF_NEW_OBJECT | (m_firstSync ? RSF_COMBINE_OBJECT : 0);
        std::strncpy(setup.szObjType, m_store.Type().c_str(), MAX_OBJTYPE_NAME - 1);
        setup.pNotify = m_store.Notify();
        setup.oid = oid;
        setup.pStore = &store;
        setup.hFolder = m_store.Folder();
        HREPLITEM given = entry ? entry->stored : nullptr;
        setup.hItem = given;
        result = m_store.Handler().Setup(&setup);
        if (FAILED(result)) return;
        for (auto& packet : read.packets) {
            result = m_store.Handler().SetPacket(packet.data(), static_cast<DWORD>(packet.size()));
            if (FAILED(result)) break;
        }
        HRESULT reset = m_store.Handler().Reset(&setup);
        if (SUCCEEDED(result) && FAILED(reset)) result = reset;
        written = setup.hItem;
        if (written && written != given) Own(written);
        if (result != S_OK || !written) return;
        store.UpdateItem(m_store.Folder(), written, nullptr);
        itemBytes = ItemBytes(store, written);
    });
    if (result == RERR_DISCARD) {
        HRESULT deleted = m_device.DeleteObject(oid);
        if (entry) Forget(*entry);
        Report(SyncDirection::ToDevice,
               SUCCEEDED(deleted) ? SyncAction::Deleted : SyncAction::Skipped, known, oid,
               SUCCEEDED(deleted) ? "discarded by the desktop store"
                                  : "discarded by the desktop store; the device kept it (" +
                                        Hex(deleted) + ")");
        return;
    }
    if (result == RERR_SKIP_OBJECT) {
        Report(SyncDirection::ToDesktop, SyncAction::Skipped, known, oid,
               "the desktop store will take it later; left changed on the device");
        return;
    }
    if (result != S_OK || !written) {
        Report(SyncDirection::ToDesktop, SyncAction::Skipped, known, oid,
               result != S_OK ? "the desktop store refused it (" + Hex(result) + ")"
                              : "the desktop store made no item of it");
        return;
    }
    Entry* target = entry;
    if (!target) {
        m_entries.push_back({});
        target = &m_entries.back();
        target->saved.oid = oid;
    }
    target->stored = written;
    target->saved.item = itemBytes;
    target->saved.sentToDesktop = Now();
    target->deviceListed = true;
    Save(*target);
    m_device.ClearChange(oid);
    Report(SyncDirection::ToDesktop, action, itemBytes, oid);
}

void SyncSession::Pass::DeleteOnDevice(Entry& entry, const std::string& reason) {
    if (m_options.dryRun) {
        entry.gone = true;
        Report(SyncDirection::ToDevice, SyncAction::Deleted, entry.saved.item, entry.saved.oid,
               reason);
        return;
    }
    HRESULT result = m_device.DeleteObject(entry.saved.oid);
    if (FAILED(result)) {
        Report(SyncDirection::ToDevice, SyncAction::Skipped, entry.saved.item, entry.saved.oid,
               "the device did not delete it (" + Hex(result) + ")");
        return;
    }
    Forget(entry);
    Report(SyncDirection::ToDevice, SyncAction::Deleted, entry.saved.item, entry.saved.oid,
           reason);
}

HRESULT SyncSession::Pass::DesktopDelete(HREPLITEM item, DWORD oid) {
    HRESULT result = S_OK;
    m_host.Run([&] {
        REPLSETUPA setup{};
        setup.cbStruct = sizeof setup;
        setup.fRead = FALSE;
        std::strncpy(setup.szObjType, m_store.Type().c_str(), MAX_OBJTYPE_NAME - 1);
        setup.pNotify = m_store.Notify();
        setup.oid = oid;
        setup.pStore = &m_store.Repl();
        setup.hFolder = m_store.Folder();
        setup.hItem = item;
        result = m_store.Handler().Setup(&setup);
        if (FAILED(result)) return;
        result = m_store.Handler().DeleteObj(&setup);
        m_store.Handler().Reset(&setup);
    });
    return result;
}

void SyncSession::Pass::DeleteOnDesktop(Entry& entry) {
    if (m_options.dryRun) {
        Report(SyncDirection::ToDesktop, SyncAction::Deleted, entry.saved.item, entry.saved.oid);
        return;
    }
    HRESULT result = DesktopDelete(entry.stored, entry.saved.oid);
    if (FAILED(result)) {
        Report(SyncDirection::ToDesktop, SyncAction::Skipped, entry.saved.item, entry.saved.oid,
               "the desktop store did not delete it (" + Hex(result) + ")");
        return;
    }
    Forget(entry);
    Report(SyncDirection::ToDesktop, SyncAction::Deleted, entry.saved.item, entry.saved.oid);
}

}  // namespace activesync
