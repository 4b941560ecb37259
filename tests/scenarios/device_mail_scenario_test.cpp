// Device mail on a fresh world, as a user drives it: a desktop message's packet stored on the
// device through the provider (velumex device mail apply), and a message composed on the device
// read back into a packet that the packet decoder accepts.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "activesync/device_host.h"
#include "ce_db.h"
#include "ce_record.h"
#include "emu/cemapi/message_stores.h"
#include "journal.h"
#include "pal/runtime/context.h"
#include "pal/runtime/world.h"

#include "pal_testing/command_run.h"

namespace {

using Outcome = pal_testing::CommandOutcome;

class DeviceMailScenario : public ::testing::Test {
protected:
    DeviceMailScenario() {
        m_dir = std::filesystem::temp_directory_path() /
                ("velumex_device_mail_" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
    }
    ~DeviceMailScenario() override { std::filesystem::remove_all(m_dir); }

    Outcome Velumex(const std::string& arguments) {
        return pal_testing::RunOnWorld(VELUMEX_CLI, World(), arguments, m_dir);
    }
    std::filesystem::path World() const { return m_dir / "world"; }

    // The device's account and journals, as the launcher and the notification service leave
    // them.
    static void PrepareDevice(pal::Machine& device) {
        emu::cemapi::CreateStore(device, u"Kestrin");
        pal::ScopedContext scope(device);
        HKEY account = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin", 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &account, nullptr),
                  ERROR_SUCCESS);
        const char16_t name[] = u"Kestrin";
        RegSetValueExW(account, u"FriendlyName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       sizeof(name));
        RegCloseKey(account);
        CEGUID volume;
        WCHAR path[] = KESTRIN_VOLUME_PATH;
        ASSERT_TRUE(CeMountDBVol(&volume, path, OPEN_ALWAYS));
        CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, &volume);
        CeUnmountDBVol(&volume);
    }

    // The UTF-16 text of a device file, or nullopt when it does not exist.
    static std::optional<std::u16string> DeviceText(const char16_t* path) {
        HANDLE file = CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return std::nullopt;
        std::u16string text(GetFileSize(file, nullptr) / 2, u'\0');
        DWORD read = 0;
        ReadFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &read, nullptr);
        CloseHandle(file);
        return text;
    }

    std::filesystem::path m_dir;
};

TEST_F(DeviceMailScenario, ADesktopPacketAppliedOnTheDeviceAndAComposedMessageReadBack) {
    {
        std::ofstream(m_dir / "body.txt") << "one\ntwo\nthree\n";
        std::ofstream(m_dir / "notes.txt") << "attached";
    }
    for (std::string step :
         {std::string("world create"), std::string("desktop mail install"),
          std::string("desktop install"), std::string("partner create"),
          "desktop mail add --from ann@example.com --from-name Ann --to bob@example.com "
          "--subject Plans --body-file '" + (m_dir / "body.txt").string() + "' --attach '" +
              (m_dir / "notes.txt").string() + "'",
          std::string("device connect"),
          "desktop mail packet 1 --out '" + (m_dir / "packet.bin").string() + "'",
          std::string("device install-provider")}) {
        Outcome outcome = Velumex(step);
        ASSERT_EQ(outcome.status, 0) << step << "\n" << outcome.err;
    }
    std::u16string body;
    {
        auto world = pal::World::Open(World());
        PrepareDevice(world->Device());
        pal::ScopedContext scope(world->Device());
        // The body the desktop cut and placed in the device's temporary folder.
        body = DeviceText(u"\\Temp\\1").value_or(u"(missing)");
    }
    ASSERT_NE(body, u"(missing)");

    Outcome transport = Velumex("device install-transport");
    ASSERT_EQ(transport.status, 0) << transport.err;
    EXPECT_NE(transport.out.find("installed \\Windows\\KTtrans.dll for account type Kestrin"),
              std::string::npos)
        << transport.out;
    EXPECT_NE(transport.out.find("SyncMsgClassDef      IPM.Note"), std::string::npos)
        << transport.out;

    Outcome applied = Velumex("device mail apply '" + (m_dir / "packet.bin").string() + "'");
    ASSERT_EQ(applied.status, 0) << applied.err << applied.out;
    EXPECT_NE(applied.out.find("SetPacket: 0x00000000"), std::string::npos) << applied.out;
    EXPECT_NE(applied.out.find("journal record 0x"), std::string::npos) << applied.out;
    EXPECT_EQ(Velumex("device mail apply '" + (m_dir / "missing.bin").string() + "'").status, 1);

    std::int64_t stored = 0;
    ULONG attachmentNumber = 0;
    {
        auto world = pal::World::Open(World());
        auto store = emu::cemapi::FindStore(world->Device(), u"Kestrin");
        ASSERT_TRUE(store.has_value());
        auto inbox = emu::cemapi::ListMessages(world->Device(), store->number,
                                               emu::cemapi::FolderKind::Inbox);
        ASSERT_EQ(inbox.size(), 1u);
        stored = inbox[0].id;
        attachmentNumber = inbox[0].attachments.at(0).number;
    }
    // The device user asks for the attachment and the whole message.
    std::string id = std::to_string(stored);
    EXPECT_EQ(Velumex("device mail request " + id + " --attachment " +
                      std::to_string(attachmentNumber))
                  .status,
              0);
    EXPECT_EQ(Velumex("device mail request " + id + " --body").status, 0);
    EXPECT_EQ(Velumex("device mail request " + id).status, 1);
    EXPECT_EQ(Velumex("device mail request 999 --body").status, 1);

    std::vector<BYTE> packet;
    {
        auto world = pal::World::Open(World());
        pal::Machine& device = world->Device();
        auto store = emu::cemapi::FindStore(device, u"Kestrin");
        ASSERT_TRUE(store.has_value());
        auto inbox = emu::cemapi::ListMessages(device, store->number,
                                               emu::cemapi::FolderKind::Inbox);
        ASSERT_EQ(inbox.size(), 1u);
        auto message = emu::cemapi::ReadMessage(device, store->number, inbox[0].id);
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(message->subject, u"Plans");
        // The file's text, without the terminating zero the desktop writes with it.
        EXPECT_EQ(message->body, body.substr(0, body.find(u'\0')));
        ASSERT_EQ(message->attachments.size(), 1u);
        EXPECT_EQ(message->attachments[0].fileName, u"notes.txt");
        // Not on the device yet, and asked for by the user.
        EXPECT_EQ(message->attachments[0].status, 0x00011000u);
        EXPECT_EQ(message->attachments[0].size, 8u);
        EXPECT_EQ(message->status & 0x00201000u, 0x00201000u);

        pal::ScopedContext scope(device);
        EXPECT_FALSE(DeviceText(u"\\Temp\\1").has_value());
        // Its journal record: changed for the other partnership only.
        CEGUID volume;
        WCHAR path[] = KESTRIN_VOLUME_PATH;
        ASSERT_TRUE(CeMountDBVol(&volume, path, OPEN_EXISTING));
        {
            CCeDB db;
            db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, CEDB_AUTOINCREMENT, &volume);
            CCeRecord record;
            ASSERT_EQ(record.Read(db, nullptr), S_OK);
            EXPECT_EQ(record.Find(PROPID_CHANGE_STATE)->val.uiVal, 2);
            auto* id = record.Find(PROPID_MESSAGE_ENTRY_ID);
            ASSERT_NE(id, nullptr);
            EXPECT_EQ(std::vector<BYTE>(id->val.blob.lpb, id->val.blob.lpb + id->val.blob.dwCount),
                      std::vector<BYTE>(message->entryId.begin(), message->entryId.end()));

            // A message the device user sends; the service journals it as changed for both.
            emu::cemapi::NewMessage composed;
            composed.subject = u"Re: Plans";
            composed.body = u"Fine by me.";
            composed.recipients = {{1, u"Ann", u"ann@example.com", u"SMTP"}};
            auto id2 = emu::cemapi::ComposeMessage(device, store->number, composed);
            auto sent = emu::cemapi::ReadMessage(device, store->number, id2);
            CEPROPVAL values[2] = {};
            values[0].propid = PROPID_CHANGE_STATE;
            values[0].val.uiVal = 3;
            values[1].propid = PROPID_MESSAGE_ENTRY_ID;
            values[1].val.blob.dwCount = static_cast<DWORD>(sent->entryId.size());
            values[1].val.blob.lpb = sent->entryId.data();
            CEOID oid = CeWriteRecordProps(db.Handle(), 0, 2, values);
            ASSERT_NE(oid, 0u);
            db.Close();
            CeUnmountDBVol(&volume);

            // The engine reads it for the desktop.
            activesync::DeviceHost host(device, 1, {u"Message"});
            ASSERT_TRUE(host.IsLoaded(u"Message"));
            IReplObjHandler* handler = host.Handler(u"Message");
            host.Run([&] {
                REPLSETUP setup{};
                setup.fRead = TRUE;
                setup.oid = oid;
                handler->Setup(&setup);
                LPBYTE data = nullptr;
                DWORD size = 0;
                if (handler->GetPacket(&data, &size, 8192) == RWRN_LAST_PACKET)
                    packet.assign(data, data + size);
                handler->Reset(&setup);
            });
        }
    }
    ASSERT_FALSE(packet.empty());
    std::ofstream(m_dir / "outbox.bin", std::ios::binary)
        .write(reinterpret_cast<const char*>(packet.data()), static_cast<std::streamsize>(packet.size()));
    Outcome decoded = Velumex("packet decode '" + (m_dir / "outbox.bin").string() + "'");
    ASSERT_EQ(decoded.status, 0) << decoded.err << decoded.out;
    for (const char* text : {"\"Fine by me.\"", "\"Re: Plans\"", "\"\\\"Ann\\\" <ann@example.com>\""})
        EXPECT_NE(decoded.out.find(text), std::string::npos) << text << "\n" << decoded.out;
}

}  // namespace
