#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "packet_decode.h"
#include "packet_test_support.h"

namespace {

using packet_test::Bytes;
using packet_test::Concat;
using packet_test::Le32;

// A mail packet as the desktop sends it, plus a few values of other types a packet can carry.
std::vector<BYTE> ReferencePacket() {
    PacketWriter writer;
    writer.Begin(256);
    const FILETIME received{0xDDEAAE87, 0x01DA6BD4};  // 2024-03-01 12:34:56.1234567 UTC
    writer.Add(PR_MESSAGE_DELIVERY_TIME, &received);
    writer.Add(PR_SUBJECT_W, u"Gr\u00fc\u00dfe \"vom\" See\tund \\ mehr");
    writer.Add(PR_SENDER_EMAIL_ADDRESS_W, u"\"Ada Quill\" <ada@example.net>");
    writer.Add(PR_DISPLAY_TO_W, u"bo@example.net;\"Cy\" <cy@example.org>");
    const DWORD attachments = 2;
    writer.Add(PR_ATTACH_NUM, &attachments);
    BYTE records[2 * kAttachmentRecordSize];
    AttachmentRecord record;
    record.state = kAttachmentPresent;
    record.size = 1234;
    record.number = 1;
    record.SetFileName(u"report.xls");
    record.Store(records);
    record.state = kAttachmentNameOnly;
    record.size = 99;
    record.number = 2;
    record.SetFileName(u"\u65e5\u672c.txt");
    record.Store(records + kAttachmentRecordSize);
    PacketBinary recordBlob{sizeof records, records};
    writer.Add(PR_ATTACH_DATA_BIN, &recordBlob);
    writer.Add(PR_BODY_W, u"Line one\r\nLine two");
    const DWORD whole = 3702, size = 1270;
    writer.Add(TAG_WHOLE_MESSAGE_SIZE, &whole);
    writer.Add(PR_MESSAGE_SIZE, &size);
    BYTE folder[kFolderCodeSize];
    FolderCode{0, PR_CE_IPM_INBOX_ENTRYID}.Store(folder);
    PacketBinary folderBlob{kFolderCodeSize, folder};
    writer.Add(PR_HEADER_FOLDER_ENTRYID, &folderBlob);
    const DWORD flags = 0x11, status = 0x10000000;
    writer.Add(PR_MESSAGE_FLAGS, &flags);
    writer.Add(PR_MSG_STATUS, &status);
    BYTE entryId[40];
    for (BYTE i = 0; i < 40; ++i) entryId[i] = i;
    PacketBinary entryBlob{sizeof entryId, entryId};
    writer.Add(PR_ENTRYID, &entryBlob);
    const SHORT negative = -5;
    writer.Add(PROP_TAG(PT_I2, 0x0001), &negative);
    const LONG minusOne = -1;
    writer.Add(PROP_TAG(PT_LONG, 0x0002), &minusOne);
    const double real = 0.1;
    writer.Add(PROP_TAG(PT_DOUBLE, 0x0003), &real);
    writer.Add(PROP_TAG(PT_BOOLEAN, 0x0004), nullptr);
    writer.Add(ClearMarkerOf(0x0091001F), nullptr);
    writer.Add(ClearMarkerOf(0x00F10040), nullptr);
    writer.Add(0x12340099, nullptr);
    const FILETIME midnight{0xDDD7D800, 0x01DA6BD4};
    writer.Add(PROP_TAG(PT_SYSTIME, 0x00F0), &midnight);
    return Bytes(writer);
}

const char* const kReferenceListing =
    R"(0x0E060040 PR_MESSAGE_DELIVERY_TIME   filetime     2024-03-01T12:34:56.1234567Z (0x01DA6BD4DDEAAE87)
0x0037001F PR_SUBJECT_W               string       "Grüße \"vom\" See\tund \\ mehr"
0x0C1F001F PR_SENDER_EMAIL_ADDRESS_W  string       "\"Ada Quill\" <ada@example.net>"
0x0E04001F PR_DISPLAY_TO_W            string       "bo@example.net;\"Cy\" <cy@example.org>"
0x0E210003 PR_ATTACH_NUM              int32        2 (0x00000002)
0x37010102 PR_ATTACH_DATA_BIN         binary       2 records (1064 bytes)
    record 1: state 'R' (82), size 1234, number 1, name "report.xls"
    record 2: state ' ' (32), size 99, number 2, name "日本.txt"
0x1000001F PR_BODY_W                  string       "Line one\r\nLine two"
0x81110003 TAG_WHOLE_MESSAGE_SIZE     int32        3702 (0x00000E76)
0x0E080003 PR_MESSAGE_SIZE            int32        1270 (0x000004F6)
0x3E0A0102 PR_HEADER_FOLDER_ENTRYID   binary       folder 0x81060102 Inbox
0x0E070003 PR_MESSAGE_FLAGS           int32        17 (0x00000011)
0x0E170003 PR_MSG_STATUS              int32        268435456 (0x10000000)
0x0FFF0102 PR_ENTRYID                 binary       40 bytes: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F ...
0x00010002 -                          int16        -5 (0xFFFB)
0x00020003 -                          int32        -1 (0xFFFFFFFF)
0x00030005 -                          double       0.10000000000000001
0x0004000B -                          boolean      (no value)
0x0091041F -                          clear:string (no value)
0x00F10440 -                          clear:filetime (no value)
0x12340099 -                          bare:0x0099  (no value)
0x00F00040 -                          filetime     2024-03-01T12:34:56Z (0x01DA6BD4DDD7D800)
read 21 of 21 properties announced
)";

std::string Decode(const std::vector<BYTE>& bytes, bool* wellFormed = nullptr) {
    std::ostringstream out;
    const bool result = velumex::DecodePacket(bytes.data(), bytes.size(), out);
    if (wellFormed) *wellFormed = result;
    return out.str();
}

TEST(PacketDecode, ListsEveryPropertyOfAReferencePacket) {
    bool wellFormed = false;
    EXPECT_EQ(Decode(ReferencePacket(), &wellFormed), kReferenceListing);
    EXPECT_TRUE(wellFormed);
}

TEST(PacketDecode, ShowsTextAsUtf8WithEscapes) {
    PacketWriter writer;
    writer.Begin(64);
    writer.Add(PR_SUBJECT_W, u"\U0001F600 \x01\x7F");
    const char16_t lone[] = {0xD800, u'x', 0xDC01, 0};
    writer.Add(PR_SUBJECT_W, lone);
    const std::string listing = Decode(Bytes(writer));
    EXPECT_NE(listing.find("\"\xF0\x9F\x98\x80 \\u0001\\u007F\"\n"), std::string::npos);
    EXPECT_NE(listing.find("\"\\uD800x\\uDC01\"\n"), std::string::npos);
}

TEST(PacketDecode, SaysWhereATruncatedPacketStopped) {
    std::vector<BYTE> packet = ReferencePacket();
    // Cut inside the body: everything before it is listed.
    const std::string full = kReferenceListing;
    const size_t bodyLine = full.find("0x1000001F");
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    ULONG tag = 0;
    while (reader.Next(&tag) && tag != PR_BODY_W) {
    }
    ASSERT_EQ(tag, PR_BODY_W);
    // The body's entry: tag, 38 value bytes, 2 padding bytes.
    const std::string bodyAt = std::to_string(reader.Position() - 44);
    packet.resize(reader.Position() - 30);
    bool wellFormed = true;
    EXPECT_EQ(Decode(packet, &wellFormed),
              full.substr(0, bodyLine) + "stopped at offset " + bodyAt + " of " +
                  std::to_string(packet.size()) +
                  ": entry 0x1000001F: its string has no terminator before the end\n"
                  "read 6 of 21 properties announced\n");
    EXPECT_FALSE(wellFormed);

    packet.resize(std::stoul(bodyAt) + 2);
    EXPECT_NE(
        Decode(packet).find("stopped at offset " + bodyAt + " of " + std::to_string(packet.size()) +
                            ": 2 bytes left, too few for a tag\n"),
        std::string::npos);
}

TEST(PacketDecode, FlagsLeftOverBytesAndMissingCounts) {
    bool wellFormed = true;
    const std::vector<BYTE> extra = Concat({Le32(0), {1, 2}});
    EXPECT_EQ(Decode(extra, &wellFormed),
              "stopped at offset 4 of 6: 2 bytes follow the last entry\n"
              "read 0 of 0 properties announced\n");
    EXPECT_FALSE(wellFormed);
    EXPECT_EQ(Decode({1, 0}, &wellFormed),
              "stopped at offset 0: 2 bytes, too few for the property count\n"
              "read 0 properties; no count announced\n");
    EXPECT_FALSE(wellFormed);
    const std::vector<BYTE> unpadded = Concat({Le32(1), Le32(PROP_TAG(PT_I2, 1)), {5, 0}});
    EXPECT_NE(Decode(unpadded, &wellFormed).find("lacks its padding"), std::string::npos);
    EXPECT_FALSE(wellFormed);
    // Missing padding and then the end, while more entries were announced.
    std::vector<BYTE> more = unpadded;
    more[0] = 2;
    EXPECT_NE(Decode(more, &wellFormed).find("stopped at offset 10 of 10: the packet ends\n"),
              std::string::npos);
    EXPECT_EQ(Decode({0, 0, 0, 0}, &wellFormed), "read 0 of 0 properties announced\n");
    EXPECT_TRUE(wellFormed);
}

// Runs the command line tool; returns its exit status and what it printed.
struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

CommandRun Velumex(const std::string& arguments) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("packet_decode_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string command = std::string(VELUMEX_CLI) + " " + arguments + " >" +
                                (dir / "out").string() + " 2>" + (dir / "err").string();
    const int status = std::system(command.c_str());
    auto slurp = [](const std::filesystem::path& path) {
        std::ifstream file(path);
        return std::string(std::istreambuf_iterator<char>(file), {});
    };
    CommandRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir / "out"),
                   slurp(dir / "err")};
    std::filesystem::remove_all(dir);
    return run;
}

TEST(PacketDecodeCommand, ExitsZeroOnlyForAWellFormedPacket) {
    const auto file =
        std::filesystem::temp_directory_path() / ("packet_" + std::to_string(::getpid()) + ".bin");
    std::vector<BYTE> packet = ReferencePacket();
    auto save = [&] {
        std::ofstream(file, std::ios::binary)
            .write(reinterpret_cast<const char*>(packet.data()),
                   static_cast<std::streamsize>(packet.size()));
    };
    save();
    CommandRun whole = Velumex("packet decode " + file.string());
    EXPECT_EQ(whole.status, 0);
    EXPECT_EQ(whole.out, kReferenceListing);

    CommandRun piped = Velumex("packet decode - <" + file.string());
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, kReferenceListing);

    packet.resize(packet.size() - 3);
    save();
    CommandRun cut = Velumex("packet decode " + file.string());
    EXPECT_EQ(cut.status, 1);
    EXPECT_NE(cut.out.find("stopped at offset"), std::string::npos);
    EXPECT_NE(cut.out.find("read 20 of 21 properties announced"), std::string::npos);
    std::filesystem::remove(file);

    CommandRun missing = Velumex("packet decode " + file.string());
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
    EXPECT_NE(missing.err.find("cannot open"), std::string::npos);
}

}  // namespace
