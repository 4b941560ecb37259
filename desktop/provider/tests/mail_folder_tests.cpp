// The mail folder over the emulated mail client: which Inbox messages it selects and delivers,
// how it judges changes and validity, and the settings it starts from.
#include <vector>

#include "mail_fixture.h"
#include "simple_mapi.h"

namespace trellium_testing {
namespace {

class MailFolderTest : public MailStoreTest {
protected:
    ~MailFolderTest() override {
        for (HREPLITEM item : m_items) m_store->FreeObject(item);
        if (m_folder) m_store->FreeObject(ToHandle(m_folder));
    }

    void MakeFolder(DWORD options, DWORD days = 4) {
        Initialize();
        m_folder = NewFolder();
        m_folder->m_settings.options = options;
        m_folder->m_settings.days = days;
    }

    // Every item the store's enumeration delivers, in order; the items are freed with the test.
    std::vector<CMailItem*> Enumerate() {
        std::vector<CMailItem*> items;
        HREPLITEM item = nullptr;
        BOOL exists = FALSE;
        HREPLFLD folder = ToHandle(m_folder);
        HRESULT result = m_store->FindFirstItem(folder, &item, &exists);
        while (result == S_OK && exists) {
            m_items.push_back(item);
            items.push_back(static_cast<CMailItem*>(FromHandle(item)));
            result = m_store->FindNextItem(folder, &item, &exists);
        }
        EXPECT_EQ(result, S_OK);
        EXPECT_EQ(m_store->FindItemClose(folder), S_OK);
        return items;
    }
    static std::vector<std::string> Ids(const std::vector<CMailItem*>& items) {
        std::vector<std::string> ids;
        for (CMailItem* item : items) ids.push_back(item->m_messageId);
        return ids;
    }
    static std::string Id(std::uint64_t id) { return std::to_string(id); }

    CMailItem* ItemFor(std::uint64_t id) {
        CMailItem* item = static_cast<CMailItem*>(m_folder->NewItem());
        item->SetMessageId(Id(id).c_str());
        m_items.push_back(ToHandle(item));
        return item;
    }
    HRESULT Valid(CItem* item) {
        return m_store->IsValidObject(ToHandle(m_folder), ToHandle(item), 0);
    }

    CMailFolder* m_folder = nullptr;
    std::vector<HREPLITEM> m_items;
};

TEST_F(MailFolderTest, OnlyMessagesOfTheLastDaysFromTheCutOffOn) {
    FreezeAt(2024, 3, 9, 12, 0);
    std::uint64_t early = AddMail("2024-03-01T08:00:00");
    std::uint64_t atCutOff = AddMail("2024-03-05T12:00:00", false);
    std::uint64_t justBefore = AddMail("2024-03-05T11:59:00");
    std::uint64_t recent = AddMail("2024-03-09T11:00:00");
    std::uint64_t old = AddMail("2024-02-29T23:59:00");
    MakeFolder(MAIL_OPT_SYNC | MAIL_OPT_LIMIT_DAYS, 4);

    std::vector<CMailItem*> items = Enumerate();
    // The old ones are passed over wherever they lie, and the walk goes on to the end.
    EXPECT_EQ(Ids(items), (std::vector<std::string>{Id(atCutOff), Id(recent)}));
    ASSERT_EQ(items.size(), 2u);
    SYSTEMTIME received = {};
    FileTimeToSystemTime(&items[0]->m_received, &received);
    EXPECT_EQ(received.wDay, 5);
    EXPECT_EQ(received.wHour, 12);
    EXPECT_EQ(items[0]->m_unread, 0u);
    EXPECT_EQ(items[1]->m_unread, 1u);
    EXPECT_EQ(items[0]->m_version, HANDLE_VERSION);
    EXPECT_EQ(std::string(m_folder->m_seed), Id(old));

    HREPLFLD folder = ToHandle(m_folder);
    for (std::uint64_t id : {early, justBefore, old})
        EXPECT_FALSE(m_store->IsItemReplicated(folder, ToHandle(ItemFor(id)))) << id;
    EXPECT_TRUE(m_store->IsItemReplicated(folder, ToHandle(items[0])));

    // A day later the message at the cut-off has left the window.
    FreezeAt(2024, 3, 10, 12, 0);
    EXPECT_EQ(Ids(Enumerate()), (std::vector<std::string>{Id(recent)}));
}

TEST_F(MailFolderTest, ZeroDaysTakeOnlyMessagesFromNowOn) {
    FreezeAt(2024, 3, 9, 12, 0);
    AddMail("2024-03-09T11:59:00");
    std::uint64_t now = AddMail("2024-03-09T12:00:00");
    std::uint64_t later = AddMail("2024-03-09T12:01:00");
    MakeFolder(MAIL_OPT_SYNC | MAIL_OPT_LIMIT_DAYS, 0);
    EXPECT_EQ(Ids(Enumerate()), (std::vector<std::string>{Id(now), Id(later)}));
}

TEST_F(MailFolderTest, WithoutTheDaysBitEveryMessageAndWithoutMailNone) {
    FreezeAt(2024, 3, 9, 12, 0);
    std::uint64_t ancient = AddMail("1999-12-31T23:59:00");
    std::uint64_t recent = AddMail("2024-03-09T08:00:00");
    MakeFolder(MAIL_OPT_SYNC | MAIL_OPT_SEND, 0);
    EXPECT_EQ(Ids(Enumerate()), (std::vector<std::string>{Id(ancient), Id(recent)}));

    // Options 0: the Inbox is still walked to its end, but nothing is delivered.
    // A number of days beyond the calendar's start takes everything too.
    m_folder->m_settings.options = MAIL_OPT_SYNC | MAIL_OPT_LIMIT_DAYS;
    m_folder->m_settings.days = 21350399;
    EXPECT_EQ(Ids(Enumerate()), (std::vector<std::string>{Id(ancient), Id(recent)}));

    m_folder->m_settings.options = 0;
    EXPECT_TRUE(Enumerate().empty());
    EXPECT_EQ(std::string(m_folder->m_seed), Id(recent));
    EXPECT_FALSE(m_store->IsItemReplicated(ToHandle(m_folder), ToHandle(ItemFor(recent))));
    EXPECT_EQ(Valid(ItemFor(recent)), RERR_OBJECT_DELETED);
}

TEST_F(MailFolderTest, AnEmptyInboxEndsAtOnceAndEveryWalkRestarts) {
    MakeFolder(MAIL_OPT_SYNC);
    EXPECT_TRUE(Enumerate().empty());
    std::uint64_t first = AddMail("2024-03-09T08:00:00");
    EXPECT_EQ(Ids(Enumerate()), (std::vector<std::string>{Id(first)}));
    EXPECT_EQ(Ids(Enumerate()), (std::vector<std::string>{Id(first)}));
}

TEST_F(MailFolderTest, OnlyTheReadStateIsAChange) {
    std::uint64_t id = AddMail("2024-03-09T08:00:00");
    MakeFolder(MAIL_OPT_SYNC);
    std::vector<CMailItem*> items = Enumerate();
    ASSERT_EQ(items.size(), 1u);
    HREPLFLD folder = ToHandle(m_folder);
    HREPLITEM item = ToHandle(items[0]);
    EXPECT_FALSE(m_store->IsItemChanged(folder, item, nullptr));

    // Against a stored handle: a different time is no change, a different read state is.
    CMailItem* stored = static_cast<CMailItem*>(m_folder->NewItem());
    m_items.push_back(ToHandle(stored));
    stored->CopyFrom(items[0]);
    stored->m_received = {1, 2};
    EXPECT_FALSE(m_store->IsItemChanged(folder, item, ToHandle(stored)));
    stored->m_unread = 0;
    EXPECT_TRUE(m_store->IsItemChanged(folder, item, ToHandle(stored)));

    // The subject is no change stamp: messages are taken as immutable but for their read state.
    ASSERT_TRUE(emu::mailclient::SetSubject(m_world.Desktop(), id, "Renamed"));
    EXPECT_FALSE(m_store->IsItemChanged(folder, item, nullptr));
    ASSERT_TRUE(emu::mailclient::SetUnread(m_world.Desktop(), id, false));
    EXPECT_TRUE(m_store->IsItemChanged(folder, item, nullptr));
    EXPECT_FALSE(m_store->IsItemChanged(folder, ToHandle(stored), nullptr));
    // A message that cannot be read counts as unchanged.
    emu::mailclient::DeleteMessage(m_world.Desktop(), id);
    EXPECT_FALSE(m_store->IsItemChanged(folder, item, nullptr));
}

TEST_F(MailFolderTest, ValidReadableGoneOrUnreadable) {
    FreezeAt(2024, 3, 9, 12, 0);
    std::uint64_t kept = AddMail("2024-03-09T08:00:00");
    std::uint64_t gone = AddMail("2024-03-09T08:00:00");
    std::uint64_t old = AddMail("2024-01-01T08:00:00");
    MakeFolder(MAIL_OPT_SYNC | MAIL_OPT_LIMIT_DAYS, 4);
    emu::mailclient::DeleteMessage(m_world.Desktop(), gone);

    EXPECT_EQ(m_store->IsValidObject(ToHandle(m_folder), nullptr, 0), S_OK);
    CMailItem* keptItem = ItemFor(kept);
    ASSERT_TRUE(keptItem->SetReceived("2024/03/09 08:00"));
    EXPECT_EQ(Valid(keptItem), S_OK);
    CMailItem* goneItem = ItemFor(gone);
    goneItem->SetReceived("2024/03/09 08:00");
    EXPECT_EQ(Valid(goneItem), RERR_OBJECT_DELETED);
    // Out of the window: no longer in scope, though it exists.
    CMailItem* oldItem = ItemFor(old);
    oldItem->SetReceived("2024/01/01 08:00");
    EXPECT_EQ(Valid(oldItem), RERR_OBJECT_DELETED);

    // The mail client refuses every session: the messages are not known to be gone.
    emu::mailclient::SetLogonRefused(m_world.Desktop(), true);
    Initialize();
    EXPECT_EQ(Valid(keptItem), RERR_BAD_OBJECT);
    EXPECT_EQ(Valid(goneItem), RERR_BAD_OBJECT);
}

TEST_F(MailFolderTest, AClientThatRefusesTheWalkFailsIt) {
    AddMail("2024-03-09T08:00:00");
    emu::mailclient::SetLogonRefused(m_world.Desktop(), true);
    MakeFolder(MAIL_OPT_SYNC);
    HREPLITEM item = nullptr;
    BOOL exists = TRUE;
    EXPECT_EQ(m_store->FindFirstItem(ToHandle(m_folder), &item, &exists), E_FAIL);
    EXPECT_EQ(item, nullptr);

    // Without any mail client library.
    delete m_store->m_mapi;
    m_store->m_mapi = new CSimpleMAPI("");
    EXPECT_EQ(m_store->FindFirstItem(ToHandle(m_folder), &item, &exists), E_FAIL);
}

// Folder creation reads the options of the partnership the engine hands out.
class MailFolderSettingsTest : public MailFolderTest {};

TEST_F(MailFolderSettingsTest, TheConnectedPartnershipsOptionsReachTheDevice) {
    DWORD id = Partner();
    SetOption(id, "Options", MAIL_OPT_SYNC | MAIL_OPT_SEND);
    SetOption(id, "Days", 30);
    Connect(id);
    CreateDeviceSettings();
    SetDeviceValue(u"NoKeepSentOver", 1);
    Initialize();
    m_folder = NewFolder();
    EXPECT_EQ(m_folder->m_settings.options, static_cast<DWORD>(MAIL_OPT_SYNC | MAIL_OPT_SEND));
    EXPECT_EQ(m_folder->m_settings.days, 30u);
    EXPECT_EQ(m_folder->m_settings.maxLines, 50u);
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), 0u);
    EXPECT_TRUE(m_folder->IsFolderChanged());
}

TEST_F(MailFolderSettingsTest, TheSelectedPartnershipIsReadAndTheDeviceLeftAlone) {
    DWORD id = Partner();
    SetOption(id, "MaxLines", 12);
    Connect(id);
    CreateDeviceSettings();
    Initialize(ISF_SELECTED_DEVICE);
    m_folder = NewFolder();
    EXPECT_EQ(m_folder->m_settings.maxLines, 12u);
    EXPECT_EQ(DeviceValue(u"NoKeepSentOver"), std::nullopt);
}

TEST_F(MailFolderSettingsTest, WithoutAConnectedPartnershipTheDefaultsStay) {
    DWORD id = Partner();
    SetOption(id, "MaxLines", 12);
    Initialize();
    m_folder = NewFolder();
    EXPECT_EQ(m_folder->m_settings, MailSettings());
    // Rebuilt from its handle bytes, a folder reads the options again.
    Connect(id);
    BYTE bytes[HANDLE_HEADER_SIZE];
    m_store->ObjectToBytes(ToHandle(m_folder), bytes);
    HREPLOBJ restored = m_store->BytesToObject(bytes, sizeof bytes);
    ASSERT_NE(restored, nullptr);
    EXPECT_EQ(static_cast<CMailFolder*>(FromHandle(restored))->m_settings.maxLines, 12u);
    m_store->FreeObject(restored);
}

}  // namespace
}  // namespace trellium_testing
