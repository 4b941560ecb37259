// Volume files as they lie on disk: files written in the earlier row-per-property layout open
// with their records intact, and a damaged record is reported rather than read as something else.
#include <filesystem>
#include <string>

#include "cedb_fixture.h"
#include "sqlite_testing/sql_file.h"

namespace emu::cedb::testing {
namespace {

class StoredLayout : public CedbTest {
protected:
    std::filesystem::path VolumeFile() { return m_world.Device().RootDir() / "kestrin.vol"; }

    void Execute(const std::string& sql) {
        ASSERT_EQ(sqlite::testing::ExecuteSql(VolumeFile(), sql), "");
    }
};

constexpr CEOID kDatabase = 0x02000001;
constexpr CEOID kA = 0x02000002;  // kState then kNumber 2
constexpr CEOID kB = 0x02000003;  // kNumber 1
constexpr CEOID kC = 0x02000004;  // no properties at all

TEST_F(StoredLayout, AVolumeInTheRowPerPropertyLayoutOpensWithItsRecordsInOrder) {
    Execute(R"(
        CREATE TABLE volume(key TEXT PRIMARY KEY, value INTEGER NOT NULL);
        INSERT INTO volume VALUES ('format', 1), ('tag', 2), ('next_serial', 5);
        CREATE TABLE databases(
            oid INTEGER PRIMARY KEY, name BLOB NOT NULL, name_key TEXT NOT NULL UNIQUE,
            type INTEGER NOT NULL, flags INTEGER NOT NULL, modified INTEGER NOT NULL);
        INSERT INTO databases VALUES (33554433, x'5F006E006F007400690066005F004B005400',
                                      '_NOTIF_KT', 12345, 0, 0);
        CREATE TABLE sort_orders(
            db INTEGER NOT NULL, position INTEGER NOT NULL, propid INTEGER NOT NULL,
            flags INTEGER NOT NULL, PRIMARY KEY(db, position));
        INSERT INTO sort_orders VALUES (33554433, 0, 2691235859, 0);
        CREATE TABLE records(oid INTEGER PRIMARY KEY, db INTEGER NOT NULL, size INTEGER NOT NULL);
        CREATE INDEX records_by_db ON records(db, oid);
        INSERT INTO records VALUES (33554434, 33554433, 22), (33554435, 33554433, 12),
                                   (33554436, 33554433, 0);
        CREATE TABLE properties(
            record INTEGER NOT NULL, db INTEGER NOT NULL, propid INTEGER NOT NULL,
            position INTEGER NOT NULL, data BLOB NOT NULL, sort_key,
            PRIMARY KEY(record, propid));
        CREATE INDEX properties_by_key ON properties(db, propid, sort_key, record);
        INSERT INTO properties VALUES
            (33554434, 33554433, 2691694610, 1, x'0302', 515),
            (33554434, 33554433, 2691235859, 2, x'02000000', 2),
            (33554435, 33554433, 2691235859, 1, x'01000000', 1);
    )");
    CEGUID guid = Mount(W("\\kestrin.vol"), OPEN_EXISTING);
    CEOID oid = 0;
    HANDLE db = Open(guid, W("_notif_KT"), kNumber, CEDB_AUTOINCREMENT, nullptr, &oid);
    ASSERT_NE(db, INVALID_HANDLE_VALUE);
    EXPECT_EQ(oid, kDatabase);
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{kB, kA, kC}));

    ASSERT_EQ(CeSeekDatabase(db, CEDB_SEEK_CEOID, kA, nullptr), kA);
    ASSERT_EQ(Read(db), kA);
    ASSERT_EQ(m_count, 2);
    // Properties keep the order they were first written in.
    EXPECT_EQ(Values()[0].propid, kState);
    EXPECT_EQ(Values()[0].val.uiVal, 0x203);
    EXPECT_EQ(Values()[1].propid, kNumber);
    EXPECT_EQ(Values()[1].val.ulVal, 2u);

    CEPROPVAL wanted = Ui4(kNumber, 1);
    EXPECT_EQ(CeSeekDatabaseEx(db, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&wanted),
                               1, nullptr),
              kB);
    CEOIDINFO info{};
    ASSERT_TRUE(CeOidGetInfoEx(&guid, kDatabase, &info));
    EXPECT_EQ(info.infDatabase.wNumRecords, 3);
    EXPECT_EQ(info.infDatabase.dwSize, 34u);

    // Writing goes on in the current layout, with identifiers after the old ones.
    CEOID d = Write(db, 0, {Ui4(kNumber, 0)});
    EXPECT_EQ(d, 0x02000005u);
    EXPECT_EQ(Write(db, kC, {Ui4(kNumber, 3)}), kC);
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{d, kB, kA, kC}));
    CloseHandle(db);
    ASSERT_TRUE(CeUnmountDBVol(&guid));

    guid = Mount(W("\\kestrin.vol"), OPEN_EXISTING);
    db = Open(guid, W("_notif_KT"), kNumber);
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{d, kB, kA, kC}));
    CloseHandle(db);
}

TEST_F(StoredLayout, ADamagedRecordFailsToReadAsInvalidData) {
    CEGUID guid = Mount();
    Create(guid, W("db"));
    HANDLE db = Open(guid, W("db"));
    CEOID record = Write(db, 0, {Ui4(kNumber, 7), Ui2(kState, 1)});
    CloseHandle(db);
    ASSERT_TRUE(CeUnmountDBVol(&guid));
    // A property whose length runs past the end of the record.
    Execute("UPDATE records SET props = x'130069A0FF00000001' WHERE oid = " +
            std::to_string(record));

    guid = Mount(W("\\kestrin.vol"), OPEN_EXISTING);
    db = Open(guid, W("db"));
    ASSERT_EQ(CeSeekDatabase(db, CEDB_SEEK_CEOID, record, nullptr), record);
    SetLastError(0);
    EXPECT_EQ(Read(db), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    CloseHandle(db);
}

}  // namespace
}  // namespace emu::cedb::testing
