#include <gtest/gtest.h>

#include <string>

#include "packet_test_support.h"

namespace {

using packet_test::Bytes;

TEST(AttachmentRecord, StoresItsFieldsLittleEndianAndTheNameAfterThem) {
    AttachmentRecord record;
    record.state = kAttachmentPresent;
    record.size = 0x01020304;
    record.number = 7;
    record.SetFileName(u"r\u00e9sum\u00e9.doc");
    BYTE wire[kAttachmentRecordSize];
    std::memset(wire, 0xCC, sizeof wire);
    record.Store(wire);
    EXPECT_EQ(LoadLe32(wire), 82u);
    EXPECT_EQ(wire[4], 0x04);
    EXPECT_EQ(wire[7], 0x01);
    EXPECT_EQ(LoadLe32(wire + 8), 7u);
    EXPECT_EQ(LoadLe16(wire + 12), u'r');
    EXPECT_EQ(LoadLe16(wire + 14), 0x00E9);
    for (size_t at = 12 + 2 * 10; at < kAttachmentRecordSize; ++at) ASSERT_EQ(wire[at], 0) << at;

    const AttachmentRecord back = AttachmentRecord::Load(wire);
    EXPECT_EQ(back.state, kAttachmentPresent);
    EXPECT_EQ(back.size, 0x01020304u);
    EXPECT_EQ(back.number, 7u);
    EXPECT_EQ(std::u16string(back.fileName), u"r\u00e9sum\u00e9.doc");
}

TEST(AttachmentRecord, NamesAreCutTo259Characters) {
    const std::u16string longName(300, u'n');
    AttachmentRecord record;
    record.SetFileName(longName.c_str());
    EXPECT_EQ(std::u16string(record.fileName), longName.substr(0, 259));
    record.SetFileName(nullptr);
    EXPECT_EQ(record.fileName[0], 0);

    // A received record whose name fills the whole field has no terminator on the wire.
    BYTE wire[kAttachmentRecordSize];
    std::memset(wire, 'z', sizeof wire);
    EXPECT_EQ(std::u16string(AttachmentRecord::Load(wire).fileName).size(), 259u);
}

TEST(AttachmentRecord, MemoryAfterTheTerminatorIsNotSent) {
    AttachmentRecord record;
    record.SetFileName(u"a.txt");
    record.fileName[8] = u'!';
    record.fileName[259] = u'!';
    BYTE wire[kAttachmentRecordSize];
    record.Store(wire);
    for (size_t at = 12 + 2 * 5; at < kAttachmentRecordSize; ++at) ASSERT_EQ(wire[at], 0) << at;
}

TEST(AttachmentRecord, AnArrayTravelsAsOneBinaryValue) {
    BYTE records[3 * kAttachmentRecordSize];
    for (DWORD i = 0; i < 3; ++i) {
        AttachmentRecord record;
        record.state = i == 1 ? kAttachmentPresent : kAttachmentNameOnly;
        record.size = 100 * i;
        record.number = i + 1;
        record.SetFileName((u"file" + std::u16string(1, static_cast<char16_t>(u'0' + i))).c_str());
        record.Store(records + i * kAttachmentRecordSize);
    }
    PacketWriter writer;
    writer.Begin(16);
    PacketBinary blob{sizeof records, records};
    ASSERT_EQ(writer.Add(PR_ATTACH_DATA_BIN, &blob), S_OK);
    EXPECT_EQ(writer.Length(), 4u + 1604);

    const std::vector<BYTE> packet = Bytes(writer);
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    ULONG tag = 0;
    LPCBYTE value = reader.Next(&tag);
    ASSERT_EQ(tag, PR_ATTACH_DATA_BIN);
    ASSERT_EQ(LoadLe32(value), 1596u);
    const AttachmentRecord middle = AttachmentRecord::Load(value + 4 + kAttachmentRecordSize);
    EXPECT_EQ(middle.state, kAttachmentPresent);
    EXPECT_EQ(middle.size, 100u);
    EXPECT_EQ(middle.number, 2u);
    EXPECT_EQ(std::u16string(middle.fileName), u"file1");
}

TEST(FolderCode, IsAZeroWordThenTheFolderTag) {
    BYTE wire[kFolderCodeSize];
    FolderCode{0, PR_CE_IPM_INBOX_ENTRYID}.Store(wire);
    EXPECT_EQ(std::vector<BYTE>(wire, wire + 8),
              (std::vector<BYTE>{0, 0, 0, 0, 0x02, 0x01, 0x06, 0x81}));
    const FolderCode back = FolderCode::Load(wire);
    EXPECT_EQ(back.reserved, 0u);
    EXPECT_EQ(back.folder, 0x81060102u);
    EXPECT_EQ(FolderCode::Load(wire).folder, PR_CE_IPM_INBOX_ENTRYID);
}

}  // namespace
