// The mail handler's read side: the packet of a desktop message, property by property and byte
// for byte, the body file it leaves on the device, and its answers when there is nothing to read.
#include "outgoing_fixture.h"
#include "outgoing_packet.h"
#include "packet_tags.h"

namespace {

using namespace trellium_testing;
using emu::mailclient::kBcc;
using emu::mailclient::kCc;
using emu::mailclient::kTo;

Bytes Inbox() { return {0, 0, 0, 0, 0x02, 0x01, 0x06, 0x81}; }

std::string Lines(int count, const std::string& tail = "") {
    std::string text;
    for (int i = 1; i <= count; ++i) text += "line " + std::to_string(i) + "\n";
    return text + tail;
}

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

TEST_F(OutgoingTest, MessageWithoutBodyOrAttachmentsIsPinnedByteForByte) {
    auto message = Mail();
    message.subject = "Hi";
    message.from = {"Ann", "ann@x.org"};
    message.recipients = {{kTo, "", "bob@x.org"}};
    message.unread = false;
    Select(Add(message));

    Bytes packet = Packet();
    Bytes expected = ExpectedPacket()
                         .Time(PR_MESSAGE_DELIVERY_TIME, kReceived)
                         .Text(PR_SUBJECT_W, u"Hi")
                         .Text(PR_SENDER_EMAIL_ADDRESS_W, u"\"Ann\" <ann@x.org>")
                         .Text(PR_SENDER_NAME_W, u"Ann")
                         .Text(PR_DISPLAY_TO_W, u"bob@x.org")
                         .Dword(TAG_WHOLE_MESSAGE_SIZE, 0)
                         .Dword(PR_MESSAGE_SIZE, 0)
                         .Binary(PR_HEADER_FOLDER_ENTRYID, Inbox())
                         .Dword(PR_MESSAGE_FLAGS, 0x01)
                         .Dword(PR_MSG_STATUS, 0x10000000)
                         .Get();
    EXPECT_EQ(packet, expected);
    // Counted by hand: 4 + 12 + 12 + 40 + 12 + 24 + 8 + 8 + 16 + 8 + 8.
    EXPECT_EQ(packet.size(), 152u);
    EXPECT_EQ(Bytes(packet.begin(), packet.begin() + 8), (Bytes{10, 0, 0, 0, 0x40, 0, 0x06, 0x0E}));
    EXPECT_TRUE(DeviceFiles().empty());
}

TEST_F(OutgoingTest, PropertiesComeInWireOrderWithEveryList) {
    auto message = Mail();
    message.body = "Hello";
    message.recipients = {{kTo, "Bob", "bob@example.com"},
                          {kCc, "carol@example.com", "carol@example.com"},
                          {kTo, "", "dan@example.com"},
                          {kBcc, "Eve", "eve@example.com"},
                          {kCc, "Fay", "fay@example.com"}};
    message.attachments = {{"a.txt", "", 1, {'a'}}};
    Select(Add(message));

    PacketProperties properties(Packet());
    EXPECT_EQ(properties.Tags(),
              (std::vector<ULONG>{PR_MESSAGE_DELIVERY_TIME, PR_SUBJECT_W, PR_SENDER_EMAIL_ADDRESS_W,
                                  PR_SENDER_NAME_W, PR_DISPLAY_TO_W, PR_DISPLAY_CC_W,
                                  PR_DISPLAY_BCC_W, PR_ATTACH_NUM, PR_ATTACH_DATA_BIN, PR_BODY_W,
                                  TAG_WHOLE_MESSAGE_SIZE, PR_MESSAGE_SIZE, PR_HEADER_FOLDER_ENTRYID,
                                  PR_MESSAGE_FLAGS, PR_MSG_STATUS}));
    EXPECT_EQ(properties.Text(PR_DISPLAY_TO_W), u"\"Bob\" <bob@example.com>;dan@example.com");
    EXPECT_EQ(properties.Text(PR_DISPLAY_CC_W), u"carol@example.com;\"Fay\" <fay@example.com>");
    EXPECT_EQ(properties.Text(PR_DISPLAY_BCC_W), u"\"Eve\" <eve@example.com>");
    EXPECT_EQ(properties.Text(PR_SENDER_EMAIL_ADDRESS_W), u"\"Ann Sender\" <ann@example.com>");
    EXPECT_EQ(properties.Text(PR_SENDER_NAME_W), u"Ann Sender");
}

TEST_F(OutgoingTest, AddressesAreBareWhenTheNameIsTheAddressOrMissing) {
    auto message = Mail();
    message.from = {"", "ann@example.com"};
    message.recipients = {{kTo, "bob@example.com", "bob@example.com"},
                          {kTo, "BOB@example.com", "bob@example.com"}};
    Select(Add(message));

    PacketProperties properties(Packet());
    EXPECT_EQ(properties.Text(PR_SENDER_EMAIL_ADDRESS_W), u"ann@example.com");
    // The mail client names an originator without a name by its address.
    EXPECT_EQ(properties.Text(PR_SENDER_NAME_W), u"ann@example.com");
    // Names compare with case: a name differing only in case is still shown.
    EXPECT_EQ(properties.Text(PR_DISPLAY_TO_W),
              u"bob@example.com;\"BOB@example.com\" <bob@example.com>");
    EXPECT_FALSE(properties.Has(PR_DISPLAY_CC_W));
    EXPECT_FALSE(properties.Has(PR_DISPLAY_BCC_W));
}

TEST_F(OutgoingTest, AnAddressTextKeepsAtMost259Characters) {
    auto message = Mail();
    message.from = {std::string(300, 'n'), "ann@example.com"};
    message.recipients = {{kTo, std::string(250, 'b'), "bob@example.com"},
                          {kTo, "", "carol@example.com"}};
    Select(Add(message));

    PacketProperties properties(Packet());
    std::u16string sender = properties.Text(PR_SENDER_EMAIL_ADDRESS_W);
    EXPECT_EQ(sender, u"\"" + std::u16string(258, u'n'));
    // The display name itself is not cut.
    EXPECT_EQ(properties.Text(PR_SENDER_NAME_W), std::u16string(300, u'n'));
    std::u16string first = u"\"" + std::u16string(250, u'b') + u"\" <bob@e";
    EXPECT_EQ(properties.Text(PR_DISPLAY_TO_W), first + u";carol@example.com");
}

TEST_F(OutgoingTest, TextIsConvertedFromTheDesktopCodePage) {
    auto message = Mail();
    message.subject = "Caf\xC3\xA9 \xE2\x82\xAC 5";  // UTF-8 here; the client speaks Windows-1252
    message.body = "Na\xC3\xAFve \xE2\x80\x9Cquotes\xE2\x80\x9D";
    std::string id = Add(message);
    Select(id);

    PacketProperties properties(Packet());
    EXPECT_EQ(properties.Text(PR_SUBJECT_W), u"Caf\u00E9 \u20AC 5");
    EXPECT_EQ(DeviceFiles()[id], Utf16File(u"Na\u00EFve \u201Cquotes\u201D"));
    // Sizes count the body's ANSI bytes twice: 14 bytes.
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 28u);
}

TEST_F(OutgoingTest, ReadStateComesFromTheMailClientAndTimeFromTheItem) {
    auto message = Mail();
    message.unread = true;
    std::string id = Add(message);
    Select(id, 0);
    PacketProperties unread(Packet());
    EXPECT_EQ(unread.Dword(PR_MESSAGE_FLAGS), 0u);
    EXPECT_EQ(unread.Value(PR_MESSAGE_DELIVERY_TIME),
              (Bytes{0xEF, 0xCD, 0xAB, 0x89, 0x0D, 0xF0, 0xD9, 0x01}));

    ASSERT_TRUE(emu::mailclient::SetUnread(m_world.Desktop(), std::stoull(id), false));
    Select(id, 1);
    EXPECT_EQ(PacketProperties(Packet()).Dword(PR_MESSAGE_FLAGS), 0x01u);
    // Reading peeks: the message stays as it was.
    EXPECT_FALSE(emu::mailclient::FindMessage(m_world.Desktop(), std::stoull(id))->unread);
    ASSERT_TRUE(emu::mailclient::SetUnread(m_world.Desktop(), std::stoull(id), true));
    Select(id, 0);
    Packet();
    EXPECT_TRUE(emu::mailclient::FindMessage(m_world.Desktop(), std::stoull(id))->unread);
}

class BodyTest : public OutgoingTest {
protected:
    // The packet of a message with `body`, Options 0x01|0x02 and `maxLines`.
    PacketProperties Cut(const std::string& body, DWORD maxLines,
                         DWORD options = MAIL_OPT_SYNC | MAIL_OPT_LIMIT_LINES) {
        m_folder->m_settings.options = options;
        m_folder->m_settings.maxLines = maxLines;
        auto message = Mail();
        message.body = body;
        m_id = Add(message);
        Select(m_id);
        return PacketProperties(Packet());
    }
    std::string m_id;
};

TEST_F(BodyTest, FiftyLinesWithFortyNineLineFeedsGoWhole) {
    std::string body = Lines(49, "line 50");
    PacketProperties properties = Cut(body, 50);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
    EXPECT_EQ(properties.Dword(TAG_WHOLE_MESSAGE_SIZE), 2 * body.size());
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 2 * body.size());
    EXPECT_EQ(properties.Text(PR_BODY_W), Wide(m_id));
    EXPECT_EQ(DeviceFiles(), (std::map<std::string, Bytes>{{m_id, Utf16File(Wide(body))}}));
}

TEST_F(BodyTest, FiftyLineFeedsCountAsFiftyOneLinesAndAreCut) {
    std::string body = Lines(50);
    PacketProperties properties = Cut(body, 50);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x00100000u);
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 2 * body.size());
    EXPECT_EQ(DeviceFiles()[m_id], Utf16File(Wide(body)));
}

TEST_F(BodyTest, CutKeepsTheFirstLinesWithTheirBreaks) {
    std::string kept = Lines(50);
    std::string body = kept + "line 51\r\nline 52";
    PacketProperties properties = Cut(body, 50);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x00100000u);
    EXPECT_EQ(properties.Dword(TAG_WHOLE_MESSAGE_SIZE), 2 * body.size());
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 2 * kept.size());
    EXPECT_EQ(DeviceFiles()[m_id], Utf16File(Wide(kept)));

    PacketProperties crlf = Cut("one\r\ntwo\r\nthree", 2);
    EXPECT_EQ(DeviceFiles()[m_id], Utf16File(u"one\r\ntwo\r\n"));
    EXPECT_EQ(crlf.Dword(PR_MESSAGE_SIZE), 20u);
}

TEST_F(BodyTest, NoLinesLeaveAnEmptyBodyFileThatStillNamesTheBody) {
    PacketProperties properties = Cut("short", 0);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x00100000u);
    EXPECT_EQ(properties.Dword(TAG_WHOLE_MESSAGE_SIZE), 10u);
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 0u);
    EXPECT_EQ(properties.Text(PR_BODY_W), Wide(m_id));
    EXPECT_EQ(DeviceFiles()[m_id], (Bytes{0, 0}));
}

// Without the line limit every line goes, however many.
TEST_F(BodyTest, ABodyLargerThanOneRemoteWriteArrivesWhole) {
    std::string body;
    for (int i = 0; body.size() < 100000; ++i)
        body += std::to_string(i % 997) + (i % 13 ? " " : "\n");
    PacketProperties properties = Cut(body, 0, MAIL_OPT_SYNC);
    Bytes file = DeviceFiles()[m_id];
    EXPECT_EQ(file.size(), 2 * body.size() + 2);
    EXPECT_EQ(file, Utf16File(Wide(body)));
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 2 * body.size());
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
}

TEST_F(BodyTest, AFailedBodyWriteStillNamesTheBody) {
    m_link->Disconnect();
    PacketProperties properties = Cut("text", 50);
    EXPECT_EQ(properties.Text(PR_BODY_W), Wide(m_id));
    EXPECT_EQ(properties.Dword(PR_MESSAGE_SIZE), 8u);
    EXPECT_EQ(properties.Dword(PR_MSG_STATUS), 0x10000000u);
}

TEST_F(OutgoingTest, NothingToReadIsAnErrorWithoutPacket) {
    Bytes packet;
    EXPECT_EQ(Read(packet), E_UNEXPECTED);
    EXPECT_TRUE(packet.empty());

    std::string id = Add(Mail());
    Select(id);
    ASSERT_TRUE(emu::mailclient::DeleteMessage(m_world.Desktop(), std::stoull(id)));
    EXPECT_EQ(Read(packet), RERR_GET_PACKET_FAILED);
    EXPECT_TRUE(packet.empty());
    // The packet stays begun and empty.
    ASSERT_NE(m_handler->m_writer.Data(), nullptr);
    EXPECT_EQ(m_handler->m_writer.Length(), 4u);

    // A handle of another kind is no item.
    m_setup.hItem = m_folderHandle;
    LPBYTE data = nullptr;
    DWORD size = 0;
    EXPECT_EQ(m_handler->GetPacket(&data, &size, 256), E_UNEXPECTED);
    EXPECT_EQ(data, nullptr);

    // Without the mail client's library nothing can be read either.
    delete m_store->m_mapi;
    m_store->m_mapi = nullptr;
    Select(Add(Mail()));
    EXPECT_EQ(Read(packet), RERR_GET_PACKET_FAILED);
}

TEST_F(OutgoingTest, SetupKeepsEachDirectionAndResetReleasesThePacket) {
    Select(Add(Mail()));
    Bytes packet;
    ASSERT_EQ(Read(packet, 0), RWRN_LAST_PACKET);
    EXPECT_EQ(packet, Bytes(m_handler->m_writer.Data(),
                            m_handler->m_writer.Data() + m_handler->m_writer.Length()));

    REPLSETUP write = {};
    write.fRead = FALSE;
    EXPECT_EQ(m_handler->Setup(&write), S_OK);
    EXPECT_EQ(m_handler->m_writeSetup, &write);
    EXPECT_EQ(m_handler->m_readSetup, &m_setup);
    // Resetting the write side leaves the read side's packet alone.
    EXPECT_EQ(m_handler->Reset(&write), S_OK);
    EXPECT_NE(m_handler->m_writer.Data(), nullptr);
    // A write setup without the mail folder takes no packet; without an item nothing is deleted.
    EXPECT_EQ(m_handler->SetPacket(packet.data(), static_cast<DWORD>(packet.size())),
              E_UNEXPECTED);
    EXPECT_EQ(m_handler->DeleteObj(&write), S_OK);

    EXPECT_EQ(m_handler->Reset(&m_setup), S_OK);
    EXPECT_EQ(m_handler->m_writer.Data(), nullptr);
    EXPECT_EQ(m_handler->Setup(nullptr), E_POINTER);
}

}  // namespace
