// A throw-away world with a desktop and a device in a temporary folder, no machine current; and
// what the synchronization benchmarks set up in it: the device provider's journal, a partnership
// synchronizing one type through both providers, and a pass of that type.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/provider_install.h"
#include "activesync/sync_session.h"
#include "ce_db.h"
#include "journal.h"
#include "pal/runtime/context.h"
#include "pal/runtime/registry_store.h"
#include "pal/runtime/world.h"

class SyncWorld {
public:
    SyncWorld() {
        std::string folder = (std::filesystem::temp_directory_path() / "velumex-bench-XXXXXX");
        if (!::mkdtemp(folder.data())) throw std::runtime_error("no temporary folder");
        m_dir = std::filesystem::path(folder);
        m_world = pal::World::Create(m_dir / "world");
    }
    ~SyncWorld() {
        m_world.reset();
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    SyncWorld(const SyncWorld&) = delete;
    SyncWorld& operator=(const SyncWorld&) = delete;

    pal::World& Get() { return *m_world; }
    pal::Machine& Desktop() { return m_world->Desktop(); }
    pal::Machine& Device() { return m_world->Device(); }

    // A journal of the device provider (sorted on `sort` when not 0), as the notification
    // service creates it.
    void CreateJournal(const WCHAR* name, CEPROPID sort) {
        pal::ScopedContext scope(Device());
        CEGUID volume;
        WCHAR path[] = KESTRIN_VOLUME_PATH;
        if (!CeMountDBVol(&volume, path, OPEN_ALWAYS))
            throw std::runtime_error("the device volume did not mount");
        SORTORDERSPEC order{sort, 0};
        CreateDatabase(name, JOURNAL_DB_TYPE, nullptr, sort ? 1 : 0, sort ? &order : nullptr,
                       &volume);
        CeUnmountDBVol(&volume);
    }

    // Installs the device provider and makes a partnership that synchronizes `type` through the
    // desktop provider.
    void Partner(const std::string& type) {
        if (activesync::InstallDeviceProvider(
                Device(), std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so") != S_OK)
            throw std::runtime_error("the device provider did not install");
        m_partnership = activesync::CreatePartnership(Desktop(), Device(), u"PocketPC").id;
        std::u16string key = activesync::PartnershipKeyPath(m_partnership) + u"\\" +
                             std::u16string(activesync::kObjectsSubkey) + u"\\" +
                             std::u16string(type.begin(), type.end());
        pal::RegistryStore(Desktop()).SetDword(key, u"Disabled", 0);
        pal::RegistryStore(Desktop()).SetString(key, u"Store", u"KV.WinCE.OE.3");
        m_type = type;
    }

    // One pass of the partnership's type, as `velumex sync` runs it.
    activesync::TypeReport Sync() {
        activesync::DeviceLink link(*m_world);
        if (!link.IsConnected()) link.Connect(m_partnership);
        activesync::DeviceSession deviceHalf(link);
        activesync::DesktopHost host(Desktop());
        activesync::SyncSession session(host, link);
        return session.Synchronize(m_type);
    }

private:
    std::filesystem::path m_dir;
    std::unique_ptr<pal::World> m_world;
    DWORD m_partnership = 0;
    std::string m_type;
};
