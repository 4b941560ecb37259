// Desktop messages the device reports changed: download requests recorded by SetPacket and
// served by UpdateItem, moves to Deleted Items reported by Reset, and DeleteObj.
#include "incoming_fixture.h"

namespace {

using namespace trellium_testing;
using emu::mailclient::Attachment;

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

class PendingTest : public IncomingTest {
protected:
    Bytes Changed(DWORD folder, DWORD status, const std::vector<AttachmentRecord>& records = {}) {
        return DevicePacket([&](PacketWriter& writer) {
            AddFolder(writer, folder);
            if (!records.empty()) AddRecords(writer, records);
            DWORD flags = records.empty() ? 0 : 0x10;
            writer.Add(PR_MESSAGE_FLAGS, &flags);
            writer.Add(PR_MSG_STATUS, &status);
            AddEntryId(writer, {4, 5, 6, 7});
        });
    }
    // SetPacket for the existing item, answering `expected`; the engine's item handle afterwards
    // is the one to serve.
    HREPLITEM Apply(const Bytes& packet, HRESULT expected) {
        EXPECT_EQ(Write(packet, false), expected);
        if (m_write.hItem != static_cast<HREPLITEM>(ToHandle(m_item))) m_copies.push_back(m_write.hItem);
        return m_write.hItem;
    }
    ~PendingTest() override {
        for (HREPLITEM copy : m_copies) m_store->FreeObject(copy);
    }
    static Attachment File(const std::string& name, const std::string& text) {
        Attachment attachment;
        attachment.fileName = name;
        attachment.content = Bytes(text.begin(), text.end());
        attachment.size = text.size();
        return attachment;
    }
    std::vector<HREPLITEM> m_copies;
};

TEST_F(PendingTest, AWholeMessageRequestDeliversTheWholeBody) {
    m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_LIMIT_LINES;
    m_folder->m_settings.maxLines = 5;
    std::string body;
    for (int i = 1; i <= 120; ++i) body += "line " + std::to_string(i) + "\r\n";
    auto message = Mail();
    message.body = body;
    std::string id = Add(message);
    Select(id);

    HREPLITEM item = Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0x00101000), S_OK);
    // The engine gets its own copy of the item.
    ASSERT_NE(item, static_cast<HREPLITEM>(ToHandle(m_item)));
    EXPECT_STREQ(static_cast<CMailItem*>(FromHandle(item))->m_messageId, id.c_str());
    ASSERT_EQ(m_folder->m_pending.count(id), 1u);
    EXPECT_EQ(m_folder->m_pending[id].status, 0x00101000u);
    EXPECT_TRUE(m_device->requests.empty());

    m_folder->UpdateItem(item, nullptr);
    EXPECT_EQ(m_device->Codes(), (std::vector<UINT>{1, 3, 2}));
    EXPECT_EQ(m_device->selected, (Bytes{4, 5, 6, 7}));
    ASSERT_EQ(m_device->delivered.size(), 1u);
    const auto& [record, content] = m_device->delivered[0];
    EXPECT_EQ(record.state, 82u);
    EXPECT_EQ(record.number, 0u);
    EXPECT_EQ(record.size, 2 * (body.size() + 1));
    EXPECT_EQ(std::u16string(record.fileName), Wide(id));
    EXPECT_EQ(content, Utf16File(Wide(body)));
    EXPECT_EQ(m_device->endStatus, 0u);
    EXPECT_TRUE(m_folder->m_pending.empty());

    // Served once: a second UpdateItem asks nothing.
    m_folder->UpdateItem(item, nullptr);
    EXPECT_EQ(m_device->requests.size(), 3u);
}

TEST_F(PendingTest, OnlyTheRequestedAttachmentGoesAndTheMissingBitStays) {
    auto message = Mail();
    message.attachments = {File("one.txt", "1"), File("two.txt", "22"), File("three.txt", "333")};
    std::string id = Add(message);
    Select(id);
    HREPLITEM item = Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0x04200000,
                                   {Record(32, 1, 1, u"one.txt"), Record(82, 2, 2, u"two.txt"),
                                    Record(32, 3, 3, u"three.txt")}),
                           S_OK);
    m_folder->UpdateItem(item, nullptr);

    EXPECT_EQ(m_device->Codes(), (std::vector<UINT>{1, 3, 2}));
    ASSERT_EQ(m_device->delivered.size(), 1u);
    EXPECT_EQ(m_device->delivered[0].first.number, 2u);
    EXPECT_EQ(std::u16string(m_device->delivered[0].first.fileName), u"two.txt");
    EXPECT_EQ(m_device->delivered[0].first.size, 2u);
    EXPECT_EQ(m_device->delivered[0].second, (Bytes{'2', '2'}));
    EXPECT_EQ(m_device->endStatus, 0x04000000u);
    // The mail client's temporary copies are gone.
    EXPECT_TRUE(DeviceFiles().empty());
}

TEST_F(PendingTest, DownloadBitsStayUntilTheDeviceTookTheContent) {
    auto message = Mail();
    message.body = "short body";
    message.attachments = {File("one.txt", "1")};
    std::string id = Add(message);
    Select(id);
    m_device->deliverResult = E_FAIL;
    HREPLITEM item = Apply(
        Changed(PR_CE_IPM_INBOX_ENTRYID, 0x04301000, {Record(82, 1, 1, u"one.txt")}), S_OK);
    m_folder->UpdateItem(item, nullptr);
    EXPECT_EQ(m_device->Codes(), (std::vector<UINT>{1, 3, 3, 2}));
    EXPECT_EQ(m_device->endStatus, 0x04301000u);

    // An attachment the device asks for but the message no longer has keeps its bit too.
    m_device->deliverResult = S_OK;
    m_device->requests.clear();
    Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0x04200000,
                  {Record(82, 1, 1, u"one.txt"), Record(82, 1, 2, u"gone.txt")}),
          S_OK);
    m_folder->UpdateItem(item, nullptr);
    EXPECT_EQ(m_device->Codes(), (std::vector<UINT>{1, 3, 2}));
    EXPECT_EQ(m_device->endStatus, 0x04200000u);
}

TEST_F(PendingTest, NothingIsAskedOfTheDeviceForAnUnreadableOrPlainMessage) {
    std::string id = Add(Mail());
    Select(id);
    // A status without download bits, or a folder other than the Inbox, records nothing.
    Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0x00100000), S_OK);
    Apply(Changed(PR_IPM_SENTMAIL_ENTRYID, 0x00001000), S_OK);
    EXPECT_TRUE(m_folder->m_pending.empty());

    HREPLITEM item = Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0x00001000), S_OK);
    ASSERT_TRUE(emu::mailclient::DeleteMessage(m_world.Desktop(), std::stoull(id)));
    m_folder->UpdateItem(item, nullptr);
    EXPECT_TRUE(m_device->requests.empty());
    EXPECT_TRUE(m_folder->m_pending.empty());
}

TEST_F(PendingTest, AMoveToDeletedItemsIsReportedAsADeletionOnReset) {
    std::string id = Add(Mail());
    Select(id);
    HREPLITEM item = Apply(Changed(PR_IPM_WASTEBASKET_ENTRYID, 0), RERR_DISCARD);
    EXPECT_EQ(item, static_cast<HREPLITEM>(ToHandle(m_item)));
    m_notify->TakeNotifications();
    EXPECT_EQ(m_handler->Reset(&m_write), S_OK);

    auto notes = m_notify->TakeNotifications();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].code, static_cast<UINT>(RNC_DELETED));
    EXPECT_EQ(notes[0].progId, "KV.WinCE.OE.3");
    EXPECT_EQ(notes[0].objType, "Message");
    ASSERT_NE(notes[0].item, item);
    EXPECT_STREQ(static_cast<CMailItem*>(FromHandle(notes[0].item))->m_messageId, id.c_str());
    m_store->FreeObject(notes[0].item);
    // The entry stays until the deletion comes back through DeleteObj.
    EXPECT_EQ(m_folder->m_pending.count(id), 1u);

    EXPECT_EQ(m_handler->DeleteObj(&m_write), S_OK);
    EXPECT_TRUE(m_folder->m_pending.empty());
    EXPECT_FALSE(emu::mailclient::FindMessage(m_world.Desktop(), std::stoull(id)));
    // Already gone is still done.
    EXPECT_EQ(m_handler->DeleteObj(&m_write), S_OK);
    // A reset after an ordinary write reports nothing.
    Select(Add(Mail()));
    Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0), S_OK);
    EXPECT_EQ(m_handler->Reset(&m_write), S_OK);
    EXPECT_TRUE(m_notify->TakeNotifications().empty());
}

TEST_F(PendingTest, AMessageThatCannotBeDeletedIsNotReportedDeleted) {
    std::string id = Add(Mail());
    Select(id);
    // A mail client whose sessions did not open can neither read nor delete.
    emu::mailclient::SetLogonRefused(m_world.Desktop(), true);
    delete m_store->m_mapi;
    m_store->m_mapi = new CSimpleMAPI(mailclient_testing::RegisteredLibraryPath().c_str());
    emu::mailclient::SetLogonRefused(m_world.Desktop(), false);
    Apply(Changed(PR_CE_IPM_INBOX_ENTRYID, 0), S_OK);
    EXPECT_EQ(m_handler->DeleteObj(&m_write), E_FAIL);
    EXPECT_TRUE(emu::mailclient::FindMessage(m_world.Desktop(), std::stoull(id)));
}

}  // namespace
