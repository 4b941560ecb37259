#include <cmath>
#include <limits>

#include "cedb_fixture.h"

namespace emu::cedb::testing {
namespace {

class Records : public CedbTest {
protected:
    Records() {
        m_guid = Mount();
        Create(m_guid, W("sorted"), kNumber);
        Create(m_guid, W("plain"));
    }
    CEGUID m_guid;
};

TEST_F(Records, EveryValueTypeComesBackExactly) {
    HANDLE db = Open(m_guid, W("plain"));
    std::vector<BYTE> bytes{0x00, 0xFF, 0x10, 0x00, 0x7F};
    std::vector<CEPROPVAL> values(9);
    values[0].propid = 0x00010002;  // I2
    values[0].val.iVal = -2;
    values[1].propid = 0x00020012;  // UI2
    values[1].val.uiVal = 0xFFFE;
    values[2].propid = 0x00030003;  // I4
    values[2].val.lVal = -70000;
    values[3].propid = 0x00040013;  // UI4
    values[3].val.ulVal = 0xFFFFFFF0;
    values[4].propid = 0x0005000B;  // BOOL
    values[4].val.boolVal = TRUE;
    values[5].propid = 0x00060005;  // R8
    values[5].val.dblVal = -0.1;
    values[6].propid = 0x00070040;  // FILETIME
    values[6].val.filetime = {0x89ABCDEF, 0x81234567};
    values[7] = Text(0x0008001F, W("Grüße \xD83D\xDE00"));
    values[8] = Blob(0x00090041, bytes);
    CEOID oid = Write(db, 0, values);
    ASSERT_NE(oid, 0u);

    ASSERT_EQ(Read(db), oid);
    ASSERT_EQ(m_count, 9);
    const CEPROPVAL* v = Values();
    EXPECT_EQ(v[0].val.iVal, -2);
    EXPECT_EQ(v[1].val.uiVal, 0xFFFE);
    EXPECT_EQ(v[2].val.lVal, -70000);
    EXPECT_EQ(v[3].val.ulVal, 0xFFFFFFF0u);
    EXPECT_EQ(v[4].val.boolVal, TRUE);
    EXPECT_EQ(v[5].val.dblVal, -0.1);
    EXPECT_EQ(v[6].val.filetime.dwLowDateTime, 0x89ABCDEFu);
    EXPECT_EQ(v[6].val.filetime.dwHighDateTime, 0x81234567u);
    EXPECT_EQ(std::u16string(v[7].val.lpwstr), u"Grüße \xD83D\xDE00");
    ASSERT_EQ(v[8].val.blob.dwCount, bytes.size());
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), v[8].val.blob.lpb));
    // Strings and blobs live in the same buffer, after the array.
    for (int i : {7, 8}) {
        auto* data = reinterpret_cast<const BYTE*>(
            i == 7 ? static_cast<const void*>(v[i].val.lpwstr) : v[i].val.blob.lpb);
        EXPECT_GE(data, m_buffer + 9 * sizeof(CEPROPVAL));
        EXPECT_LT(data, m_buffer + m_size);
    }
    CEPROPVAL unknown = Ui4(0x000A0099, 1);
    EXPECT_EQ(CeWriteRecordProps(db, 0, 1, &unknown), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(db);
}

TEST_F(Records, ReadingWithAFixedBufferReportsTheSizeNeeded) {
    HANDLE db = Open(m_guid, W("plain"));
    CEOID oid = Write(db, 0, {Ui2(kState, 0x203), Text(kText, W("a longer text value"))});
    CEPROPVAL one;
    LPBYTE buffer = reinterpret_cast<LPBYTE>(&one);
    DWORD size = sizeof one;
    WORD count = 1;
    CEPROPID wanted = kState;
    EXPECT_EQ(CeReadRecordPropsEx(db, 0, &count, &wanted, &buffer, &size, nullptr), oid);
    EXPECT_EQ(one.val.uiVal, 0x203);
    EXPECT_EQ(buffer, reinterpret_cast<LPBYTE>(&one));

    count = 0;
    size = sizeof one;
    EXPECT_EQ(CeReadRecordPropsEx(db, 0, &count, nullptr, &buffer, &size, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GT(size, 2 * sizeof(CEPROPVAL) + 19 * sizeof(WCHAR));
    EXPECT_EQ(buffer, reinterpret_cast<LPBYTE>(&one));

    std::vector<BYTE> big(size);
    buffer = big.data();
    EXPECT_EQ(CeReadRecordPropsEx(db, 0, &count, nullptr, &buffer, &size, nullptr), oid);
    EXPECT_EQ(count, 2);
    CloseHandle(db);
}

TEST_F(Records, ReallocationGrowsTheCallersLocalBlock) {
    HANDLE db = Open(m_guid, W("plain"), 0, CEDB_AUTOINCREMENT);
    Write(db, 0, {Ui2(kState, 1)});
    std::u16string longText(600, u'x');
    Write(db, 0, {Ui2(kState, 2), Text(kText, longText.c_str())});
    CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
    ASSERT_NE(Read(db), 0u);
    EXPECT_EQ(LocalSize(m_buffer), m_size);
    ASSERT_NE(Read(db), 0u);
    EXPECT_GE(LocalSize(m_buffer), 1200u);
    EXPECT_EQ(std::u16string(Find(kText)->val.lpwstr), longText);
    EXPECT_EQ(Read(db), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    CloseHandle(db);
}

TEST_F(Records, MissingPropertiesAreFlaggedInTheOrderAsked) {
    HANDLE db = Open(m_guid, W("plain"));
    CEOID oid = Write(db, 0, {Ui2(kState, 3)});
    ASSERT_EQ(Read(db, {kBytes, kState, kNumber}), oid);
    ASSERT_EQ(m_count, 3);
    EXPECT_EQ(Values()[0].propid, kBytes);
    EXPECT_EQ(Values()[0].wFlags, CEDB_PROPNOTFOUND);
    EXPECT_EQ(Values()[1].wFlags, 0);
    EXPECT_EQ(Values()[1].val.uiVal, 3);
    EXPECT_EQ(Values()[2].wFlags, CEDB_PROPNOTFOUND);
    CloseHandle(db);
}

TEST_F(Records, UpdatesMergeAndPropDeleteRemoves) {
    HANDLE db = Open(m_guid, W("plain"));
    std::vector<BYTE> id{9, 8, 7};
    CEOID oid = Write(db, 0, {Ui2(kState, 3), Blob(kBytes, id)});
    EXPECT_EQ(Write(db, oid, {Ui2(kState, 2)}), oid);
    ASSERT_EQ(Read(db), oid);
    ASSERT_EQ(m_count, 2);
    EXPECT_EQ(Values()[0].propid, kState) << "an updated property keeps its place";
    EXPECT_EQ(Find(kState)->val.uiVal, 2);
    EXPECT_EQ(Find(kBytes)->val.blob.dwCount, 3u);

    CEPROPVAL remove{};
    remove.propid = kBytes;
    remove.wFlags = CEDB_PROPDELETE;
    EXPECT_EQ(Write(db, oid, {remove, Ui4(kNumber, 1)}), oid);
    ASSERT_EQ(Read(db), oid);
    EXPECT_EQ(m_count, 2);
    EXPECT_EQ(Find(kBytes), nullptr);
    EXPECT_EQ(Find(kNumber)->val.ulVal, 1u);

    EXPECT_EQ(Write(db, 0x7FFFFFFF, {Ui2(kState, 1)}), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CeWriteRecordProps(db, oid, 0, nullptr), 0u);
    CloseHandle(db);
}

TEST_F(Records, DeletedRecordsLeaveTheOrder) {
    HANDLE db = Open(m_guid, W("plain"));
    CEOID a = Write(db, 0, {Ui2(kState, 1)});
    CEOID b = Write(db, 0, {Ui2(kState, 2)});
    CEOID c = Write(db, 0, {Ui2(kState, 3)});
    ASSERT_TRUE(CeDeleteRecord(db, b));
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{a, c}));
    EXPECT_FALSE(CeDeleteRecord(db, b));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // A record of another database is not this handle's to delete.
    HANDLE other = Open(m_guid, W("sorted"));
    EXPECT_FALSE(CeDeleteRecord(other, a));
    CloseHandle(other);
    CloseHandle(db);
}

TEST_F(Records, SortOrderEnumeratesByValueThenIdentifierWithMissingValuesLast) {
    HANDLE db = Open(m_guid, W("sorted"), kNumber);
    CEOID n30 = Write(db, 0, {Ui4(kNumber, 30)});
    CEOID none = Write(db, 0, {Ui2(kState, 1)});
    CEOID n10 = Write(db, 0, {Ui4(kNumber, 10)});
    CEOID n20a = Write(db, 0, {Ui4(kNumber, 20)});
    CEOID big = Write(db, 0, {Ui4(kNumber, 0xF0000000)});
    CEOID n20b = Write(db, 0, {Ui4(kNumber, 20)});
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{n10, n20a, n20b, n30, big, none}));
    // A changed value moves the record.
    Write(db, n30, {Ui4(kNumber, 1)});
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{n30, n10, n20a, n20b, big, none}));

    HANDLE plain = Open(m_guid, W("sorted"));
    EXPECT_EQ(Walk(plain), (std::vector<CEOID>{n30, none, n10, n20a, big, n20b}));
    CloseHandle(plain);
    CloseHandle(db);
}

TEST_F(Records, StringSortOrdersCompareByCodeUnit) {
    CEDBASEINFO info{};
    info.dwFlags = CEDB_VALIDNAME | CEDB_VALIDSORTSPEC;
    std::u16string name = u"names";
    std::copy(name.begin(), name.end(), info.szDbaseName);
    info.wNumSortOrder = 1;
    info.rgSortSpecs[0] = {kText, 0};
    ASSERT_NE(CeCreateDatabaseEx(&m_guid, &info), 0u);
    HANDLE db = Open(m_guid, W("names"), kText);
    CEOID b = Write(db, 0, {Text(kText, W("b"))});
    CEOID ab = Write(db, 0, {Text(kText, W("ab"))});
    CEOID a = Write(db, 0, {Text(kText, W("a"))});
    CEOID upper = Write(db, 0, {Text(kText, W("B"))});
    EXPECT_EQ(Walk(db), (std::vector<CEOID>{upper, a, ab, b}));
    CloseHandle(db);
}

TEST_F(Records, SeeksLandOnRecordsAndReportTheirIndex) {
    HANDLE db = Open(m_guid, W("sorted"), kNumber);
    CEOID n3 = Write(db, 0, {Ui4(kNumber, 3), Ui2(kState, 0)});
    CEOID n1 = Write(db, 0, {Ui4(kNumber, 1)});
    CEOID n2 = Write(db, 0, {Ui4(kNumber, 2)});
    CEOID n2b = Write(db, 0, {Ui4(kNumber, 2)});
    DWORD index = 99;

    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CEOID, n3, &index), n3);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(Read(db), n3) << "reads the record the seek landed on";
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, static_cast<DWORD>(-1), &index), n2b);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 1, &index), n2);
    EXPECT_EQ(index, 1u);

    CEPROPVAL two = Ui4(kNumber, 2);
    EXPECT_EQ(
        CeSeekDatabase(db, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&two), &index),
        n2);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(CeSeekDatabaseEx(db, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&two), 1,
                               nullptr),
              n2);

    // Failed seeks answer 0 and leave the position where it was.
    CEPROPVAL five = Ui4(kNumber, 5);
    EXPECT_EQ(
        CeSeekDatabase(db, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&five), nullptr),
        0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 4, nullptr), 0u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, static_cast<DWORD>(-2), nullptr), 0u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CEOID, 0x7FFFFFFF, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
    EXPECT_EQ(Read(db), n2);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, 0, nullptr), n2);

    CEPROPVAL state = Ui2(kState, 0);
    EXPECT_EQ(
        CeSeekDatabase(db, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&state), nullptr),
        0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "not the sort";
    EXPECT_EQ(CeSeekDatabase(db, 0x10 /* to a smaller value */, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    (void)n1;
    CloseHandle(db);

    HANDLE plain = Open(m_guid, W("sorted"));
    EXPECT_EQ(CeSeekDatabase(plain, CEDB_SEEK_VALUEFIRSTEQUAL, reinterpret_cast<DWORD_PTR>(&two),
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "no sort order";
    CloseHandle(plain);
    EXPECT_EQ(CeSeekDatabase(plain, CEDB_SEEK_BEGINNING, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(Records, SeeksCrossFromValuedRecordsToThoseWithoutAValueBothWays) {
    HANDLE db = Open(m_guid, W("sorted"), kNumber);
    CEOID none1 = Write(db, 0, {Ui2(kState, 1)});
    CEOID n20 = Write(db, 0, {Ui4(kNumber, 20)});
    CEOID none2 = Write(db, 0, {Ui2(kState, 2)});
    CEOID n10 = Write(db, 0, {Ui4(kNumber, 10)});
    // Order: n10, n20, none1, none2.
    DWORD index = 99;
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 3, &index), none2);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, static_cast<DWORD>(-2), &index), n20);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, 2, &index), none2);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, static_cast<DWORD>(-3), &index), n10);
    EXPECT_EQ(index, 0u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CEOID, none1, &index), none1);
    EXPECT_EQ(index, 2u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, 2, nullptr), 0u) << "past the last record";
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, static_cast<DWORD>(-2), nullptr), n10);

    // From the end: counted back from the last record, its index known without a pass.
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_END, 0, &index), none2);
    EXPECT_EQ(index, 3u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_END, 2, &index), n20);
    EXPECT_EQ(index, 1u);
    EXPECT_EQ(Read(db), n20) << "reads the record the seek landed on";
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_END, 4, &index), 0u) << "before the first record";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
    EXPECT_EQ(index, 1u) << "a failed seek stores no index";
    EXPECT_EQ(Read(db), n20) << "and leaves the position";
    HANDLE plain = Open(m_guid, W("sorted"));
    EXPECT_EQ(CeSeekDatabase(plain, CEDB_SEEK_END, 0, &index), n10) << "CEOID order";
    EXPECT_EQ(index, 3u);
    CloseHandle(plain);
    HANDLE empty = Open(m_guid, W("plain"));
    EXPECT_EQ(CeSeekDatabase(empty, CEDB_SEEK_END, 0, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SEEK));
    CloseHandle(empty);

    // A record taken away under the position: seeks count from where it was.
    CeSeekDatabase(db, CEDB_SEEK_CEOID, none1, nullptr);
    HANDLE writer = Open(m_guid, W("sorted"));
    ASSERT_TRUE(CeDeleteRecord(writer, none1));
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, 0, &index), none2);
    EXPECT_EQ(index, 2u);
    CeSeekDatabase(db, CEDB_SEEK_CEOID, n20, nullptr);
    ASSERT_TRUE(CeDeleteRecord(writer, n20));
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_CURRENT, static_cast<DWORD>(-1), nullptr), n10);
    CloseHandle(writer);
    CloseHandle(db);
}

TEST_F(Records, SequentialReadsKeepEachRecordsPropertiesInWrittenOrder) {
    HANDLE db = Open(m_guid, W("plain"), 0, CEDB_AUTOINCREMENT);
    CEOID mixed = Write(db, 0, {Text(kText, W("t")), Ui4(kNumber, 4), Ui2(kState, 2)});
    CEOID emptied = Write(db, 0, {Ui2(kState, 1)});
    CEPROPVAL gone = Ui2(kState, 0);
    gone.wFlags = CEDB_PROPDELETE;
    ASSERT_EQ(Write(db, emptied, {gone}), emptied);
    CEOID last = Write(db, 0, {Ui2(kState, 3), Ui4(kNumber, 3)});
    ASSERT_EQ(Write(db, last, {Text(kText, W("x")), Ui2(kState, 5)}), last);

    CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
    ASSERT_EQ(Read(db), mixed);
    ASSERT_EQ(m_count, 3);
    EXPECT_EQ(Values()[0].propid, kText);
    EXPECT_EQ(Values()[1].propid, kNumber);
    EXPECT_EQ(Values()[2].propid, kState);
    ASSERT_EQ(Read(db), emptied) << "a record without properties is still read";
    EXPECT_EQ(m_count, 0);
    ASSERT_EQ(Read(db), last);
    ASSERT_EQ(m_count, 3);
    EXPECT_EQ(Values()[0].propid, kState);
    EXPECT_EQ(Values()[0].val.uiVal, 5);
    EXPECT_EQ(Values()[1].propid, kNumber);
    EXPECT_EQ(Values()[2].propid, kText);
    EXPECT_EQ(Read(db), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    CloseHandle(db);
}

TEST_F(Records, AutoIncrementReadsOnPastADeletedRecordWithoutAValue) {
    HANDLE db = Open(m_guid, W("sorted"), kNumber, CEDB_AUTOINCREMENT);
    CEOID n1 = Write(db, 0, {Ui4(kNumber, 1)});
    CEOID none1 = Write(db, 0, {Ui2(kState, 1)});
    CEOID none2 = Write(db, 0, {Ui2(kState, 2)});
    CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
    EXPECT_EQ(Read(db), n1);
    EXPECT_EQ(Read(db), none1);
    ASSERT_TRUE(CeDeleteRecord(db, none1));
    CEOID n0 = Write(db, 0, {Ui4(kNumber, 0)});
    EXPECT_EQ(Read(db), none2) << "a record added before the position is not read";
    EXPECT_EQ(Read(db), 0u);
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr), n0);
    CloseHandle(db);
}

TEST_F(Records, AutoIncrementReadsOnAndSeesRecordsAddedBehindThePosition) {
    HANDLE db = Open(m_guid, W("sorted"), kNumber, CEDB_AUTOINCREMENT);
    HANDLE writer = Open(m_guid, W("sorted"), kNumber);
    CEOID n10 = Write(writer, 0, {Ui4(kNumber, 10)});
    CEOID n30 = Write(writer, 0, {Ui4(kNumber, 30)});
    CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
    EXPECT_EQ(Read(db), n10);
    CEOID n5 = Write(writer, 0, {Ui4(kNumber, 5)});
    CEOID n20 = Write(writer, 0, {Ui4(kNumber, 20)});
    EXPECT_EQ(Read(db), n20);
    ASSERT_TRUE(CeDeleteRecord(writer, n30));
    EXPECT_EQ(Read(db), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    EXPECT_EQ(CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr), n5);
    CloseHandle(writer);
    CloseHandle(db);
}

TEST_F(Records, LongSequentialReadsSeeEveryChangeMadeWhileTheyRun) {
    HANDLE db = Open(m_guid, W("sorted"), kNumber, CEDB_AUTOINCREMENT);
    HANDLE writer = Open(m_guid, W("sorted"), kNumber);
    // 700 records: 400 with a value (written in falling order), then 300 without one.
    std::vector<CEOID> expected(400);
    for (int i = 399; i >= 0; --i) expected[i] = Write(writer, 0, {Ui4(kNumber, 1000 + i)});
    for (int i = 0; i < 300; ++i) expected.push_back(Write(writer, 0, {Ui2(kState, i)}));

    std::vector<CEOID> read;
    std::vector<ULONG> numbers;
    CeSeekDatabase(db, CEDB_SEEK_BEGINNING, 0, nullptr);
    for (CEOID oid = Read(db); oid; oid = Read(db)) {
        read.push_back(oid);
        const CEPROPVAL* number = Find(kNumber);
        numbers.push_back(number ? number->val.ulVal : 0);
        if (read.size() == 100) {
            // Ahead of the reader: one record changes, one goes, one gets a value past the end
            // of the valued records, one is added among the records without a value.
            ASSERT_EQ(Write(writer, expected[300], {Ui4(kNumber, 7)}), expected[300]);
            ASSERT_TRUE(CeDeleteRecord(writer, expected[301]));
            ASSERT_EQ(Write(writer, expected[450], {Ui4(kNumber, 1400)}), expected[450]);
            expected.push_back(Write(writer, 0, {Ui2(kState, 9)}));
        }
    }
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));
    // Record 300 now sorts before the position (value 7) and is not read again; 301 is gone;
    // 450 moved among the valued records, after every other one.
    std::vector<CEOID> order(expected.begin(), expected.begin() + 300);
    order.insert(order.end(), expected.begin() + 302, expected.begin() + 400);
    order.push_back(expected[450]);
    for (size_t i = 400; i < expected.size(); ++i)
        if (i != 450) order.push_back(expected[i]);
    EXPECT_EQ(read, order);
    ASSERT_EQ(numbers.size(), order.size());
    EXPECT_EQ(numbers[0], 1000u);
    EXPECT_EQ(numbers[299], 1299u);
    EXPECT_EQ(numbers[300], 1302u);
    EXPECT_EQ(numbers[398], 1400u);
    EXPECT_EQ(numbers[399], 0u);
    CloseHandle(writer);
    CloseHandle(db);
}

}  // namespace
}  // namespace emu::cedb::testing
