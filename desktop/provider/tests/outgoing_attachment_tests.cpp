// Attachments of outgoing messages: which are delivered to the device, the records the packet
// carries for them, the sizes and status they make, and the files they leave on both machines.
#include "attachment_record.h"
#include "outgoing_fixture.h"
#include "outgoing_packet.h"
#include "packet_tags.h"

namespace {

using namespace trellium_testing;
using emu::mailclient::Attachment;

// One record's 532 wire bytes, written out field by field.
Bytes Record(DWORD state, DWORD size, const std::string& name) {
    Bytes bytes = ExpectedPacket::Le(state);
    for (DWORD value : {size, DWORD(0)}) {
        Bytes field = ExpectedPacket::Le(value);
        bytes.insert(bytes.end(), field.begin(), field.end());
    }
    for (char c : name) bytes.insert(bytes.end(), {BYTE(c), 0});
    bytes.resize(532, 0);
    return bytes;
}

Attachment File(const std::string& name, size_t size) {
    Attachment attachment;
    attachment.fileName = name;
    attachment.size = size;
    for (size_t i = 0; i < size; ++i) attachment.content.push_back(BYTE(i * 7 + name.size()));
    return attachment;
}

class AttachmentTest : public OutgoingTest {
protected:
    // The packet of a read message carrying `files`, with `options`.
    Bytes Send(const std::vector<Attachment>& files, DWORD options) {
        m_folder->m_settings.options = options;
        m_folder->m_settings.sizeLimit = 20;
        auto message = Mail();
        message.attachments = files;
        message.unread = false;
        Select(Add(message));
        return Packet();
    }
    // Names of the files left in the desktop's temporary folder.
    std::vector<std::string> DesktopTempFiles() {
        char temp[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, temp);
        DWORD error = 0;
        auto dir = pal::ResolvePath(m_world.Desktop(), pal::U16(temp), error);
        std::vector<std::string> names;
        if (dir && std::filesystem::exists(*dir))
            for (const auto& entry : std::filesystem::recursive_directory_iterator(*dir))
                if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(AttachmentTest, TheSizeLimitIsExclusiveAndThePacketIsPinned) {
    Attachment below = File("below.bin", 20479);
    Attachment at = File("at.bin", 20480);
    Bytes packet = Send({below, at}, MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS | MAIL_OPT_LIMIT_SIZE);

    Bytes records = Record(82, 20479, "below.bin");
    Bytes second = Record(32, 20480, "at.bin");
    records.insert(records.end(), second.begin(), second.end());
    Bytes expected = ExpectedPacket()
                         .Time(PR_MESSAGE_DELIVERY_TIME, kReceived)
                         .Text(PR_SUBJECT_W, u"Quarterly figures")
                         .Text(PR_SENDER_EMAIL_ADDRESS_W, u"\"Ann Sender\" <ann@example.com>")
                         .Text(PR_SENDER_NAME_W, u"Ann Sender")
                         .Text(PR_DISPLAY_TO_W, u"\"Bob\" <bob@example.com>")
                         .Dword(PR_ATTACH_NUM, 2)
                         .Binary(PR_ATTACH_DATA_BIN, records)
                         .Dword(TAG_WHOLE_MESSAGE_SIZE, 40959)
                         .Dword(PR_MESSAGE_SIZE, 20479)
                         .Binary(PR_HEADER_FOLDER_ENTRYID, {0, 0, 0, 0, 0x02, 0x01, 0x06, 0x81})
                         .Dword(PR_MESSAGE_FLAGS, 0x11)
                         .Dword(PR_MSG_STATUS, 0x14100000)
                         .Get();
    EXPECT_EQ(packet, expected);

    auto files = DeviceFiles();
    EXPECT_EQ(files.size(), 1u);
    EXPECT_EQ(files["below.bin"], below.content);
    EXPECT_TRUE(DesktopTempFiles().empty());
}

TEST_F(AttachmentTest, WithoutDeliveryEveryAttachmentIsKnownByNameOnly) {
    PacketProperties properties(
        Send({File("a.txt", 10), File("b.txt", 300)}, MAIL_OPT_SYNC | MAIL_OPT_LIMIT_SIZE));
    Bytes records = Record(32, 10, "a.txt");
    Bytes second = Record(32, 300, "b.txt");
    records.insert(records.end(), second.begin(), second.end());
    Bytes value = ExpectedPacket::Le(2 * 532);
    value.insert(value.end(), records.begin(), records.end());
    EXPECT_EQ(properties.Value(PR_ATTACH_DATA_BIN), value);
    EXPECT_EQ(properties.Dword(TAG_WHOLE_MESSAGE_SIZE), 310u);
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 0u);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x14100000u);
    EXPECT_TRUE(DeviceFiles().empty());
    // The client's temporary copies are not left behind.
    EXPECT_TRUE(DesktopTempFiles().empty());
}

TEST_F(AttachmentTest, EveryDeliveredAttachmentMakesTheMessageComplete) {
    Attachment first = File("first.doc", 70000);
    Attachment second = File("second.txt", 3);
    PacketProperties properties(Send({first, second}, MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS));
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 70003u);
    auto files = DeviceFiles();
    EXPECT_EQ(files["first.doc"], first.content);
    EXPECT_EQ(files["second.txt"], second.content);
}

TEST_F(AttachmentTest, SeventyAttachmentsSendTheFirstSixtyFour) {
    std::vector<Attachment> files;
    DWORD whole = 0;
    for (int i = 0; i < 70; ++i) {
        files.push_back(File("part" + std::to_string(i) + ".txt", 10 + i));
        if (i < 64) whole += 10 + i;
    }
    PacketProperties properties(Send(files, MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS));
    EXPECT_EQ(properties.Dword(PR_ATTACH_NUM), 64u);
    const Bytes& records = properties.Value(PR_ATTACH_DATA_BIN);
    ASSERT_EQ(records.size(), 4u + 64 * 532);
    EXPECT_EQ(Bytes(records.begin(), records.begin() + 4), ExpectedPacket::Le(64 * 532));
    for (int i = 0; i < 64; ++i)
        EXPECT_EQ(Bytes(records.begin() + 4 + i * 532, records.begin() + 4 + (i + 1) * 532),
                  Record(82, 10 + i, "part" + std::to_string(i) + ".txt"));
    EXPECT_EQ(properties.Dword(TAG_WHOLE_MESSAGE_SIZE), whole);
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), whole);
    // All 64 arrived, but six never left: the message stays incomplete.
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x14100000u);
    EXPECT_EQ(DeviceFiles().size(), 64u);
    EXPECT_EQ(DeviceFiles().count("part64.txt"), 0u);
    EXPECT_TRUE(DesktopTempFiles().empty());
}

TEST_F(AttachmentTest, TextsTooLongForThePacketAreCutAndEveryCountedRecordFollows) {
    std::vector<Attachment> files;
    for (int i = 0; i < 64; ++i) files.push_back(File("part" + std::to_string(i) + ".txt", 4));
    m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS;
    auto message = Mail();
    message.subject = std::string(131000, 's');
    message.body = "Body";
    message.recipients = {{emu::mailclient::kTo, "", std::string(200, 't') + "@x.org"}};
    for (int i = 0; i < 600; ++i)
        message.recipients.push_back({emu::mailclient::kCc, "", "cc" + std::to_string(i) + "@x.org"});
    message.attachments = files;
    Select(Add(message));

    Bytes packet = Packet();
    EXPECT_LE(packet.size(), 260000u);
    PacketProperties properties(packet);
    EXPECT_EQ(properties.Tags(),
              (std::vector<ULONG>{PR_MESSAGE_DELIVERY_TIME, PR_SUBJECT_W, PR_SENDER_EMAIL_ADDRESS_W,
                                  PR_SENDER_NAME_W, PR_DISPLAY_TO_W, PR_DISPLAY_CC_W,
                                  PR_ATTACH_NUM, PR_ATTACH_DATA_BIN, PR_BODY_W,
                                  TAG_WHOLE_MESSAGE_SIZE, PR_MESSAGE_SIZE, PR_HEADER_FOLDER_ENTRYID,
                                  PR_MESSAGE_FLAGS, PR_MSG_STATUS}));
    // The subject keeps as much as fits; the later texts get what room is left.
    std::u16string subject = properties.Text(PR_SUBJECT_W);
    EXPECT_GT(subject.size(), 90000u);
    EXPECT_LT(subject.size(), 131000u);
    EXPECT_EQ(subject, std::u16string(subject.size(), u's'));
    EXPECT_EQ(properties.Dword(PR_ATTACH_NUM), 64u);
    EXPECT_EQ(properties.Value(PR_ATTACH_DATA_BIN).size(), 4u + 64 * 532);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
    EXPECT_EQ(DeviceFiles().size(), 65u);
}

TEST_F(AttachmentTest, FilesNamedAlikeGetNamesOfTheirOwnOnTheDevice) {
    m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS;
    auto message = Mail();
    message.body = "Body";
    message.attachments = {File("x.txt", 3), File("x.txt", 5), File("X.TXT", 7), File("x", 9)};
    message.unread = false;
    // A file named as the message would take the body file's name.
    const std::string id = std::to_string(std::stoi(Add(Mail())) + 1);
    message.attachments.back().fileName = id;
    ASSERT_EQ(Add(message), id);
    Select(id);

    PacketProperties properties(Packet());
    const Bytes& records = properties.Value(PR_ATTACH_DATA_BIN);
    ASSERT_EQ(records.size(), 4u + 4 * 532);
    const std::vector<std::string> names = {"x.txt", "x(2).txt", "X(3).TXT", id + "(2)"};
    const std::vector<DWORD> sizes = {3, 5, 7, 9};
    auto files = DeviceFiles();
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(Bytes(records.begin() + 4 + i * 532, records.begin() + 4 + (i + 1) * 532),
                  Record(82, sizes[i], names[i]));
        ASSERT_EQ(files.count(names[i]), 1u);
        EXPECT_EQ(files[names[i]].size(), sizes[i]);
    }
    EXPECT_EQ(files[id], Utf16File(u"Body"));
    EXPECT_EQ(files.size(), 5u);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
}

TEST_F(AttachmentTest, ALongestNameIsCutBeforeItsExtensionAndStillDelivered) {
    const std::string name = std::string(251, 'n') + ".txt";
    PacketProperties properties(Send({File(name, 6)}, MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS));
    const Bytes& records = properties.Value(PR_ATTACH_DATA_BIN);
    ASSERT_EQ(records.size(), 4u + 532);
    auto files = DeviceFiles();
    ASSERT_EQ(files.size(), 1u);
    const std::string delivered = files.begin()->first;
    EXPECT_LT(delivered.size(), name.size());
    EXPECT_EQ(delivered.substr(delivered.size() - 4), ".txt");
    EXPECT_EQ(delivered.substr(0, delivered.size() - 4), std::string(delivered.size() - 4, 'n'));
    EXPECT_EQ(Bytes(records.begin() + 4, records.end()), Record(82, 6, delivered));
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
}

TEST_F(AttachmentTest, AnEmptyAttachmentIsNeverDelivered) {
    PacketProperties selected(Send({File("empty.txt", 0)}, MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS));
    EXPECT_EQ(Bytes(selected.Value(PR_ATTACH_DATA_BIN).begin() + 4,
                    selected.Value(PR_ATTACH_DATA_BIN).end()),
              Record(32, 0, "empty.txt"));
    EXPECT_EQ(selected.Dword(PR_MSG_STATUS), 0x14100000u);
    EXPECT_EQ(selected.Dword(PR_MESSAGE_FLAGS), 0x11u);

    PacketProperties limited(
        Send({File("empty.txt", 0)}, MAIL_OPT_SYNC | MAIL_OPT_ATTACHMENTS | MAIL_OPT_LIMIT_SIZE));
    EXPECT_EQ(limited.Dword(PR_MSG_STATUS), 0x14100000u);
    EXPECT_TRUE(DeviceFiles().empty());
}

TEST_F(AttachmentTest, ACutBodyWithMissingAttachmentsIsPartialOnly) {
    m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_LIMIT_LINES;
    m_folder->m_settings.maxLines = 1;
    auto message = Mail();
    message.body = "one\ntwo";
    message.attachments = {File("x.txt", 5)};
    Select(Add(message));
    EXPECT_EQ(PacketProperties(Packet()).Dword(PR_MSG_STATUS), 0x04100000u);

    m_folder->m_settings.options |= MAIL_OPT_ATTACHMENTS;
    PacketProperties delivered(Packet());
    EXPECT_EQ(delivered.Dword(PR_MSG_STATUS), 0x00100000u);
    EXPECT_EQ(delivered.Dword(PR_MESSAGE_SIZE), 5u + 8u);
    EXPECT_EQ(delivered.Dword(TAG_WHOLE_MESSAGE_SIZE), 5u + 14u);
}

}  // namespace
