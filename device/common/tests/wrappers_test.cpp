// The property-database wrappers and database creation.
#include "ce_record.h"
#include "journal_fixture.h"

namespace {

using WrapperTest = JournalTest;

TEST_F(WrapperTest, VolumeMountsUnmountsAndRefusesBadPaths) {
    EXPECT_TRUE(m_volume.IsMounted());
    EXPECT_TRUE(CCeDBVolume::IsRealVolume(m_volume.Guid()));
    EXPECT_EQ(m_volume.Unmount(), TRUE);
    EXPECT_FALSE(m_volume.IsMounted());
    EXPECT_TRUE(CHECK_SYSTEMGUID(m_volume.Guid()));
    EXPECT_EQ(m_volume.Unmount(), TRUE);  // nothing mounted

    EXPECT_EQ(m_volume.Mount(nullptr, OPEN_ALWAYS), E_FAIL);
    EXPECT_EQ(m_volume.Mount(W(""), OPEN_ALWAYS), E_FAIL);
    EXPECT_EQ(m_volume.Mount(W("\\missing.vol"), OPEN_EXISTING), E_FAIL);
    EXPECT_FALSE(m_volume.IsMounted());
    EXPECT_TRUE(CHECK_SYSTEMGUID(m_volume.Guid()));

    CEGUID invalid;
    CREATE_INVALIDGUID(&invalid);
    EXPECT_FALSE(CCeDBVolume::IsRealVolume(&invalid));
}

TEST_F(WrapperTest, IdentifiersStayStableAcrossARemount) {
    CreateJournal(kContactsJournal);
    CEOID record = AddRecord(kContactsJournal, 3, 77);
    CEOID journal = JournalOid(kContactsJournal);
    ASSERT_EQ(m_volume.Unmount(), TRUE);
    Reopen();
    ASSERT_EQ(m_volume.Mount(KESTRIN_VOLUME_PATH, OPEN_ALWAYS), S_OK);
    EXPECT_EQ(JournalOid(kContactsJournal), journal);
    EXPECT_EQ(StateOf(kContactsJournal, record), 3);
}

TEST_F(WrapperTest, CreatingAnExistingJournalKeepsItsRecords) {
    CEOID first = CreateJournal(kMailJournal);
    CEOID record = AddRecord(kMailJournal, 2);
    CEOID again = 0;
    EXPECT_EQ(
        CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, &again, 0, nullptr, m_volume.Guid()),
        static_cast<HRESULT>(ERROR_DUP_NAME));
    EXPECT_EQ(again, 0u);
    EXPECT_EQ(JournalOid(kMailJournal), first);
    EXPECT_EQ(StateOf(kMailJournal, record), 2);
}

TEST_F(WrapperTest, CreationRefusesBadDescriptions) {
    SORTORDERSPEC sorts[5] = {};
    EXPECT_EQ(CreateDatabase(nullptr, 1, nullptr, 0, nullptr, nullptr), E_INVALIDARG);
    EXPECT_EQ(CreateDatabase(W("x"), 1, nullptr, 5, sorts, nullptr), E_INVALIDARG);
    EXPECT_EQ(CreateDatabase(W("x"), 1, nullptr, 1, nullptr, nullptr), E_INVALIDARG);
    // 32 characters do not fit the 31 a database name may have.
    EXPECT_EQ(
        CreateDatabase(W("abcdefghijklmnopqrstuvwxyz012345"), 1, nullptr, 0, nullptr, nullptr),
        E_INVALIDARG);
    CEOID oid = 0;
    EXPECT_EQ(CreateDatabase(W("abcdefghijklmnopqrstuvwxyz01234"), 7, &oid, 0, nullptr, nullptr),
              S_OK);
    CEGUID store;
    CREATE_SYSTEMGUID(&store);
    CEOIDINFO info{};
    ASSERT_TRUE(CeOidGetInfoEx(&store, oid, &info));
    EXPECT_EQ(info.infDatabase.dwDbaseType, 7u);
}

TEST_F(WrapperTest, OpenByNameOrIdentifierAndReportPlatformErrors) {
    CEOID oid = CreateJournal(kContactsJournal);
    CCeDB db;
    EXPECT_EQ(db.Open(CONTACTS_JOURNAL_NAME, 12, nullptr, PROPID_CONTACT_OID, 0, m_volume.Guid()),
              S_OK);
    EXPECT_EQ(db.Oid(), oid);
    CCeDB byId;
    EXPECT_EQ(byId.Open(nullptr, oid, nullptr, 0, 0, m_volume.Guid()), S_OK);
    EXPECT_TRUE(byId.IsOpen());
    byId.Close();
    EXPECT_FALSE(byId.IsOpen());
    EXPECT_EQ(byId.Oid(), 0u);
    // Not in the object store: a positive last-error code, the handle stays closed.
    EXPECT_EQ(byId.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, 0, 0, nullptr),
              static_cast<HRESULT>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(byId.Handle(), INVALID_HANDLE_VALUE);
}

TEST_F(WrapperTest, RecordReadsAllOrListedPropertiesAndFindsThem) {
    CreateJournal(kContactsJournal);
    CEOID record = AddRecord(kContactsJournal, 0x203, 42);
    CCeDB db;
    db.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, 0, CEDB_AUTOINCREMENT, m_volume.Guid());
    CCeRecord read;
    ASSERT_EQ(read.Read(db, nullptr), S_OK);
    EXPECT_EQ(read.Oid(), record);
    EXPECT_EQ(read.Count(), 2);
    ASSERT_NE(read.Find(PROPID_CONTACT_OID), nullptr);
    EXPECT_EQ(read.Find(PROPID_CONTACT_OID)->val.ulVal, 42u);
    EXPECT_EQ(read.Find(PROPID_CHANGE_STATE)->val.uiVal, 0x203);
    // Past the last record: no identifier, no values left from before.
    EXPECT_EQ(read.Read(db, nullptr), E_FAIL);
    EXPECT_EQ(read.Oid(), 0u);
    EXPECT_EQ(read.Find(PROPID_CONTACT_OID), nullptr);

    CeSeekDatabase(db.Handle(), CEDB_SEEK_BEGINNING, 0, nullptr);
    CCeColumns columns;
    ASSERT_EQ(columns.Set({PROPID_MESSAGE_ENTRY_ID, PROPID_CHANGE_STATE}), S_OK);
    ASSERT_EQ(read.Read(db, &columns), S_OK);
    EXPECT_EQ(read.Count(), 2);
    EXPECT_EQ(read.Find(PROPID_MESSAGE_ENTRY_ID), nullptr);  // flagged not found
    EXPECT_EQ(read.Find(PROPID_CONTACT_OID), nullptr);       // not asked for
    EXPECT_EQ(read.Find(PROPID_CHANGE_STATE)->val.uiVal, 0x203);

    db.Close();
    EXPECT_EQ(read.Read(db, nullptr), E_FAIL);
    EXPECT_EQ(read.Oid(), 0u);
}

}  // namespace
