// The mail watcher: the account's store found by "FriendlyName", reconciliation with the Inbox,
// Outbox and Deleted Items at start, and store notifications journaled by the folder rule.
#include "emu/cemapi/message_stores.h"
#include "notify_fixture.h"

namespace {

using emu::cemapi::FolderKind;
using notify_testing::JournalRecord;
using notify_testing::NotifyTest;

class MailWatcherTest : public NotifyTest {
protected:
    void SetUp() override {
        NotifyTest::SetUp();
        SetFriendlyName(u"Kestrin");
    }
    static void SetFriendlyName(const std::u16string& name) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Microsoft\\Inbox\\Svc\\Kestrin",
                                  0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(key, u"FriendlyName", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    std::uint32_t Store(const std::u16string& name = u"Kestrin") {
        return emu::cemapi::CreateStore(m_world.Device(), name);
    }
    std::int64_t Compose(std::uint32_t store, const std::u16string& subject) {
        emu::cemapi::NewMessage message;
        message.subject = subject;
        message.recipients.push_back({1, u"Ann", u"ann@example.com", u"SMTP"});
        message.body = u"Hello";
        return emu::cemapi::ComposeMessage(m_world.Device(), store, message);
    }
    // A message in another folder, as composed and then moved there.
    std::int64_t Place(std::uint32_t store, FolderKind folder, const std::u16string& subject) {
        std::int64_t id = Compose(store, subject);
        EXPECT_TRUE(emu::cemapi::MoveMessage(m_world.Device(), store, id, folder));
        return id;
    }
    std::vector<std::uint8_t> EntryOf(std::uint32_t store, std::int64_t id) {
        auto message = emu::cemapi::ReadMessage(m_world.Device(), store, id);
        return message ? message->entryId : std::vector<std::uint8_t>{};
    }
    // The mail journal's record of a message, or none (state -2).
    JournalRecord RecordOf(std::uint32_t store, std::int64_t id) {
        auto entry = EntryOf(store, id);
        for (auto& record : Mail())
            if (record.entry == entry) return record;
        return JournalRecord{0, -2, 0, {}};
    }
    // Waits until the service has handled every store notification made so far.
    void Settle() {
        ASSERT_TRUE(emu::cemapi::WaitForNotifications(m_world.Device(), std::chrono::seconds(10)));
    }
};

TEST_F(MailWatcherTest, StartRecordsTheThreeFoldersByTheFolderRule) {
    auto store = Store();
    auto outbox = Compose(store, u"Out");
    auto inbox = Place(store, FolderKind::Inbox, u"In");
    auto deleted = Place(store, FolderKind::DeletedItems, u"Gone");
    auto draft = Place(store, FolderKind::Drafts, u"Draft");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Mail().size(), 3u);
    EXPECT_EQ(RecordOf(store, outbox).state, 3);
    EXPECT_EQ(RecordOf(store, inbox).state, 0);
    EXPECT_EQ(RecordOf(store, deleted).state, 3);
    EXPECT_EQ(RecordOf(store, draft).state, -2);
}

TEST_F(MailWatcherTest, ChangesWhileRunningFollowTheFolderRule) {
    auto store = Store();
    ASSERT_TRUE(Run());
    auto composed = Compose(store, u"Composed");
    Settle();
    EXPECT_EQ(RecordOf(store, composed).state, 3);
    auto draft = Place(store, FolderKind::Drafts, u"Draft");
    Settle();
    // Composed into the Outbox, it had a record; moved to Drafts the record keeps state 0.
    EXPECT_EQ(RecordOf(store, draft).state, 0);
    auto arrived = Place(store, FolderKind::Inbox, u"Arrived");
    Settle();
    EXPECT_EQ(RecordOf(store, arrived).state, 0);
    ASSERT_TRUE(emu::cemapi::MoveMessage(m_world.Device(), store, arrived, FolderKind::DeletedItems));
    Settle();
    EXPECT_EQ(RecordOf(store, arrived).state, 3);
    ASSERT_TRUE(emu::cemapi::DeleteMessage(m_world.Device(), store, arrived));
    Settle();
    EXPECT_EQ(RecordOf(store, arrived).state, -2);
}

TEST_F(MailWatcherTest, WhatChangedWhileStoppedIsReconciledAtTheNextStart) {
    auto store = Store();
    auto kept = Compose(store, u"Kept");
    auto removed = Compose(store, u"Removed");
    ASSERT_TRUE(Run());
    ASSERT_EQ(StopService(), 0u);
    auto added = Compose(store, u"Added");
    ASSERT_TRUE(emu::cemapi::DeleteMessage(m_world.Device(), store, removed));
    ASSERT_TRUE(Run());
    auto records = Mail();
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(RecordOf(store, kept).state, 3);
    EXPECT_EQ(RecordOf(store, added).state, 3);
}

TEST_F(MailWatcherTest, WithoutAFriendlyNameTheMailJournalIsLeftAsItIs) {
    auto store = Store();
    auto note = Compose(store, u"Note");
    ASSERT_TRUE(Run());
    ASSERT_EQ(StopService(), 0u);
    EXPECT_EQ(RecordOf(store, note).state, 3);
    // Without "FriendlyName" the mail is not watched: its journal is left as it is.
    SetFriendlyName(u"");
    Compose(store, u"Unseen");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Mail().size(), 1u);
}

TEST_F(MailWatcherTest, TheFriendlyNameFitsSixtyThreeCharactersAndPicksTheFirstStoreOfThatName) {
    std::u16string longest(63, u'k');
    SetFriendlyName(longest + u"k");
    auto first = Store(u"KESTRIN");
    auto other = Compose(first, u"Other");
    auto store = Store(longest);
    auto mine = Compose(store, u"Mine");
    ASSERT_TRUE(Run());
    // Sixty-four characters do not fit: mail is not watched, no mail journal is made.
    bool exists = true;
    Journal(u"_notif_KTMSG", &exists);
    EXPECT_FALSE(exists);
    ASSERT_EQ(StopService(), 0u);

    SetFriendlyName(longest);
    ASSERT_TRUE(Run());
    EXPECT_EQ(Mail().size(), 1u);
    EXPECT_EQ(RecordOf(store, mine).state, 3);
    ASSERT_EQ(StopService(), 0u);

    // Two stores match "kestrin" without regard to case: the first in the table is the account's,
    // and the other account's record is stale there.
    SetFriendlyName(u"kestrin");
    Store(u"Kestrin");
    ASSERT_TRUE(Run());
    EXPECT_EQ(Mail().size(), 1u);
    EXPECT_EQ(RecordOf(first, other).state, 3);
}

TEST_F(MailWatcherTest, StoppingWaitsForANotificationBeingHandled) {
    auto store = Store();
    ASSERT_TRUE(Run());
    // The provider holds the mail lock: the notification of the next change waits for it.
    HANDLE lock = CreateMutexW(nullptr, FALSE, u"Message{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}");
    ASSERT_EQ(WaitForSingleObject(lock, INFINITE), WAIT_OBJECT_0);
    auto composed = Compose(store, u"While stopping");
    EXPECT_FALSE(emu::cemapi::WaitForNotifications(m_world.Device(), std::chrono::milliseconds(100)));
    HANDLE stopper = CreateThread(
        nullptr, 0,
        [](LPVOID machine) -> DWORD {
            return emu::services::Stop(*static_cast<pal::Machine*>(machine), u"KTNotif");
        },
        &m_world.Device(), 0, nullptr);
    EXPECT_EQ(WaitForSingleObject(stopper, 200), WAIT_TIMEOUT);
    ReleaseMutex(lock);
    EXPECT_EQ(WaitForSingleObject(stopper, 10000), WAIT_OBJECT_0);
    DWORD stopped = 1;
    GetExitCodeThread(stopper, &stopped);
    EXPECT_EQ(stopped, 0u);
    EXPECT_EQ(RecordOf(store, composed).state, 3);
    CloseHandle(stopper);
    CloseHandle(lock);
}

}  // namespace
