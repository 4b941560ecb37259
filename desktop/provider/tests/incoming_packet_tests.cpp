// Reading device packets and trusting device names: what the write side takes from a packet, how
// a device recipient list becomes addresses, and which names and paths pass.
#include "device_names.h"
#include "incoming_fixture.h"
#include "outbox_send.h"

namespace {

using namespace trellium_testing;

class IncomingPacketTest : public IncomingTest {};

TEST_F(IncomingPacketTest, PacketsKeepLaterValuesAndOnlyTheRecordsTheyCount) {
    auto records = {Record(82, 10, 1, u"a.txt"), Record(32, 20, 2, u"b.txt")};
    Bytes packet = DevicePacket([&](PacketWriter& writer) {
        writer.Add(PR_SUBJECT_W, u"first");
        writer.Add(PR_SUBJECT_W, u"Caf\u00E9 \u20AC");
        writer.Add(PR_SENDER_NAME_W, u"");
        writer.Add(PR_DISPLAY_CC_W, u"\"Ann\" <ann@x.org>");
        AddRecords(writer, records);
        DWORD count = 1;
        writer.Add(PR_ATTACH_NUM, &count);
        DWORD flags = 0x11;
        writer.Add(PR_MESSAGE_FLAGS, &flags);
        AddFolder(writer, PR_IPM_WASTEBASKET_ENTRYID);
        AddEntryId(writer, {1, 2, 3});
    });
    IncomingPacket read = ReadIncomingPacket(packet.data(), static_cast<DWORD>(packet.size()));
    EXPECT_EQ(read.subject, std::optional<std::string>("Caf\xE9 \x80"));
    EXPECT_FALSE(read.senderName);
    EXPECT_FALSE(read.body);
    EXPECT_EQ(read.recipients[1], u"\"Ann\" <ann@x.org>");
    EXPECT_EQ(read.folderCode, PR_IPM_WASTEBASKET_ENTRYID);
    EXPECT_EQ(read.entryId, (Bytes{1, 2, 3}));
    // The later count of 1 limits the two records received.
    ASSERT_EQ(read.attachments.size(), 1u);
    EXPECT_EQ(read.attachments[0].number, 1u);
    EXPECT_EQ(std::u16string(read.attachments[0].fileName), u"a.txt");

    // A count beyond the records received keeps what came; without the flag, nothing.
    Bytes more = DevicePacket([&](PacketWriter& writer) {
        DWORD flags = 0x10;
        writer.Add(PR_MESSAGE_FLAGS, &flags);
        AddRecords(writer, records);
        DWORD count = 7;
        writer.Add(PR_ATTACH_NUM, &count);
    });
    EXPECT_EQ(ReadIncomingPacket(more.data(), static_cast<DWORD>(more.size())).attachments.size(),
              2u);
    Bytes flagless = DevicePacket([&](PacketWriter& writer) { AddRecords(writer, records); });
    EXPECT_TRUE(ReadIncomingPacket(flagless.data(), static_cast<DWORD>(flagless.size()))
                    .attachments.empty());

    // A packet cut inside a value ends the walk: what follows counts as absent.
    Bytes cut = DevicePacket([&](PacketWriter& writer) {
        DWORD status = 0x1000;
        writer.Add(PR_MSG_STATUS, &status);
        writer.Add(PR_SUBJECT_W, u"a subject that is cut");
    });
    IncomingPacket partial = ReadIncomingPacket(cut.data(), static_cast<DWORD>(cut.size() - 6));
    EXPECT_EQ(partial.status, 0x1000u);
    EXPECT_FALSE(partial.subject);
}

TEST_F(IncomingPacketTest, DeviceRecipientListsBecomeBareAddresses) {
    EXPECT_EQ(SplitDeviceRecipients(u"\"Ann\" <ann@x.org>;bob@y.org"),
              (std::vector<std::string>{"ann@x.org", "bob@y.org"}));
    EXPECT_EQ(SplitDeviceRecipients(u" <carol@z.org> ;;>;dan@w.org>"),
              (std::vector<std::string>{"carol@z.org", "dan@w.org"}));
    EXPECT_TRUE(SplitDeviceRecipients(u"").empty());
}

TEST_F(IncomingPacketTest, OnlyBareNamesAndFilesInTheDeviceTempDirectoryPass) {
    for (const char16_t* name : {u"a.txt", u"..a", u"...", u"R\u00E9sum\u00E9.doc"})
        EXPECT_TRUE(IsBareFileName(name)) << pal::U8(name);
    std::u16string longest(259, u'n');
    EXPECT_TRUE(IsBareFileName(longest.c_str()));
    std::u16string tooLong(260, u'n');
    for (const char16_t* name : {u"", u".", u"..", u"..\\a.txt", u"a/b", u"c:x", u"\\x"})
        EXPECT_FALSE(IsBareFileName(name)) << pal::U8(name);
    EXPECT_FALSE(IsBareFileName(tooLong.c_str()));
    EXPECT_FALSE(IsBareFileName(nullptr));

    std::u16string temp = DeviceTemp();
    ASSERT_FALSE(temp.empty());
    std::u16string upper = temp;
    for (char16_t& unit : upper)
        if (unit >= u'a' && unit <= u'z') unit = unit - u'a' + u'A';
    EXPECT_TRUE(IsDeviceTempFile((temp + u"a.txt").c_str()));
    EXPECT_TRUE(IsDeviceTempFile((upper + u"a.txt").c_str()));
    EXPECT_FALSE(IsDeviceTempFile(temp.c_str()));
    EXPECT_FALSE(IsDeviceTempFile((temp + u"..\\Windows\\x.dll").c_str()));
    EXPECT_FALSE(IsDeviceTempFile((temp + u"sub\\a.txt").c_str()));
    EXPECT_FALSE(IsDeviceTempFile(u"\\Windows\\a.txt"));
    temp.pop_back();
    EXPECT_FALSE(IsDeviceTempFile((temp + u"2\\a.txt").c_str()));
}

}  // namespace
