#include "cedb_fixture.h"
#include "pal/runtime/machine.h"

namespace emu::cedb::testing {
namespace {

class Databases : public CedbTest {};

TEST_F(Databases, ADuplicateNameIsRefusedWithoutRegardToCase) {
    CEGUID guid = Mount();
    CEOID first = Create(guid, W("_notif_KT"), kNumber);
    ASSERT_NE(first, 0u);
    HANDLE db = Open(guid, W("_notif_KT"), kNumber);
    CEOID record = Write(db, 0, {Ui4(kNumber, 7)});
    CloseHandle(db);

    SetLastError(0);
    EXPECT_EQ(Create(guid, W("_NOTIF_kt"), kNumber), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DUP_NAME));
    // The existing database and its records are untouched.
    CEOIDINFO info;
    ASSERT_TRUE(CeOidGetInfoEx(&guid, record, &info));
    EXPECT_EQ(info.infRecord.oidParent, first);
    // The same name in another volume is another database.
    EXPECT_NE(Create(SystemGuid(), W("_notif_KT"), kNumber), 0u);
}

TEST_F(Databases, BadDescriptionsAreRefused) {
    CEGUID guid = Mount();
    CEDBASEINFO info{};
    info.dwFlags = CEDB_VALIDTYPE;
    EXPECT_EQ(CeCreateDatabaseEx(&guid, &info), 0u) << "no name";
    info.dwFlags = CEDB_VALIDNAME;
    EXPECT_EQ(CeCreateDatabaseEx(&guid, &info), 0u) << "empty name";
    std::fill(std::begin(info.szDbaseName), std::end(info.szDbaseName), u'x');
    EXPECT_EQ(CeCreateDatabaseEx(&guid, &info), 0u) << "name without terminator";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    info.szDbaseName[31] = 0;
    info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDSORTSPEC;
    info.wNumSortOrder = 5;
    EXPECT_EQ(CeCreateDatabaseEx(&guid, &info), 0u) << "five sort orders";
    info.wNumSortOrder = 1;
    info.rgSortSpecs[0] = {0x40010000, 0};
    EXPECT_EQ(CeCreateDatabaseEx(&guid, &info), 0u) << "unknown value type";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CeCreateDatabaseEx(&guid, nullptr), 0u);
    info.rgSortSpecs[0] = {kNumber, 0};
    EXPECT_NE(CeCreateDatabaseEx(&guid, &info), 0u) << "31 characters and a terminator";
}

TEST_F(Databases, OpenByNameOrByIdentifier) {
    CEGUID guid = Mount();
    CEOID created = Create(guid, W("_notif_KTMSG"));
    CEOID oid = 0;
    HANDLE byName = Open(guid, W("_notif_ktmsg"), 0, 0, nullptr, &oid);
    ASSERT_NE(byName, INVALID_HANDLE_VALUE);
    EXPECT_EQ(oid, created);
    CEOID record = Write(byName, 0, {Ui2(kState, 3)});

    HANDLE byId = CeOpenDatabaseEx(&guid, &oid, nullptr, 0, 0, nullptr);
    ASSERT_NE(byId, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Read(byId), record);
    CloseHandle(byName);
    CloseHandle(byId);

    EXPECT_EQ(Open(guid, W("missing")), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CEOID wrong = record;
    EXPECT_EQ(CeOpenDatabaseEx(&guid, &wrong, nullptr, 0, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(Open(guid, W("_notif_KTMSG"), kNumber), INVALID_HANDLE_VALUE) << "no such sort";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(Open(guid, W("_notif_KTMSG"), 0, 0x2), INVALID_HANDLE_VALUE) << "unknown flag";
    CENOTIFYREQUEST noWindow{20, nullptr, CEDB_EXNOTIFICATION, nullptr, 0};
    EXPECT_EQ(Open(guid, W("_notif_KTMSG"), 0, 0, &noWindow), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Databases, ObjectInformationDescribesDatabasesAndRecords) {
    CEGUID guid = Mount();
    m_world.Device().FreezeClock(0x01D0000000000000ull);
    CEOID oid = Create(guid, W("_notif_KT"), kNumber);
    HANDLE db = Open(guid, W("_notif_KT"), kNumber);
    std::vector<BYTE> bytes{1, 2, 3};
    m_world.Device().FreezeClock(0x01D0000012345678ull);
    CEOID a = Write(db, 0, {Ui4(kNumber, 5), Ui2(kState, 3)});
    Write(db, 0, {Ui4(kNumber, 6), Blob(kBytes, bytes)});
    CloseHandle(db);

    CEOIDINFO info;
    ASSERT_TRUE(CeOidGetInfoEx(&guid, oid, &info));
    EXPECT_EQ(info.wObjType, OBJTYPE_DATABASE);
    const CEDBASEINFO& d = info.infDatabase;
    EXPECT_EQ(std::u16string(d.szDbaseName), u"_notif_KT");
    EXPECT_EQ(d.dwDbaseType, 12345u);
    EXPECT_EQ(d.wNumRecords, 2);
    EXPECT_EQ(d.wNumSortOrder, 1);
    EXPECT_EQ(d.rgSortSpecs[0].propid, kNumber);
    EXPECT_GT(d.dwSize, 0u);
    EXPECT_EQ(d.ftLastModified.dwHighDateTime, 0x01D00000u);
    EXPECT_EQ(d.ftLastModified.dwLowDateTime, 0x12345678u);
    EXPECT_TRUE(d.dwFlags & CEDB_VALIDNAME);

    ASSERT_TRUE(CeOidGetInfoEx(&guid, a, &info));
    EXPECT_EQ(info.wObjType, OBJTYPE_RECORD);
    EXPECT_EQ(info.infRecord.oidParent, oid);

    db = Open(guid, W("_notif_KT"));
    ASSERT_TRUE(CeDeleteRecord(db, a));
    CloseHandle(db);
    EXPECT_FALSE(CeOidGetInfoEx(&guid, a, &info));
    EXPECT_EQ(info.wObjType, OBJTYPE_INVALID);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A volume answers only for its own objects.
    CEGUID system = SystemGuid();
    EXPECT_FALSE(CeOidGetInfoEx(&system, oid, &info));
}

TEST_F(Databases, RecordCountAndSizeFollowEveryWrite) {
    CEGUID guid = Mount();
    Create(guid, W("counted"));
    CEOID oid = 0;
    HANDLE db = Open(guid, W("counted"), 0, 0, nullptr, &oid);
    auto totals = [&] {
        CEOIDINFO info{};
        EXPECT_TRUE(CeOidGetInfoEx(&guid, oid, &info));
        return std::make_pair(info.infDatabase.wNumRecords, info.infDatabase.dwSize);
    };
    EXPECT_EQ(totals(), std::make_pair(WORD{0}, DWORD{0}));
    CEOID a = Write(db, 0, {Ui4(kNumber, 1)});
    auto one = totals();
    EXPECT_EQ(one.first, 1);
    EXPECT_GT(one.second, 0u);
    std::vector<BYTE> bytes(100, 7);
    Write(db, a, {Blob(kBytes, bytes)});
    auto grown = totals();
    EXPECT_EQ(grown.first, 1);
    EXPECT_GE(grown.second, one.second + 100);
    CEOID b = Write(db, 0, {Ui4(kNumber, 2)});
    EXPECT_EQ(totals(), std::make_pair(WORD{2}, grown.second + one.second));
    ASSERT_TRUE(CeDeleteRecord(db, a));
    EXPECT_EQ(totals(), one);
    // A failed write changes nothing.
    EXPECT_FALSE(Write(db, 0x7FFFFF, {Ui4(kNumber, 3)}));
    EXPECT_EQ(totals(), one);
    (void)b;
    CloseHandle(db);

    // Counted afresh after a remount, the totals are the same.
    ASSERT_TRUE(CeUnmountDBVol(&guid));
    guid = Mount();
    EXPECT_EQ(totals(), one);
}

TEST_F(Databases, DeletingTakesTheRecordsAndWaitsForHandlesToClose) {
    CEGUID guid = Mount();
    CEOID oid = Create(guid, W("_notif_KT"), kNumber);
    HANDLE db = Open(guid, W("_notif_KT"));
    CEOID record = Write(db, 0, {Ui4(kNumber, 1)});
    EXPECT_FALSE(CeDeleteDatabaseEx(&guid, oid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    CloseHandle(db);

    ASSERT_TRUE(CeDeleteDatabaseEx(&guid, oid));
    CEOIDINFO info;
    EXPECT_FALSE(CeOidGetInfoEx(&guid, oid, &info));
    EXPECT_FALSE(CeOidGetInfoEx(&guid, record, &info));
    EXPECT_FALSE(CeDeleteDatabaseEx(&guid, oid));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // The name is free again; identifiers are not given out twice.
    CEOID again = Create(guid, W("_notif_KT"), kNumber);
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, oid);
    EXPECT_NE(again, record);
}

}  // namespace
}  // namespace emu::cedb::testing
