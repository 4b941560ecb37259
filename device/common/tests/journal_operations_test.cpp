// The provider's journal operations: the object list, change bits and statistics.
#include <cstring>

#include "journal_fixture.h"

namespace {

class ObjectListTest : public JournalTest {
protected:
    ~ObjectListTest() override {
        if (m_info.poid) LocalFree(m_info.poid);
    }
    FINDOBJINFO m_info{};
};

TEST_F(ObjectListTest, UnchangedComeFirstThenChangedInReverseJournalOrder) {
    CreateJournal(kMailJournal);
    std::vector<CEOID> records;
    for (USHORT state : {0, 1, 2, 3, 0x203}) records.push_back(AddRecord(kMailJournal, state));
    ASSERT_EQ(ListJournalObjects(kMailJournal, m_volume, 1, &m_info), S_OK);
    EXPECT_EQ(m_info.cUnChg, 2u);
    EXPECT_EQ(m_info.cChg, 3u);
    EXPECT_EQ(Listed(m_info),
              (std::vector<UINT>{records[0], records[2], records[4], records[3], records[1]}));
    EXPECT_EQ(m_info.lpbVolumeID, nullptr);
    EXPECT_EQ(m_info.cbVolumeID, 0u);
}

TEST_F(ObjectListTest, ContactsFollowTheContactOidOrderForPartnerTwo) {
    CreateJournal(kContactsJournal);
    CEOID late = AddRecord(kContactsJournal, 2, 900);
    CEOID early = AddRecord(kContactsJournal, 1, 100);
    ASSERT_EQ(ListJournalObjects(kContactsJournal, m_volume, 2, &m_info), S_OK);
    EXPECT_EQ(m_info.cUnChg, 1u);
    EXPECT_EQ(Listed(m_info), (std::vector<UINT>{early, late}));
}

TEST_F(ObjectListTest, EmptyJournalSetsNothing) {
    CreateJournal(kMailJournal);
    m_info.cUnChg = 7;
    m_info.cChg = 8;
    ASSERT_EQ(ListJournalObjects(kMailJournal, m_volume, 1, &m_info), S_OK);
    EXPECT_EQ(m_info.poid, nullptr);
    EXPECT_EQ(m_info.cUnChg, 7u);
    EXPECT_EQ(m_info.cChg, 8u);
}

TEST_F(ObjectListTest, MissingJournalOrVolumeIsUnexpected) {
    EXPECT_EQ(ListJournalObjects(kMailJournal, m_volume, 1, &m_info), E_UNEXPECTED);
    CreateJournal(kContactsJournal);
    AddRecord(kContactsJournal, 1, 5);
    m_volume.Unmount();
    // Not mounted: the object store's echo list of the same name is never taken for the journal.
    SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
    CreateDatabase(ECHO_LIST_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, nullptr);
    EXPECT_EQ(ListJournalObjects(kContactsJournal, m_volume, 1, &m_info), E_UNEXPECTED);
    CREATE_INVALIDGUID(m_volume.Guid());
    EXPECT_EQ(ListJournalObjects(kContactsJournal, m_volume, 1, &m_info), E_UNEXPECTED);
    EXPECT_EQ(m_info.poid, nullptr);
}

TEST_F(ObjectListTest, RecordsAddedAfterTheCountAreNotListed) {
    CreateJournal(kMailJournal);
    CEOID a = AddRecord(kMailJournal, 0);
    CEOID b = AddRecord(kMailJournal, 1);
    CCeDB db;
    db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, CEDB_AUTOINCREMENT, m_volume.Guid());
    CEOIDINFO about{};
    ASSERT_TRUE(CeOidGetInfoEx(m_volume.Guid(), db.Oid(), &about));
    UINT count = CountJournalRecords(db.Handle(), about);
    ASSERT_EQ(count, 2u);
    AddRecord(kMailJournal, 0);
    AddRecord(kMailJournal, 1);
    ASSERT_EQ(CollectJournalObjects(db.Handle(), count, 1, &m_info), S_OK);
    EXPECT_EQ(Listed(m_info), (std::vector<UINT>{a, b}));
}

TEST_F(ObjectListTest, RecordsDeletedAfterTheCountLeaveNoGap) {
    CreateJournal(kMailJournal);
    CEOID a = AddRecord(kMailJournal, 0);
    CEOID b = AddRecord(kMailJournal, 1);
    CEOID c = AddRecord(kMailJournal, 3);
    CEOID d = AddRecord(kMailJournal, 0);
    CCeDB db;
    db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, CEDB_AUTOINCREMENT, m_volume.Guid());
    ASSERT_TRUE(CeDeleteRecord(db.Handle(), d));
    ASSERT_EQ(CollectJournalObjects(db.Handle(), 4, 1, &m_info), S_OK);
    EXPECT_EQ(m_info.cUnChg, 1u);
    EXPECT_EQ(m_info.cChg, 2u);
    EXPECT_EQ(Listed(m_info), (std::vector<UINT>{a, c, b}));
}

class ChangeBitsTest : public JournalTest {
protected:
    void SetUp() override {
        CreateJournal(kContactsJournal);
        CreateJournal(kMailJournal);
    }
};

TEST_F(ChangeBitsTest, ClearChangeOnAgainChangedKeepsBothPartners) {
    CEOID record = AddRecord(kContactsJournal, 0x203, 9);
    OBJNOTIFY notify = Notification(kContactsJournal, ONF_CLEAR_CHANGE, record);
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), TRUE);
    EXPECT_EQ(StateOf(kContactsJournal, record), 3);
    EXPECT_EQ(notify.oidObject, record);
    EXPECT_EQ(notify.cOidChg, 0u);
    EXPECT_EQ(notify.cOidDel, 0u);
}

TEST_F(ChangeBitsTest, ClearChangeDropsThisPartnersBit) {
    CEOID record = AddRecord(kMailJournal, 3);
    OBJNOTIFY notify = Notification(kMailJournal, ONF_CLEAR_CHANGE, record);
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), FALSE);
    EXPECT_EQ(StateOf(kMailJournal, record), 2);
    notify = Notification(kMailJournal, ONF_CLEAR_CHANGE, record);
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 2, &notify), FALSE);
    EXPECT_EQ(StateOf(kMailJournal, record), 0);
}

TEST_F(ChangeBitsTest, ChangedRecordIsReportedOnlyForItsPartner) {
    CEOID record = AddRecord(kContactsJournal, 0x202, 4);
    OBJNOTIFY notify = Notification(kContactsJournal, ONF_RECORD | ONF_CHANGED, record);
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), FALSE);
    EXPECT_EQ(StateOf(kContactsJournal, record), 0x202);

    notify = Notification(kContactsJournal, ONF_RECORD | ONF_CHANGED, record);
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 2, &notify), TRUE);
    EXPECT_EQ(notify.cOidChg, 1u);
    EXPECT_EQ(notify.cOidDel, 0u);
    ASSERT_NE(notify.poid, nullptr);
    EXPECT_EQ(notify.poid[0], record);
    EXPECT_EQ(notify.lpbVolumeID, nullptr);
    EXPECT_EQ(notify.cbVolumeID, 0u);
    // Reporting it consumes AgainChanged.
    EXPECT_EQ(StateOf(kContactsJournal, record), 2);
}

TEST_F(ChangeBitsTest, DeletedRecordsAreReportedWithoutReading) {
    OBJNOTIFY notify = Notification(kContactsJournal, ONF_RECORD | ONF_DELETED, 0x12345);
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), TRUE);
    EXPECT_EQ(notify.cOidDel, 1u);
    EXPECT_EQ(notify.cOidChg, 0u);
    EXPECT_EQ(notify.poid[0], 0x12345u);
    // Contacts admit deletions only from their journal; mail admits any.
    notify = Notification(kContactsJournal, ONF_RECORD | ONF_DELETED, 0x12345);
    notify.oidInfo.infRecord.oidParent = JournalOid(kMailJournal);
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), FALSE);
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), TRUE);
    EXPECT_EQ(notify.cOidDel, 1u);
}

TEST_F(ChangeBitsTest, AdmissionRefusesForeignOrMalformedNotifications) {
    CEOID contact = AddRecord(kContactsJournal, 3, 1);
    CEOID message = AddRecord(kMailJournal, 3);

    OBJNOTIFY notify = Notification(kContactsJournal, ONF_RECORD | ONF_CHANGED, contact);
    notify.cbStruct = 784;
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), FALSE);
    notify = Notification(kContactsJournal, ONF_CHANGED, contact);  // neither record nor clear
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), FALSE);
    // A record of the other journal.
    notify = Notification(kMailJournal, ONF_RECORD | ONF_CHANGED, message);
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), FALSE);
    // Not a record.
    notify = Notification(kContactsJournal, ONF_RECORD | ONF_CHANGED, contact);
    notify.oidInfo.wObjType = OBJTYPE_DATABASE;
    EXPECT_EQ(NotifyJournalObject(kContactsJournal, m_volume, 1, &notify), FALSE);
    // Mail needs the journal volume's identifier.
    notify = Notification(kMailJournal, ONF_RECORD | ONF_CHANGED, message);
    notify.cbVolumeID = 8;
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), FALSE);
    notify = Notification(kMailJournal, ONF_RECORD | ONF_CHANGED, message);
    notify.lpbVolumeID = nullptr;
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), FALSE);
    CEGUID other = *m_volume.Guid();
    other.Data4 ^= 1;
    notify = Notification(kMailJournal, ONF_RECORD | ONF_CHANGED, message);
    notify.lpbVolumeID = reinterpret_cast<LPBYTE>(&other);
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), FALSE);
    // A clear for a record the journal does not hold.
    notify = Notification(kMailJournal, ONF_CLEAR_CHANGE, message);
    notify.oidObject = contact;
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), FALSE);
    EXPECT_EQ(StateOf(kContactsJournal, contact), 3);
    // Nothing refused above wrote or reported anything.
    EXPECT_EQ(StateOf(kMailJournal, message), 3);
    notify = Notification(kMailJournal, ONF_RECORD | ONF_CHANGED, message);
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), TRUE);
}

TEST_F(ChangeBitsTest, MissingJournalRefusesEverything) {
    CEOID record = AddRecord(kMailJournal, 3);
    OBJNOTIFY notify = Notification(kMailJournal, ONF_CLEAR_CHANGE, record);
    m_volume.Unmount();
    EXPECT_EQ(NotifyJournalObject(kMailJournal, m_volume, 1, &notify), FALSE);
    OBJTYPEINFO info{};
    EXPECT_EQ(JournalStatistics(kMailJournal, m_volume, &info), FALSE);
}

TEST_F(ChangeBitsTest, StatisticsDescribeTheJournal) {
    EXPECT_EQ(JournalStatistics(kMailJournal, m_volume, nullptr), FALSE);
    AddRecord(kMailJournal, 0);
    AddRecord(kMailJournal, 3);
    OBJTYPEINFO info{};
    ASSERT_EQ(JournalStatistics(kMailJournal, m_volume, &info), TRUE);
    EXPECT_EQ(std::u16string(info.szName), u"\\kestrin.vol");
    EXPECT_EQ(info.cObjects, 2u);
    CEOIDINFO about{};
    ASSERT_TRUE(CeOidGetInfoEx(m_volume.Guid(), JournalOid(kMailJournal), &about));
    EXPECT_EQ(info.cbAllObj, about.infDatabase.dwSize);
    EXPECT_GT(info.cbAllObj, 0u);
    EXPECT_EQ(info.ftLastModified.dwLowDateTime, about.infDatabase.ftLastModified.dwLowDateTime);
    EXPECT_EQ(info.ftLastModified.dwHighDateTime, about.infDatabase.ftLastModified.dwHighDateTime);
}

TEST_F(ObjectListTest, SaturatedPlatformCountIsFoundBySeeking) {
    CreateJournal(kMailJournal);
    CCeDB db;
    db.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
    CEOIDINFO about{};
    for (UINT count : {0u, 1u, 2u, 3u, 6u, 9u}) {
        while (about.infDatabase.wNumRecords < count) {
            AddRecord(kMailJournal, 0);
            ASSERT_TRUE(CeOidGetInfoEx(m_volume.Guid(), db.Oid(), &about));
        }
        CEOIDINFO saturated = about;
        saturated.infDatabase.wNumRecords = 0xFFFF;
        EXPECT_EQ(CountJournalRecords(db.Handle(), saturated), count);
        EXPECT_EQ(CountJournalRecords(db.Handle(), about), count);
    }
}

}  // namespace
