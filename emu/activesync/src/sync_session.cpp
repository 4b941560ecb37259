#include "activesync/sync_session.h"

#include "activesync/partnerships.h"
#include "activesync/replication_state.h"
#include "device_objects.h"
#include "sync_pass.h"
#include "sync_store.h"

namespace activesync {

namespace {

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// A pass that RemoveDuplicates asks to repeat is compared again once.
const int kMaxRestarts = 1;

}  // namespace

const char* ToText(SyncAction action) {
    switch (action) {
        case SyncAction::Created:
            return "created";
        case SyncAction::Changed:
            return "changed";
        case SyncAction::Deleted:
            return "deleted";
        case SyncAction::Skipped:
            return "skipped";
        case SyncAction::Conflict:
            return "conflict";
    }
    return "?";
}

const char* ToText(SyncDirection direction) {
    return direction == SyncDirection::ToDevice ? "to device" : "to desktop";
}

size_t TypeReport::Count(SyncDirection direction, SyncAction action) const {
    size_t count = 0;
    for (const auto& object : objects)
        if (object.direction == direction && object.action == action) ++count;
    return count;
}

SyncSession::SyncSession(DesktopHost& host, DeviceLink& link) : m_host(host), m_link(link) {
    m_partnership = link.ConnectedId();
    if (!m_partnership) throw SyncError("the device is not connected");
    m_state = std::make_unique<ReplicationState>(host.Desktop());
}

SyncSession::~SyncSession() {
    try {
        m_host.Run([this] {
            m_stores.clear();
            m_loaded.clear();
        });
    } catch (...) {
        // The store thread has ended: its stores went with it.
    }
}

std::vector<std::string> SyncSession::EnabledTypes() const {
    std::vector<std::string> types;
    auto partnership = FindPartnership(m_link.Desktop(), m_link.Device(), m_partnership);
    if (!partnership) return types;
    for (const auto& object : partnership->objects)
        if (object.disabled == 0u && !object.store.empty()) types.push_back(Narrow(object.type));
    return types;
}

SyncSession::Store& SyncSession::StoreOf(const std::string& type) {
    auto found = m_stores.find(type);
    if (found != m_stores.end()) return *found->second;
    auto partnership = FindPartnership(m_link.Desktop(), m_link.Device(), m_partnership);
    std::string progId;
    if (partnership)
        for (const auto& object : partnership->objects)
            if (Narrow(object.type) == type && object.disabled == 0u)
                progId = Narrow(object.store);
    if (progId.empty())
        throw SyncError("\"" + type + "\" is not synchronized in this partnership");
    std::shared_ptr<Store> store;
    m_host.Run([&] {
        auto& loaded = m_loaded[progId];
        if (!loaded) {
            try {
                loaded = LoadStore(m_host, progId, 0);
            } catch (...) {
                m_loaded.erase(progId);
                throw;
            }
        }
        store = std::make_shared<Store>(loaded, type);
    });
    m_stores[type] = store;
    return *store;
}

void SyncSession::Collect() {
    for (auto& [progId, loaded] : m_loaded) {
        auto notifications = loaded->notify->TakeNotifications();
        for (auto& notification : notifications) {
            auto store = m_stores.find(notification.objType);
            if (store != m_stores.end()) {
                store->second->pending.push_back(notification);
            } else {
                m_host.Run([&] { loaded->store->FreeObject(notification.item); });
            }
        }
    }
}

TypeReport SyncSession::Synchronize(const std::string& type, const SyncOptions& options) {
    bool enabled = false;
    for (const auto& candidate : EnabledTypes()) enabled = enabled || candidate == type;
    if (!enabled) throw SyncError("\"" + type + "\" is not synchronized in this partnership");
    Store& store = StoreOf(type);
    DeviceObjects device(m_link, type);
    TypeReport report;
    report.type = type;
    report.dryRun = options.dryRun;
    if (options.progress) options.progress(type + ": starting");
    m_host.Run([&] { store.Repl().ReportStatus(store.Folder(), nullptr, RSC_BEGIN_SYNC, 0); });
    try {
        device.ReportStatus(RSC_BEGIN_SYNC, 0);
        for (;;) {
            Pass pass(m_host, store, device, *m_state, m_partnership, options, report,
                      [this] { Collect(); });
            if (!pass.Run() || report.restarts >= kMaxRestarts) break;
            ++report.restarts;
            if (options.progress)
                options.progress(type + ": duplicates were removed; comparing again");
        }
        device.ReportStatus(RSC_END_SYNC, 0);
    } catch (...) {
        m_host.Run([&] { store.Repl().ReportStatus(store.Folder(), nullptr, RSC_END_SYNC, 0); });
        throw;
    }
    m_host.Run([&] { store.Repl().ReportStatus(store.Folder(), nullptr, RSC_END_SYNC, 0); });
    if (options.progress) options.progress(type + ": done");
    return report;
}

bool SyncSession::HasChanges(const std::string& type) {
    Store& store = StoreOf(type);
    Collect();
    if (!store.pending.empty()) return true;
    BOOL changed = FALSE;
    if (store.PollInterval())
        m_host.Run([&] { store.Repl().IsFolderChanged(store.Folder(), &changed); });
    if (changed) return true;
    return !DeviceObjects(m_link, type).TakeChanges().empty();
}

UINT SyncSession::PollInterval(const std::string& type) { return StoreOf(type).PollInterval(); }

}  // namespace activesync
