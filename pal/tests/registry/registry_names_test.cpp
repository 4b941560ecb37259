// Names that could break a hive's lines, key names the registry refuses, and hive files that
// were cut short or lost.
#include <fstream>
#include <iterator>

#include "pal/registry.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "registry_test_util.h"

namespace pal {
namespace {

using testing::TempWorld;
using testing::Utf16Bytes;

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// UTF-16LE bytes of text, as it stands inside a hive file.
std::string Utf16Text(std::u16string_view text) {
    auto bytes = Utf16Bytes(text, false);
    return {bytes.begin(), bytes.end()};
}

std::string ErrorOf(Machine& machine) {
    try {
        RegistryStore store(machine);
        store.KeyExists(u"HKLM\\Software");
    } catch (const RegistryError& e) {
        return e.what();
    }
    return "";
}

TEST(RegistryNames, LineBreaksAndQuotesInNamesRoundTripWithoutInjectingKeys) {
    TempWorld world;
    // Two names that, written as they stand, would make the lines of another key and value.
    const std::u16string injecting = u"T]\r\n[HKEY_CURRENT_USER";
    const std::u16string injected = u"Injected]\r\n\"v\"=dword:1";
    const std::u16string key = u"HKCU\\Software\\" + injecting + u"\\" + injected + u"\\leaf\n";
    const std::vector<std::u16string> names = {u"a\nb", u"c\r\nd\r", u"\"=\\n", u"\n"};
    {
        RegistryStore store(world.Desktop());
        for (auto& name : names) store.SetString(key, name, name);
        store.SetString(u"HKCU\\Software\\Plain", u"x\ny", u"z");
    }
    world.Reopen();
    RegistryStore store(world.Desktop());
    EXPECT_FALSE(store.KeyExists(u"HKCU\\Injected"));
    EXPECT_EQ(store.SubkeyNames(u"HKCU\\Software"),
              (std::vector<std::u16string>{u"Plain", injecting}));
    EXPECT_EQ(store.SubkeyNames(u"HKCU\\Software\\" + injecting),
              std::vector<std::u16string>{injected});
    EXPECT_EQ(store.SubkeyNames(u"HKCU\\Software\\" + injecting + u"\\" + injected),
              std::vector<std::u16string>{u"leaf\n"});
    auto values = store.Values(key);
    ASSERT_EQ(values.size(), names.size());
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(values[i].name, names[i]);
        EXPECT_EQ(store.GetString(key, names[i]), names[i]);
    }
    EXPECT_EQ(store.GetString(u"HKCU\\Software\\Plain", u"x\ny"), u"z");
    // Keys without control characters keep the plain line earlier worlds read.
    auto text = ReadFile(world.Dir() / "desktop/HKCU.reg");
    EXPECT_NE(text.find(Utf16Text(u"[HKEY_CURRENT_USER\\Software\\Plain]\r\n")),
              std::string::npos);
}

TEST(RegistryNames, KeyNamesOverTheLimitAreRefusedAndTheLimitItselfRoundTrips) {
    TempWorld world;
    const std::u16string longest(255, u'k');
    {
        ScopedContext context(world.Desktop());
        HKEY key = nullptr;
        std::u16string tooLong = u"Software\\" + std::u16string(256, u'k');
        EXPECT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_INVALID_PARAMETER);
        EXPECT_EQ(key, nullptr);
        std::u16string empty = u"Software\\\\x";
        EXPECT_NE(RegCreateKeyExW(HKEY_CURRENT_USER, empty.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        std::u16string fits = u"Software\\" + longest;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, fits.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    RegistryStore store(world.Desktop());
    EXPECT_THROW(store.SetDword(u"HKCU\\Software\\" + std::u16string(256, u'k'), u"v", 1),
                 RegistryError);
    EXPECT_FALSE(store.KeyExists(u"HKCU\\Software\\" + std::u16string(256, u'k').substr(0, 255) +
                                 u"\\x"));
    world.Reopen();
    EXPECT_EQ(RegistryStore(world.Desktop()).SubkeyNames(u"HKCU\\Software"),
              std::vector<std::u16string>{longest});
}

class CutHive : public ::testing::Test {
protected:
    CutHive() {
        RegistryStore store(m_world.Desktop());
        for (int i = 0; i < 40; ++i)
            store.SetDword(u"HKLM\\Software\\K" + std::u16string(1, u'A' + i % 26) +
                               Utf8ToUtf16(std::to_string(i)),
                           u"n", static_cast<DWORD>(i));
        m_world.Reopen();
        m_file = m_world.Dir() / "desktop/HKLM.reg";
        m_bytes = ReadFile(m_file);
        m_world.Get().Close();
    }

    // Keeps the first `size` bytes of the hive (an even count: whole UTF-16 units).
    void CutTo(size_t size) {
        std::ofstream(m_file, std::ios::binary | std::ios::trunc) << m_bytes.substr(0, size);
        m_world.Reopen();
    }

    TempWorld m_world;
    std::filesystem::path m_file;
    std::string m_bytes;
};

TEST_F(CutHive, IsReportedWithItsFileAndLastLineWhereverItWasCut) {
    // The number of the last line holding text in the first `size` bytes.
    auto lastLineOf = [&](size_t size) {
        size_t line = 1, last = 1;
        bool text = false;
        for (size_t i = 2; i + 1 < size; i += 2) {
            char16_t u = static_cast<char16_t>(static_cast<unsigned char>(m_bytes[i]) |
                                               static_cast<unsigned char>(m_bytes[i + 1]) << 8);
            if (u == u'\n') {
                ++line;
                text = false;
            } else if (u != u'\r' && u != u' ' && !text) {
                text = true;
                last = line;
            }
        }
        return last;
    };
    const std::string endLine = Utf16Text(u"; end\r\n");
    ASSERT_EQ(m_bytes.substr(m_bytes.size() - endLine.size()), endLine);
    // Without the closing line only, at the end of a key block, and in the middle of a line.
    for (size_t size : {m_bytes.size() - endLine.size(), m_bytes.size() / 2 & ~size_t{1},
                        m_bytes.size() / 3 & ~size_t{1}}) {
        SCOPED_TRACE(size);
        CutTo(size);
        std::string error = ErrorOf(m_world.Desktop());
        ASSERT_NE(error, "") << "a hive cut short loaded";
        EXPECT_NE(error.find("HKLM.reg:" + std::to_string(lastLineOf(size)) + ":"),
                  std::string::npos)
            << error;
    }
    CutTo(m_bytes.size());
    EXPECT_EQ(ErrorOf(m_world.Desktop()), "");
    EXPECT_EQ(RegistryStore(m_world.Desktop()).GetDword(u"HKLM\\Software\\KN39", u"n"), 39u);
}

TEST_F(CutHive, ALostOrEmptiedHiveIsADamagedWorldNotAnEmptyRegistry) {
    auto damage = [&] {
        try {
            World::Open(m_world.Dir());
        } catch (const WorldError& e) {
            return std::string(e.what());
        }
        return std::string("the world opened");
    };
    std::ofstream(m_file, std::ios::binary | std::ios::trunc).flush();
    EXPECT_NE(damage().find("damaged world: " + m_file.string() + " is empty"), std::string::npos)
        << damage();
    std::filesystem::remove(m_file);
    EXPECT_NE(damage().find("damaged world: " + m_file.string() + " is missing"),
              std::string::npos)
        << damage();
    EXPECT_FALSE(std::filesystem::exists(m_file));
    // A hive never written is no damage: the world simply has no keys there yet.
    EXPECT_FALSE(std::filesystem::exists(m_world.Dir() / "device/HKCU.reg"));
    std::ofstream(m_file, std::ios::binary) << m_bytes;
    EXPECT_EQ(damage(), "the world opened");
}

}  // namespace
}  // namespace pal
