#include <gtest/gtest.h>

#include <string>

#include "packet_test_support.h"

namespace {

using packet_test::Bytes;
using packet_test::Concat;
using packet_test::Le32;
using packet_test::TestAllocator;

// One Add into a fresh packet, as bytes (count excluded), written over memory pre-filled with
// 0xCC so that every padding byte the writer leaves alone shows.
std::vector<BYTE> EntryBytes(ULONG tag, LPCVOID value) {
    TestAllocator allocator;
    PacketWriter writer(allocator);
    writer.Begin(4);
    EXPECT_EQ(writer.Add(tag, value), S_OK);
    EXPECT_EQ(LoadLe32(writer.Data()), 1u);
    return {writer.Data() + 4, writer.Data() + writer.Length()};
}

TEST(PacketWriter, EmptyPacketIsACountOfZero) {
    PacketWriter writer;
    ASSERT_NE(writer.Begin(64), nullptr);
    EXPECT_EQ(Bytes(writer), (std::vector<BYTE>{0, 0, 0, 0}));
    EXPECT_EQ(writer.Capacity(), 64u);
    // A recommended size below the count's own 4 bytes still holds the count.
    ASSERT_NE(writer.Begin(1), nullptr);
    EXPECT_EQ(writer.Capacity(), 4u);
    EXPECT_EQ(Bytes(writer), (std::vector<BYTE>{0, 0, 0, 0}));
}

TEST(PacketWriter, FixedSizeValuesAreLittleEndianAndZeroPadded) {
    const WORD word = 0xBEEF;
    EXPECT_EQ(EntryBytes(PROP_TAG(PT_I2, 0x0001), &word),
              (std::vector<BYTE>{0x02, 0x00, 0x01, 0x00, 0xEF, 0xBE, 0, 0}));
    EXPECT_EQ(EntryBytes(PROP_TAG(CEVT_UI2, 0x0001), &word).size(), 8u);
    const DWORD number = 0x11223344;
    EXPECT_EQ(EntryBytes(PR_MESSAGE_FLAGS, &number),
              Concat({Le32(PR_MESSAGE_FLAGS), {0x44, 0x33, 0x22, 0x11}}));
    EXPECT_EQ(EntryBytes(PROP_TAG(CEVT_UI4, 0x0002), &number).size(), 8u);
    EXPECT_EQ(EntryBytes(PROP_TAG(PT_R4, 0x0002), &number).size(), 8u);
    const FILETIME time{0x11223344, 0x55667788};
    EXPECT_EQ(
        EntryBytes(PR_MESSAGE_DELIVERY_TIME, &time),
        Concat({Le32(PR_MESSAGE_DELIVERY_TIME), {0x44, 0x33, 0x22, 0x11, 0x88, 0x77, 0x66, 0x55}}));
    const double real = 1.5;
    EXPECT_EQ(EntryBytes(PROP_TAG(PT_DOUBLE, 0x0003), &real),
              Concat({Le32(PROP_TAG(PT_DOUBLE, 0x0003)), {0, 0, 0, 0, 0, 0, 0xF8, 0x3F}}));
}

TEST(PacketWriter, StringsCarryTheirTerminatorAndNullIsEmpty) {
    const std::vector<BYTE> tag = Le32(PR_SUBJECT_W);
    EXPECT_EQ(EntryBytes(PR_SUBJECT_W, u""), Concat({tag, {0, 0, 0, 0}}));
    EXPECT_EQ(EntryBytes(PR_SUBJECT_W, nullptr), Concat({tag, {0, 0, 0, 0}}));
    EXPECT_EQ(EntryBytes(PR_SUBJECT_W, u"A"), Concat({tag, {'A', 0, 0, 0}}));
    EXPECT_EQ(EntryBytes(PR_SUBJECT_W, u"AB"), Concat({tag, {'A', 0, 'B', 0, 0, 0, 0, 0}}));
    EXPECT_EQ(EntryBytes(PR_SUBJECT_W, u"ABC"), Concat({tag, {'A', 0, 'B', 0, 'C', 0, 0, 0}}));
    EXPECT_EQ(EntryBytes(PR_SUBJECT_W, u"\u00e9\u20ac"),
              Concat({tag, {0xE9, 0x00, 0xAC, 0x20, 0, 0, 0, 0}}));
}

TEST(PacketWriter, BinaryValuesAreACountThenTheBytes) {
    BYTE five[] = {1, 2, 3, 4, 5};
    PacketBinary blob{5, five};
    EXPECT_EQ(EntryBytes(PR_ENTRYID, &blob),
              Concat({Le32(PR_ENTRYID), Le32(5), {1, 2, 3, 4, 5, 0, 0, 0}}));
    EXPECT_EQ(EntryBytes(PROP_TAG(CEVT_BLOB, 0x0004), &blob).size(), 16u);
    EXPECT_EQ(EntryBytes(PR_ENTRYID, nullptr), Concat({Le32(PR_ENTRYID), Le32(0)}));
    PacketBinary empty{0, nullptr};
    EXPECT_EQ(EntryBytes(PR_ENTRYID, &empty), Concat({Le32(PR_ENTRYID), Le32(0)}));
}

TEST(PacketWriter, BooleansClearMarkersAndUnknownTypesAreBareTags) {
    const DWORD truth = 1;
    EXPECT_EQ(EntryBytes(PROP_TAG(PT_BOOLEAN, 0x0005), &truth), Le32(PROP_TAG(PT_BOOLEAN, 5)));
    EXPECT_EQ(EntryBytes(0x0091041F, nullptr), Le32(0x0091041F));
    EXPECT_EQ(EntryBytes(ClearMarkerOf(PROP_TAG(PT_SYSTIME, 0x00F1)), nullptr), Le32(0x00F10440));
    EXPECT_EQ(EntryBytes(0x12341234, &truth), Le32(0x12341234));
}

TEST(PacketWriter, EntriesFollowEachOtherAndTheCountGrows) {
    PacketWriter writer;
    writer.Begin(16);
    const DWORD flags = 0x10;
    BYTE records[3 * kAttachmentRecordSize] = {};
    PacketBinary blob{sizeof records, records};
    ASSERT_EQ(writer.Add(PR_SUBJECT_W, u"Hi"), S_OK);
    ASSERT_EQ(writer.Add(PR_ATTACH_DATA_BIN, &blob), S_OK);
    ASSERT_EQ(writer.Add(PR_MESSAGE_FLAGS, &flags), S_OK);
    EXPECT_EQ(LoadLe32(writer.Data()), 3u);
    // 4 count + 12 subject + 1,604 records (tag, count, 1,596 bytes) + 8 flags.
    EXPECT_EQ(writer.Length(), 4u + 12 + 1604 + 8);
    EXPECT_EQ(LoadLe32(writer.Data() + 16), PR_ATTACH_DATA_BIN);
    EXPECT_EQ(LoadLe32(writer.Data() + 20), 1596u);
    EXPECT_EQ(LoadLe32(writer.Data() + 1620), PR_MESSAGE_FLAGS);
}

TEST(PacketWriter, GrowsToAnExactFitPlus1024WhenThePaddedEntryDoesNotFit) {
    PacketWriter writer;
    writer.Begin(10);
    EXPECT_EQ(writer.Capacity(), 10u);
    // Unpadded the 16-bit entry fits exactly (10 bytes), padded (12) it does not.
    const WORD word = 7;
    ASSERT_EQ(writer.Add(PROP_TAG(PT_I2, 1), &word), S_OK);
    EXPECT_EQ(writer.Capacity(), 10u + 1024);
    EXPECT_EQ(writer.Length(), 12u);
    // 12 + 4 tag + 4 count + 1,012 bytes = 1,032: fits the 1,034-byte block, no growth.
    std::vector<BYTE> bytes(1012);
    PacketBinary blob{1012, bytes.data()};
    ASSERT_EQ(writer.Add(PR_ENTRYID, &blob), S_OK);
    EXPECT_EQ(writer.Length(), 1032u);
    EXPECT_EQ(writer.Capacity(), 1034u);
    // The next 8-byte entry needs 1,040 bytes: exact fit plus 1,024.
    const DWORD number = 1;
    ASSERT_EQ(writer.Add(PR_MESSAGE_SIZE, &number), S_OK);
    EXPECT_EQ(writer.Capacity(), 1040u + 1024);
    // A recommended size that holds everything is never grown.
    writer.Begin(4096);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(writer.Add(PR_MESSAGE_SIZE, &number), S_OK);
    EXPECT_EQ(writer.Capacity(), 4096u);
}

TEST(PacketWriter, RefusesEntriesPastTheLimitAndKeepsThePacket) {
    PacketWriter writer;
    writer.Begin(1024);
    const DWORD flags = 1;
    ASSERT_EQ(writer.Add(PR_MESSAGE_FLAGS, &flags), S_OK);
    const std::vector<BYTE> before = Bytes(writer);
    // 12 bytes so far; a binary value of 259,981 bytes needs 12 + 4 + 4 + 259,981 = 260,001.
    std::vector<BYTE> big(259981, 0xAB);
    PacketBinary blob{static_cast<ULONG>(big.size()), big.data()};
    EXPECT_EQ(writer.Add(PR_ENTRYID, &blob), E_POINTER);
    EXPECT_EQ(Bytes(writer), before);
    const std::u16string body(130000, u'x');  // 260,002 value bytes on its own
    EXPECT_EQ(writer.Add(PR_BODY_W, body.c_str()), E_POINTER);
    EXPECT_EQ(Bytes(writer), before);
    // Smaller properties still go in, and the limit counts the value unpadded: 259,979 bytes
    // make the entry end at 259,999, padded to exactly 260,000.
    blob.cb = 259979;
    EXPECT_EQ(writer.Add(PR_ENTRYID, &blob), S_OK);
    EXPECT_EQ(writer.Length(), 260000u);
    EXPECT_EQ(LoadLe32(writer.Data()), 2u);
    EXPECT_EQ(writer.Add(PROP_TAG(PT_BOOLEAN, 1), nullptr), E_POINTER);
    EXPECT_EQ(LoadLe32(writer.Data()), 2u);
}

TEST(PacketWriter, AnEntryEndingExactlyAtTheLimitIsAccepted) {
    PacketWriter writer;
    writer.Begin(64);
    std::vector<BYTE> big(259988);  // 4 + 4 + 4 + 259,988 = 260,000
    PacketBinary blob{static_cast<ULONG>(big.size()), big.data()};
    EXPECT_EQ(writer.Add(PR_ENTRYID, &blob), S_OK);
    EXPECT_EQ(writer.Length(), 260000u);
}

TEST(PacketWriter, WithoutABufferAddFails) {
    PacketWriter never;
    EXPECT_EQ(never.Add(PR_SUBJECT_W, u"x"), E_FAIL);
    EXPECT_EQ(never.Data(), nullptr);

    TestAllocator allocator;
    {
        PacketWriter writer(allocator);
        writer.Begin(32);
        ASSERT_EQ(writer.Add(PR_SUBJECT_W, u"x"), S_OK);
        EXPECT_EQ(writer.Begin(0), nullptr);
        EXPECT_EQ(allocator.live, 0);  // Begin(0) released the packet
        EXPECT_EQ(writer.Data(), nullptr);
        EXPECT_EQ(writer.Length(), 0u);
        EXPECT_EQ(writer.Add(PR_SUBJECT_W, u"x"), E_FAIL);
        writer.Begin(32);
        writer.Begin(32);
        EXPECT_EQ(allocator.live, 1);  // each Begin frees the packet before
    }
    EXPECT_EQ(allocator.live, 0);  // and the writer frees its last one

    allocator.failGrowth = true;
    PacketWriter starved(allocator);
    EXPECT_EQ(starved.Begin(32), nullptr);
    EXPECT_EQ(starved.Add(PR_SUBJECT_W, u"x"), E_FAIL);
}

TEST(PacketWriter, FailedGrowthLeavesThePacketIntact) {
    TestAllocator allocator;
    PacketWriter writer(allocator);
    writer.Begin(16);
    ASSERT_EQ(writer.Add(PR_SUBJECT_W, u"Subject"), S_OK);
    const std::vector<BYTE> before = Bytes(writer);
    const LPBYTE start = writer.Data();
    const ULONG capacity = writer.Capacity();

    allocator.failGrowth = true;
    const std::u16string body(600, u'b');
    EXPECT_EQ(writer.Add(PR_BODY_W, body.c_str()), E_OUTOFMEMORY);
    EXPECT_EQ(writer.Data(), start);
    EXPECT_EQ(writer.Capacity(), capacity);
    EXPECT_EQ(Bytes(writer), before);
    // What still fits goes in without growing.
    const WORD word = 3;
    EXPECT_EQ(writer.Add(PROP_TAG(PT_I2, 1), &word), S_OK);
    EXPECT_EQ(LoadLe32(writer.Data()), 2u);

    allocator.failGrowth = false;
    EXPECT_EQ(writer.Add(PR_BODY_W, body.c_str()), S_OK);
    EXPECT_EQ(LoadLe32(writer.Data()), 3u);
    EXPECT_TRUE(std::equal(before.begin() + 4, before.end(), writer.Data() + 4));
}

TEST(PacketWriter, MissingValuesAreRefusedWithoutChangingThePacket) {
    PacketWriter writer;
    writer.Begin(64);
    EXPECT_EQ(writer.Add(PR_MESSAGE_FLAGS, nullptr), E_INVALIDARG);
    EXPECT_EQ(writer.Add(PR_MESSAGE_DELIVERY_TIME, nullptr), E_INVALIDARG);
    PacketBinary dangling{3, nullptr};
    EXPECT_EQ(writer.Add(PR_ENTRYID, &dangling), E_INVALIDARG);
    EXPECT_EQ(Bytes(writer), (std::vector<BYTE>{0, 0, 0, 0}));
}

}  // namespace
