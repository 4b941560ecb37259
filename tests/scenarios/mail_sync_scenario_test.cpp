// Mail from the desktop to the device through the engine: the mail client's Inbox, the desktop
// provider installed and registered, a partnership, a device provider that keeps the packets it
// is given; the engine synchronizes "Message" and follows reads and deletions on the desktop.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>

#include "activesync/desktop_host.h"
#include "activesync/device_link.h"
#include "activesync/device_session.h"
#include "activesync/partnerships.h"
#include "activesync/replication_state.h"
#include "activesync/sync_session.h"
#include "emu/mailclient/mail_client.h"
#include "pal/runtime/context.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "provider_host.h"

namespace {

using namespace activesync;

emu::mailclient::Message Mail(std::string subject, bool unread) {
    emu::mailclient::Message message;
    message.subject = std::move(subject);
    message.body = "Hello from the desktop";
    message.from = {"Ann", "ann@example.com"};
    message.recipients = {{emu::mailclient::kTo, "Bob", "bob@example.com"}};
    message.unread = unread;
    return message;
}

// Text as it appears in a packet: UTF-16 little-endian, in hex.
std::string PacketHex(const std::string& text) {
    std::string hex;
    char pair[5];
    for (unsigned char c : text) {
        std::snprintf(pair, sizeof pair, "%02x00", c);
        hex += pair;
    }
    return hex;
}

class MailSyncScenario : public ::testing::Test {
protected:
    MailSyncScenario() {
        emu::mailclient::InstallMailClient(desktop);
        InstallEngine(desktop, {false, false});
        EXPECT_EQ(velumex::InstallProvider(desktop, VELUMEX_MODULE_DIR), S_OK);
        pal::InstallModule(device, std::string(VELUMEX_MODULE_DIR) + "/scenario_packet_keeper.so",
                           u"\\Windows\\Keeper.dll");
        pal::RegistryStore deviceRegistry(device);
        deviceRegistry.SetString(std::u16string(u"HKLM\\") + kDeviceObjectsKey + u"\\Message",
                                 u"Store", u"\\Windows\\Keeper.dll");
        deviceRegistry.CreateKey(u"HKCU\\Software\\Quorvane\\Velumex");
        m_id = CreatePartnership(desktop, device, u"PocketPC").id;
        std::u16string message =
            PartnershipKeyPath(m_id) + u"\\" + std::u16string(kObjectsSubkey) + u"\\Message";
        pal::RegistryStore(desktop).SetDword(message, u"Disabled", 0);
        pal::RegistryStore(desktop).SetString(message, u"Store", u"KV.WinCE.OE.3");
    }

    // The device's kept objects: oid → packet bytes in hex.
    std::map<DWORD, std::string> Kept() {
        std::map<DWORD, std::string> kept;
        std::ifstream file(device.Dir() / "root" / "kept-packets.txt");
        DWORD oid = 0;
        std::string hex;
        while (file >> oid >> hex) kept[oid] = hex;
        return kept;
    }

    TypeReport Sync() {
        DeviceLink link(world.Get());
        if (!link.IsConnected()) link.Connect(m_id);
        DeviceSession deviceHalf(link);
        DesktopHost host(desktop);
        SyncSession session(host, link);
        return session.Synchronize("Message");
    }

    pal::testing::TempWorld world;
    pal::Machine& desktop = world.Desktop();
    pal::Machine& device = world.Device();
    DWORD m_id = 0;
};

TEST_F(MailSyncScenario, InboxMessagesReachTheDeviceAndFollowReadsAndDeletions) {
    std::uint64_t welcome = emu::mailclient::AddMessage(desktop, Mail("Welcome", true));
    std::uint64_t plans = emu::mailclient::AddMessage(desktop, Mail("Spring plans", false));

    TypeReport first = Sync();
    EXPECT_EQ(first.Count(SyncDirection::ToDevice, SyncAction::Created), 2u);
    EXPECT_EQ(first.Count(SyncDirection::ToDevice, SyncAction::Skipped), 0u);
    auto kept = Kept();
    ASSERT_EQ(kept.size(), 2u);
    std::string all = kept.begin()->second + kept.rbegin()->second;
    EXPECT_NE(all.find(PacketHex("Welcome")), std::string::npos);
    EXPECT_NE(all.find(PacketHex("Spring plans")), std::string::npos);

    // A new run of the engine finds nothing to do.
    EXPECT_TRUE(Sync().objects.empty());

    // Read on the desktop: the message is sent again; deleted: its device copy goes.
    ASSERT_TRUE(emu::mailclient::SetUnread(desktop, welcome, false));
    ASSERT_TRUE(emu::mailclient::DeleteMessage(desktop, plans));
    TypeReport after = Sync();
    EXPECT_EQ(after.Count(SyncDirection::ToDevice, SyncAction::Changed), 1u);
    EXPECT_EQ(after.Count(SyncDirection::ToDevice, SyncAction::Deleted), 1u);
    kept = Kept();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_NE(kept.begin()->second.find(PacketHex("Welcome")), std::string::npos);
    EXPECT_TRUE(Sync().objects.empty());

    auto entries = ReplicationState(desktop).Entries(m_id, "Message");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].oid, kept.begin()->first);
    EXPECT_EQ(entries[0].item.size(), 82u);
}

}  // namespace
