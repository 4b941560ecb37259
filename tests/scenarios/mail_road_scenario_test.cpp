// The road of a new desktop message through the engine to the device's own mail provider: the
// mail client's Inbox, both providers installed, the device's Inbox account and journal; the
// engine synchronizes "Message", the message lands in the account's Inbox, a second
// synchronization does nothing, and a deletion on the desktop reaches the device.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "activesync/desktop_host.h"
#include "activesync/device_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/provider_install.h"
#include "activesync/sync_session.h"
#include "emu/cemapi/message_stores.h"
#include "emu/mailclient/mail_client.h"
#include "ce_db.h"
#include "ce_record.h"
#include "journal.h"
#include "pal/runtime/context.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "provider_host.h"

namespace {

using namespace activesync;

class MailRoadScenario : public ::testing::Test {
protected:
    MailRoadScenario() {
        emu::mailclient::InstallMailClient(desktop);
        InstallEngine(desktop, {false, false});
        EXPECT_EQ(velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR), S_OK);
        // The device's account and journal, as the launcher and the notification service leave
        // them, then the device provider.
        emu::cemapi::CreateStore(device, u"Kestrin");
        {
            pal::ScopedContext scope(device);
            pal::RegistryStore registry(device);
            registry.SetString(u"HKLM\\Software\\Microsoft\\Inbox\\Svc\\Kestrin", u"FriendlyName",
                               u"Kestrin");
            registry.CreateKey(u"HKCU\\Software\\Quorvane\\Velumex");
            CEGUID volume;
            WCHAR path[] = KESTRIN_VOLUME_PATH;
            EXPECT_TRUE(CeMountDBVol(&volume, path, OPEN_ALWAYS));
            CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, &volume);
            CeUnmountDBVol(&volume);
        }
        EXPECT_EQ(InstallDeviceProvider(device,
                                        std::string(VELUMEX_MODULE_DIR) + "/Kestrin.so"),
                  S_OK);
        m_id = CreatePartnership(desktop, device, u"PocketPC").id;
        std::u16string message =
            PartnershipKeyPath(m_id) + u"\\" + std::u16string(kObjectsSubkey) + u"\\Message";
        pal::RegistryStore(desktop).SetDword(message, u"Disabled", 0);
        pal::RegistryStore(desktop).SetString(message, u"Store", u"KV.WinCE.OE.3");
    }

    TypeReport Sync() {
        DeviceLink link(world.Get());
        if (!link.IsConnected()) link.Connect(m_id);
        DeviceSession deviceHalf(link);
        DesktopHost host(desktop);
        SyncSession session(host, link);
        return session.Synchronize("Message");
    }

    std::vector<std::u16string> DeviceInbox() {
        std::vector<std::u16string> subjects;
        auto store = emu::cemapi::FindStore(device, u"Kestrin");
        if (!store) return subjects;
        for (const auto& message :
             emu::cemapi::ListMessages(device, store->number, emu::cemapi::FolderKind::Inbox))
            if (auto read = emu::cemapi::ReadMessage(device, store->number, message.id))
                subjects.push_back(read->subject);
        return subjects;
    }

    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();
    DWORD m_id = 0;
};

TEST_F(MailRoadScenario, ANewDesktopMessageReachesTheDeviceInboxAndItsDeletionFollows) {
    emu::mailclient::Message mail;
    mail.subject = "Welcome";
    mail.body = "Hello from the desktop";
    mail.from = {"Ann", "ann@example.com"};
    mail.recipients = {{emu::mailclient::kTo, "Bob", "bob@example.com"}};
    mail.unread = true;
    std::uint64_t id = emu::mailclient::AddMessage(desktop, mail);

    TypeReport first = Sync();
    EXPECT_EQ(first.Count(SyncDirection::ToDevice, SyncAction::Created), 1u);
    EXPECT_EQ(first.Count(SyncDirection::ToDevice, SyncAction::Skipped), 0u);
    EXPECT_EQ(DeviceInbox(), std::vector<std::u16string>{u"Welcome"});

    TypeReport second = Sync();
    EXPECT_TRUE(second.objects.empty()) << second.objects.size();

    ASSERT_TRUE(emu::mailclient::DeleteMessage(desktop, id));
    TypeReport third = Sync();
    EXPECT_EQ(third.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    EXPECT_TRUE(DeviceInbox().empty());
}

}  // namespace
