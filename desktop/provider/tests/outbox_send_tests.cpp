// Messages composed on the device reach the desktop's SetPacket as new Outbox objects: sent
// through the mail client with the attachments fetched from the device, or left on the device
// when they cannot or may not be sent.
#include "incoming_fixture.h"

namespace {

using namespace trellium_testing;
using emu::mailclient::Folder;

constexpr DWORD kDeviceStatus = 0x00040000;

class OutboxTest : public IncomingTest {
protected:
    Bytes Outbox(const std::vector<AttachmentRecord>& records,
                 const char16_t* to = u"\"Ann\" <ann@x.org>;bob@y.org") {
        return DevicePacket([&](PacketWriter& writer) {
            AddFolder(writer, PR_IPM_OUTBOX_ENTRYID);
            writer.Add(PR_SENDER_NAME_W, u"<me@device.net>");
            writer.Add(PR_SUBJECT_W, u"Caf\u00E9 report");
            writer.Add(PR_BODY_W, u"Written on the device");
            // Without a To list the message has no recipients at all.
            if (*to) {
                writer.Add(PR_DISPLAY_TO_W, to);
                writer.Add(PR_DISPLAY_CC_W, u"carol@z.org");
            }
            if (!records.empty()) AddRecords(writer, records);
            DWORD flags = records.empty() ? 0 : 0x10;
            writer.Add(PR_MESSAGE_FLAGS, &flags);
            DWORD status = kDeviceStatus;
            writer.Add(PR_MSG_STATUS, &status);
            AddEntryId(writer, {9, 8, 7});
        });
    }
    std::vector<emu::mailclient::Message> Sent() {
        std::vector<emu::mailclient::Message> sent;
        for (const auto& listed : emu::mailclient::ListMessages(m_world.Desktop(), Folder::Sent))
            sent.push_back(*emu::mailclient::FindMessage(m_world.Desktop(), listed.id));
        return sent;
    }
    // Everything left in the desktop's temporary directory, folders included.
    std::vector<std::string> DesktopTemp() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        DWORD error = 0;
        auto dir = pal::ResolvePath(m_world.Desktop(), pal::U16(temp), error);
        std::vector<std::string> names;
        if (dir && std::filesystem::exists(*dir))
            for (const auto& entry : std::filesystem::recursive_directory_iterator(*dir))
                names.push_back(entry.path().filename().string());
        return names;
    }
    static Bytes Content(const std::string& text) { return Bytes(text.begin(), text.end()); }
};

TEST_F(OutboxTest, SentWithEachFetchedAttachmentAndTheDeviceKeepsItsStatus) {
    RegisterDeviceProvider();
    // Two attachments of one name: each is fetched into a folder of its own.
    m_device->attachments[1] = {u"notes.txt", Content("first notes")};
    m_device->attachments[2] = {u"notes.txt", Content("second notes")};
    Bytes packet = Outbox({Record(32, 11, 1, u"notes.txt"), Record(32, 12, 2, u"notes.txt")});

    EXPECT_EQ(Write(packet, true), RERR_DISCARD);

    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].subject, "Caf\u00E9 report");
    EXPECT_EQ(sent[0].body, "Written on the device");
    EXPECT_EQ(sent[0].from.address, "<me@device.net>");
    EXPECT_EQ(sent[0].from.name, "");
    ASSERT_EQ(sent[0].recipients.size(), 3u);
    EXPECT_EQ(sent[0].recipients[0].address, "ann@x.org");
    EXPECT_EQ(sent[0].recipients[0].name, "");
    EXPECT_EQ(sent[0].recipients[1].address, "bob@y.org");
    EXPECT_EQ(sent[0].recipients[2].recipClass, emu::mailclient::kCc);
    EXPECT_EQ(sent[0].recipients[2].address, "carol@z.org");
    ASSERT_EQ(sent[0].attachments.size(), 2u);
    EXPECT_EQ(sent[0].attachments[0].fileName, "notes.txt");
    EXPECT_EQ(sent[0].attachments[0].content, Content("first notes"));
    EXPECT_EQ(sent[0].attachments[1].content, Content("second notes"));
    EXPECT_NE(sent[0].attachments[0].pathName, sent[0].attachments[1].pathName);

    EXPECT_EQ(m_device->Codes(), (std::vector<UINT>{1, 4, 5, 4, 5, 2}));
    EXPECT_EQ(m_device->selected, (Bytes{9, 8, 7}));
    // The run ends with the status the device sent, not with the entry identifier.
    EXPECT_EQ(m_device->endStatus, kDeviceStatus);
    // The exported files are gone from the device, and nothing is left on the desktop.
    EXPECT_TRUE(DeviceFiles().empty());
    EXPECT_TRUE(DesktopTemp().empty()) << DesktopTemp().front();
}

TEST_F(OutboxTest, AMessageNotSentStaysOnTheDevice) {
    RegisterDeviceProvider();
    m_device->attachments[1] = {u"a.txt", Content("a")};
    m_folder->m_settings.options = MAIL_OPT_SYNC;
    EXPECT_EQ(Write(Outbox({Record(32, 1, 1, u"a.txt")}), true), RERR_SKIP_OBJECT);
    EXPECT_TRUE(m_device->requests.empty());

    // The mail client refuses a message without recipients: the device keeps it.
    m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_SEND;
    EXPECT_EQ(Write(Outbox({Record(32, 1, 1, u"a.txt")}, u""), true), RERR_SKIP_OBJECT);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(m_device->endStatus, kDeviceStatus);
    EXPECT_TRUE(DesktopTemp().empty());
}

TEST_F(OutboxTest, NamesAndRepliesFromTheDeviceAreChecked) {
    RegisterDeviceProvider();
    for (DWORD number = 1; number <= 4; ++number)
        m_device->attachments[number] = {u"x", Content("content " + std::to_string(number))};
    m_device->attachments[3].second.clear();
    PutDeviceFile("keep.txt", Content("must stay"));
    std::u16string outside = DeviceTemp() + u"keep.txt";
    m_device->alterExport = [](Bytes& reply) {
        if (reply[8] == 1) reply.resize(531);
        if (reply[8] == 2) {
            AttachmentRecord record = AttachmentRecord::Load(reply.data());
            record.SetFileName(u"\\Windows\\..\\Temp\\keep.txt");
            record.Store(reply.data());
        }
    };
    Bytes packet = Outbox({Record(32, 1, 9, u"..\\up.txt"), Record(32, 1, 9, u".."),
                           Record(32, 1, 1, u"short.txt"), Record(32, 1, 2, u"outside.txt"),
                           Record(32, 0, 3, u"empty.txt"), Record(32, 1, 4, u"good.txt")});

    EXPECT_EQ(Write(packet, true), RERR_DISCARD);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    ASSERT_EQ(sent[0].attachments.size(), 1u);
    EXPECT_EQ(sent[0].attachments[0].fileName, "good.txt");
    EXPECT_EQ(sent[0].attachments[0].content, Content("content 4"));
    // The two bad names were never asked for; the other four were.
    EXPECT_EQ(m_device->Codes(), (std::vector<UINT>{1, 4, 5, 4, 5, 4, 5, 4, 5, 2}));
    // A path outside the temporary directory is neither read nor deleted.
    auto files = DeviceFiles();
    EXPECT_EQ(files["keep.txt"], Content("must stay"));
    EXPECT_FALSE(files.count("good.txt"));
    EXPECT_FALSE(files.count("empty.txt"));
    EXPECT_TRUE(DesktopTemp().empty());
}

TEST_F(OutboxTest, WithoutTheDeviceProviderTheMessageGoesWithoutAttachments) {
    m_device->attachments[1] = {u"a.txt", Content("a")};
    EXPECT_EQ(Write(Outbox({Record(32, 1, 1, u"a.txt")}), true), RERR_DISCARD);
    auto sent = Sent();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_TRUE(sent[0].attachments.empty());
    EXPECT_TRUE(m_device->requests.empty());
}

TEST_F(OutboxTest, NewObjectsOutsideTheOutboxAreNotTaken) {
    auto in = [](DWORD folder) {
        return DevicePacket([&](PacketWriter& writer) {
            if (folder) AddFolder(writer, folder);
            writer.Add(PR_SUBJECT_W, u"x");
        });
    };
    EXPECT_EQ(Write(in(PR_CE_IPM_INBOX_ENTRYID), true), RERR_DISCARD);
    EXPECT_EQ(Write(in(PR_CE_IPM_DRAFTS_ENTRYID), true), RERR_SKIP_OBJECT);
    EXPECT_EQ(Write(in(0), true), RERR_SKIP_OBJECT);
    EXPECT_EQ(Write(Bytes{0, 0, 0, 0}, true), RERR_SKIP_OBJECT);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(m_device->requests.empty());
    EXPECT_TRUE(m_folder->m_pending.empty());
}

}  // namespace
