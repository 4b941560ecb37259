#include <gtest/gtest.h>

#include <string>

#include "packet_test_support.h"

namespace {

using packet_test::Bytes;
using packet_test::Concat;
using packet_test::Le32;

// One property of the reference packet, with where its value must end (unpadded).
struct Written {
    ULONG tag;
    size_t valueStart;
    size_t valueEnd;
};

// A packet with a value of every shape, and where each value lies.
struct Reference {
    PacketWriter writer;
    std::vector<Written> entries;

    void Add(ULONG tag, LPCVOID value, size_t valueSize) {
        const size_t start = writer.Length() + 4;
        ASSERT_EQ(writer.Add(tag, value), S_OK);
        entries.push_back({tag, start, start + valueSize});
    }

    Reference() {
        writer.Begin(8);
        const FILETIME time{1, 2};
        const WORD word = 0xFFFE;
        const DWORD flags = 0x11;
        BYTE bytes[] = {9, 8, 7, 6, 5};
        PacketBinary blob{5, bytes};
        const double real = -2.25;
        Add(PR_MESSAGE_DELIVERY_TIME, &time, 8);
        Add(PR_SUBJECT_W, u"Re: lunch", 20);
        Add(PROP_TAG(PT_I2, 0x0001), &word, 2);
        Add(PROP_TAG(PT_BOOLEAN, 0x0002), nullptr, 0);
        Add(PR_ENTRYID, &blob, 9);
        Add(PR_SUBJECT_W, u"", 2);
        Add(0x0091041F, nullptr, 0);
        Add(PROP_TAG(PT_DOUBLE, 0x0003), &real, 8);
        Add(PR_MESSAGE_FLAGS, &flags, 4);
        Add(PR_DISPLAY_TO_W, u"a@b", 8);
    }
};

// Reads up to Count() entries; stops at the first null.
std::vector<ULONG> ReadTags(PacketReader& reader) {
    std::vector<ULONG> tags;
    for (DWORD i = 0; i < reader.Count(); ++i) {
        ULONG tag = 0xDEAD;
        LPCBYTE value = reader.Next(&tag);
        if (!value) {
            EXPECT_EQ(tag, 0u);
            break;
        }
        tags.push_back(tag);
    }
    return tags;
}

TEST(PacketReader, ReturnsEachTagWithItsValueInPacketOrder) {
    Reference reference;
    const std::vector<BYTE> packet = Bytes(reference.writer);
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    ASSERT_EQ(reader.Count(), reference.entries.size());
    for (const Written& entry : reference.entries) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(tag, entry.tag);
        EXPECT_EQ(static_cast<size_t>(value - packet.data()), entry.valueStart);
    }
    EXPECT_EQ(reader.Position(), packet.size());
    ULONG tag = 1;
    EXPECT_EQ(reader.Next(&tag), nullptr);  // nothing after the last entry
    EXPECT_EQ(tag, 0u);

    // Values read back as written.
    PacketReader again;
    again.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    ULONG t = 0;
    EXPECT_EQ(LoadLe32(again.Next(&t) + 4), 2u);  // FILETIME high word
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(again.Next(&t))), u"Re: lunch");
    EXPECT_EQ(LoadLe16(again.Next(&t)), 0xFFFE);
    EXPECT_EQ(again.Next(&t), packet.data() + reference.entries[3].valueStart);  // bare
    LPCBYTE blob = again.Next(&t);
    EXPECT_EQ(LoadLe32(blob), 5u);
    EXPECT_EQ(blob[4], 9);
    EXPECT_EQ(blob[8], 5);
}

TEST(PacketReader, AnEmptyPacketHasNoProperties) {
    const BYTE empty[4] = {};
    PacketReader reader;
    reader.Attach(empty, 4);
    EXPECT_EQ(reader.Count(), 0u);
    ULONG tag = 5;
    EXPECT_EQ(reader.Next(&tag), nullptr);
    EXPECT_EQ(tag, 0u);
}

TEST(PacketReader, UnknownAndDuplicateTagsAreSteppedOverNotLost) {
    PacketWriter writer;
    writer.Begin(64);
    const DWORD one = 1, two = 2;
    writer.Add(PROP_TAG(PT_UNICODE, 0x7777), u"unknown string");
    writer.Add(PR_MESSAGE_FLAGS, &one);
    writer.Add(0x12341234, nullptr);  // unknown type: a bare tag
    writer.Add(PR_MESSAGE_FLAGS, &two);
    const std::vector<BYTE> packet = Bytes(writer);
    PacketReader reader;
    reader.Attach(packet.data(), static_cast<DWORD>(packet.size()));
    std::vector<DWORD> flags;
    for (DWORD i = 0; i < reader.Count(); ++i) {
        ULONG tag = 0;
        LPCBYTE value = reader.Next(&tag);
        ASSERT_NE(value, nullptr);
        if (tag == PR_MESSAGE_FLAGS) flags.push_back(LoadLe32(value));
    }
    EXPECT_EQ(flags, (std::vector<DWORD>{1, 2}));
}

TEST(PacketReader, NeverStepsPastTheDeliveredLength) {
    Reference reference;
    const std::vector<BYTE> full = Bytes(reference.writer);
    for (size_t cut = 0; cut <= full.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        // An exact-size copy, so that the sanitizer build catches any read past the cut.
        std::vector<BYTE> packet(full.begin(), full.begin() + static_cast<long>(cut));
        PacketReader reader;
        reader.Attach(packet.data(), static_cast<DWORD>(cut));
        EXPECT_EQ(reader.Count(), cut < 4 ? 0u : reference.entries.size());

        std::vector<ULONG> expected;
        for (const Written& entry : reference.entries) {
            if (entry.valueEnd > cut) break;
            expected.push_back(entry.tag);
        }
        EXPECT_EQ(ReadTags(reader), expected);
        if (expected.size() < reference.entries.size() && cut >= 4) {
            // The walk stays where it stopped.
            const auto stopped = reader.Position();
            ULONG tag = 7;
            EXPECT_EQ(reader.Next(&tag), nullptr);
            EXPECT_EQ(tag, 0u);
            EXPECT_EQ(reader.Position(), stopped);
        }
    }
}

TEST(PacketReader, ImpossibleCountsAndUnterminatedStringsEndTheWalk) {
    // A binary count far beyond the packet.
    const std::vector<BYTE> huge =
        Concat({Le32(2), Le32(PR_ENTRYID), Le32(0xFFFFFFFF), {1, 2, 3, 4}});
    PacketReader reader;
    reader.Attach(huge.data(), static_cast<DWORD>(huge.size()));
    EXPECT_TRUE(ReadTags(reader).empty());
    EXPECT_EQ(reader.Position(), 4u);

    // A string whose last unit is not zero.
    const std::vector<BYTE> open = Concat({Le32(1), Le32(PR_SUBJECT_W), {'a', 0, 'b', 0}});
    PacketReader text;
    text.Attach(open.data(), static_cast<DWORD>(open.size()));
    EXPECT_TRUE(ReadTags(text).empty());

    // A count that announces more entries than the packet holds.
    const std::vector<BYTE> short_ = Concat({Le32(3), Le32(PROP_TAG(PT_BOOLEAN, 1))});
    PacketReader few;
    few.Attach(short_.data(), static_cast<DWORD>(short_.size()));
    EXPECT_EQ(ReadTags(few), (std::vector<ULONG>{PROP_TAG(PT_BOOLEAN, 1)}));
}

TEST(PacketReader, BindsOnceAndIgnoresANullOutParameter) {
    const std::vector<BYTE> first = Concat({Le32(1), Le32(PROP_TAG(PT_BOOLEAN, 1))});
    const std::vector<BYTE> second = Concat({Le32(1), Le32(PROP_TAG(PT_BOOLEAN, 2))});
    PacketReader reader;
    ULONG tag = 9;
    EXPECT_EQ(reader.Next(&tag), nullptr);  // unbound
    EXPECT_EQ(tag, 0u);
    EXPECT_EQ(reader.Count(), 0u);

    reader.Attach(first.data(), static_cast<DWORD>(first.size()));
    reader.Attach(second.data(), static_cast<DWORD>(second.size()));
    EXPECT_EQ(reader.Next(nullptr), nullptr);
    EXPECT_EQ(reader.Position(), 4u);
    EXPECT_NE(reader.Next(&tag), nullptr);
    EXPECT_EQ(tag, PROP_TAG(PT_BOOLEAN, 1));
}

TEST(PacketReader, ReadsAPacketAtAnOddAddress) {
    Reference reference;
    const std::vector<BYTE> full = Bytes(reference.writer);
    std::vector<BYTE> shifted(full.size() + 1);
    std::copy(full.begin(), full.end(), shifted.begin() + 1);
    PacketReader reader;
    reader.Attach(shifted.data() + 1, static_cast<DWORD>(full.size()));
    EXPECT_EQ(ReadTags(reader).size(), reference.entries.size());
}

}  // namespace
