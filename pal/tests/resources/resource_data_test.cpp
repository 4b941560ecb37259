#include "pal/runtime/resource_data.h"

#include <algorithm>
#include <vector>

#include "resources_fixture.h"

namespace pal::testing {
namespace {

class ResourceDataTest : public ResourcesTest {
protected:
    ResourceData Data() { return ResourceData(ModuleFromHandle(m_module)->ResourceData()); }
    static std::u16string Text(std::span<const BYTE> bytes) {
        std::u16string text;
        for (size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
        return text;
    }
};

TEST_F(ResourceDataTest, IndexesEveryRecordOfTheCompiledScript) {
    ResourceData data = Data();
    auto count = [&](WORD type) {
        return std::count_if(data.Entries().begin(), data.Entries().end(),
                             [&](const ResourceEntry& e) { return e.type == ResourceId(type); });
    };
    EXPECT_EQ(count(5), 2);   // dialogs 137, 138
    EXPECT_EQ(count(14), 2);  // icon groups
    EXPECT_EQ(count(3), 4);   // their images: three and one
    EXPECT_EQ(count(12), 1);  // cursor group
    EXPECT_EQ(count(1), 1);   // its image
    EXPECT_EQ(count(2), 1);   // bitmap
    EXPECT_EQ(count(16), 1);  // version information
    EXPECT_EQ(count(10), 2);  // SETTINGS in two languages
    // The leading empty record is not an entry; every entry's data lies inside the bytes.
    for (const auto& entry : data.Entries()) {
        EXPECT_FALSE(entry.type.IsOrdinal() && entry.type.Ordinal() == 0);
        EXPECT_EQ(entry.offset % 4, 0u);
        EXPECT_GE(entry.data.data(), data.Bytes().data());
        EXPECT_LE(entry.data.data() + entry.data.size(), data.Bytes().data() + data.Bytes().size());
    }
}

TEST_F(ResourceDataTest, FindsByOrdinalOrNameAndPrefersTheLanguage) {
    ResourceData data = Data();
    const ResourceEntry* dialog = data.Find(ResourceId(5), ResourceId(138), 0x0409);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->language, 0x0409);

    // A named resource of a named type, found without regard to case.
    const ResourceEntry* payload = data.Find(ResourceId(u"payload"), ResourceId(7), 0x0409);
    ASSERT_NE(payload, nullptr);
    ASSERT_EQ(payload->data.size(), 2u);
    EXPECT_EQ(payload->data[0], 0x41);

    auto settings = [&](WORD language) {
        const ResourceEntry* e = data.Find(ResourceId(10), ResourceId(u"Settings"), language);
        return e ? std::string(reinterpret_cast<const char*>(e->data.data())) : "";
    };
    EXPECT_EQ(settings(0x0409), "english");
    EXPECT_EQ(settings(0x0407), "deutsch");
    EXPECT_EQ(settings(0x0807), "deutsch");  // same primary language
    EXPECT_EQ(settings(0x040C), "english");  // none matches: the first
    EXPECT_EQ(data.Find(ResourceId(10), ResourceId(u"missing"), 0x0409), nullptr);
    EXPECT_EQ(data.Find(ResourceId(4), ResourceId(138), 0x0409), nullptr);
}

TEST_F(ResourceDataTest, StringBlocksHoldSixteenCountedStrings) {
    ResourceData data = Data();
    auto text = [&](UINT id, WORD language = 0x0409) {
        auto bytes = data.String(id, language);
        return bytes ? Text(*bytes) : u"<none>";
    };
    EXPECT_EQ(text(6), u"Removing duplicate contacts...");
    EXPECT_EQ(text(15), u"fifteen");  // last of block 1
    EXPECT_EQ(text(16), u"sixteen");  // first of block 2
    EXPECT_EQ(text(17), u"seventeen");
    EXPECT_EQ(text(8), u"<none>");  // empty slot of an existing block
    EXPECT_EQ(text(31), u"<none>");
    EXPECT_EQ(text(1134), u"<none>");
    EXPECT_EQ(text(5000), u"<none>");   // no such block
    EXPECT_EQ(text(1008), u"Message");  // block 64, entry 0
    EXPECT_EQ(text(1012), u"Contacts non class\u00e9s \u20ac \u03b1");
    EXPECT_EQ(text(1135), u"Enter a size from 1 to 9999 KB.");
    EXPECT_EQ(text(1008, 0x0407), u"Nachricht");
    EXPECT_EQ(text(1009, 0x0407), u"<none>");  // the German block holds only 1008
}

TEST(ResourceIdTest, ArgumentsAreOrdinalsHashNumbersOrNames) {
    EXPECT_EQ(ResourceId::FromArgument(MAKEINTRESOURCEW(137)), ResourceId(137));
    EXPECT_EQ(ResourceId::FromArgument(MAKEINTRESOURCEA(7)), ResourceId(7));
    EXPECT_EQ(ResourceId::FromArgument("#108"), ResourceId(108));
    EXPECT_EQ(ResourceId::FromArgument(u"#108"), ResourceId(108));
    EXPECT_FALSE(ResourceId::FromArgument("#1x").IsOrdinal());
    EXPECT_FALSE(ResourceId::FromArgument("#70000").IsOrdinal());
    EXPECT_EQ(ResourceId::FromArgument("Settings"), ResourceId(u"SETTINGS"));
    EXPECT_FALSE(ResourceId(u"7") == ResourceId(7));
}

TEST(ResourceDataFormatTest, MalformedDataIsRefusedWithItsOffset) {
    // The empty leading record followed by one RCDATA record of 2 bytes.
    std::vector<BYTE> res = {0,  0, 0,    0,    32, 0, 0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF,
                             0,  0, 0,    0,    0,  0, 0, 0, 0,    0,    0, 0, 0,    0,
                             0,  0, 0,    0,    2,  0, 0, 0, 32,   0,    0, 0, 0xFF, 0xFF,
                             10, 0, 0xFF, 0xFF, 1,  0, 0, 0, 0,    0,    0, 0, 9,    4,
                             0,  0, 0,    0,    0,  0, 0, 0, 'h',  'i',  0, 0};
    ResourceData data(res);
    ASSERT_EQ(data.Entries().size(), 1u);
    EXPECT_EQ(data.Entries()[0].language, 0x0409);
    EXPECT_EQ(data.Entries()[0].data.size(), 2u);

    auto cut = res;
    cut.resize(res.size() - 4);  // the data is cut short
    EXPECT_THROW(ResourceData{cut}, ResourceFormatError);
    auto small = res;
    small[36] = 16;  // header size smaller than the header
    try {
        ResourceData bad(small);
        ADD_FAILURE() << "accepted a header longer than its size";
    } catch (const ResourceFormatError& error) {
        EXPECT_NE(std::string(error.what()).find("offset"), std::string::npos);
    }
}

TEST(ImageGroupTest, ChoosesTheNearestSizeThenTheLargerThenTheDeeper) {
    std::vector<GroupImage> group = {
        {16, 16, 32, 0, 1}, {32, 32, 4, 0, 2}, {32, 32, 32, 0, 3}, {48, 48, 8, 0, 4}};
    EXPECT_EQ(ChooseGroupImage(group, 16, 16)->id, 1);
    EXPECT_EQ(ChooseGroupImage(group, 32, 32)->id, 3);
    EXPECT_EQ(ChooseGroupImage(group, 24, 24)->id, 3);  // tie between 16 and 32: the larger
    EXPECT_EQ(ChooseGroupImage(group, 40, 40)->id, 4);  // tie between 32 and 48: the larger
    EXPECT_EQ(ChooseGroupImage(group, 100, 100)->id, 4);
    EXPECT_EQ(ChooseGroupImage({}, 32, 32), nullptr);

    std::vector<BYTE> cursorGroup = {0, 0, 2, 0, 1,    0, 32, 0, 64, 0,
                                     1, 0, 1, 0, 0x30, 1, 0,  0, 9,  0};
    auto cursors = ParseImageGroup(cursorGroup, true);
    ASSERT_EQ(cursors.size(), 1u);
    EXPECT_EQ(cursors[0].height, 32);  // stored doubled
    EXPECT_EQ(cursors[0].id, 9);
    EXPECT_THROW(ParseImageGroup(cursorGroup, false), ResourceFormatError);
    cursorGroup.pop_back();
    EXPECT_THROW(ParseImageGroup(cursorGroup, true), ResourceFormatError);
}

}  // namespace
}  // namespace pal::testing
