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

// UTF-16LE with a BOM, as hive files are written.
std::string HiveBytes(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t u : text) bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    return bytes;
}

std::vector<RegistryValue> EveryKindOfValue() {
    std::vector<BYTE> long_binary;
    for (int i = 0; i < 301; ++i) long_binary.push_back(static_cast<BYTE>(i * 7));
    return {
        {u"", REG_SZ, Utf16Bytes(u"Outlook Express")},
        {u"Plain", REG_SZ, Utf16Bytes(u"C:\\Program Files\\\"quoted\"")},
        {u"EmptyText", REG_SZ, Utf16Bytes(u"")},
        {u"NoBytes", REG_SZ, {}},
        {u"NoTerminator", REG_SZ, Utf16Bytes(u"abc", false)},
        {u"Odd", REG_SZ, {'a', 0, 'b'}},
        {u"InnerNull", REG_SZ, Utf16Bytes(std::u16string(u"a\0b", 3))},
        {u"TwoTerminators", REG_SZ, Utf16Bytes(std::u16string(u"a\0", 2))},
        {u"LineBreak", REG_SZ, Utf16Bytes(u"one\r\ntwo")},
        {u"Ünïcödé ☃ \"name\" \\ [x]", REG_SZ, Utf16Bytes(u"€ 𝄞 \xD800 Ω")},
        {u"Expand", REG_EXPAND_SZ, Utf16Bytes(u"%SystemRoot%\\wab.exe")},
        {u"Folders", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"Inbox\0Ärger\0", 12))},
        {u"OneZero", REG_MULTI_SZ, {0}},
        {u"Dword", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {u"ShortDword", REG_DWORD, {1, 2}},
        {u"EmptyDword", REG_DWORD, {}},
        {u"Binary", REG_BINARY, {0x00, 0xFF, 0x10}},
        {u"EmptyBinary", REG_BINARY, {}},
        {u"LongBinary", REG_BINARY, long_binary},
        {u"None", REG_NONE, {1}},
        {u"Qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {u"Custom", 0x80001234, {0xAB}},
    };
}

void ExpectSameValues(const std::vector<RegistryValue>& actual,
                      const std::vector<RegistryValue>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].name, expected[i].name) << i;
        EXPECT_EQ(actual[i].type, expected[i].type) << U8(expected[i].name);
        EXPECT_EQ(actual[i].data, expected[i].data) << U8(expected[i].name);
    }
}

TEST(RegistryPersistence, EveryValueRoundTripsByteForByteOnBothMachines) {
    TempWorld world;
    const auto values = EveryKindOfValue();
    const std::vector<std::u16string> keys = {u"HKLM\\Software\\Quorvane\\Velumex",
                                              u"HKCU\\Software\\Ключ ✓ [x]", u"HKCR\\CLSID\\{B}"};
    for (Machine* machine : {&world.Desktop(), &world.Device()}) {
        RegistryStore store(*machine);
        for (auto& key : keys)
            for (auto& value : values) store.SetValue(key, value.name, value.type, value.data);
        store.CreateKey(u"HKLM\\Software\\Empty\\Key");
    }
    world.Reopen();
    for (Machine* machine : {&world.Desktop(), &world.Device()}) {
        SCOPED_TRACE(machine->Name());
        RegistryStore store(*machine);
        for (auto& key : keys) ExpectSameValues(store.Values(key), values);
        EXPECT_EQ(store.SubkeyNames(u"HKCU\\Software"), std::vector<std::u16string>{u"Ключ ✓ [x]"});
        EXPECT_TRUE(store.KeyExists(u"HKLM\\Software\\Empty\\Key"));
        EXPECT_TRUE(store.KeyExists(u"HKLM\\Software\\Classes\\CLSID\\{B}"));
    }
    // A second close writes the same files again.
    auto before = ReadFile(world.Dir() / "desktop/HKLM.reg");
    RegistryStore(world.Desktop()).SetDword(u"HKLM\\Software", u"touch", 1);
    RegistryStore(world.Desktop()).DeleteValue(u"HKLM\\Software", u"touch");
    world.Reopen();
    EXPECT_EQ(ReadFile(world.Dir() / "desktop/HKLM.reg"), before);
}

TEST(RegistryPersistence, HiveFilesAreRegedit5Text) {
    TempWorld world;
    RegistryStore store(world.Desktop());
    store.SetString(u"HKCU\\Software\\Q", u"", u"a \"b\" \\c");
    store.SetDword(u"HKCU\\Software\\Q", u"Days", 4);
    store.SetValue(u"HKCU\\Software\\Q", u"Folders", REG_MULTI_SZ, {'A', 0, 0, 0, 0, 0});
    store.SetValue(u"HKCU\\Software\\Q\\Sub", u"Bin", REG_BINARY, std::vector<BYTE>(30, 0xAB));
    world.Reopen();
    EXPECT_EQ(ReadFile(world.Dir() / "desktop/HKCU.reg"),
              HiveBytes(u"Windows Registry Editor Version 5.00\r\n\r\n"
                        u"; this hive ends with the line \"; end\"\r\n\r\n"
                        u"[HKEY_CURRENT_USER\\Software]\r\n\r\n"
                        u"[HKEY_CURRENT_USER\\Software\\Q]\r\n"
                        u"@=\"a \\\"b\\\" \\\\c\"\r\n"
                        u"\"Days\"=dword:00000004\r\n"
                        u"\"Folders\"=hex(7):41,00,00,00,00,00\r\n\r\n"
                        u"[HKEY_CURRENT_USER\\Software\\Q\\Sub]\r\n"
                        u"\"Bin\"=hex:ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,ab,"
                        u"ab,ab,\\\r\n"
                        u"  ab,ab,ab,ab,ab,ab,ab,ab\r\n\r\n"
                        u"; end\r\n"));
    EXPECT_FALSE(std::filesystem::exists(world.Dir() / "desktop/HKCU.reg.tmp"));
}

TEST(RegistryPersistence, FlushKeyWritesTheHiveAtOnce) {
    TempWorld world;
    ScopedContext context(world.Device());
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"Software\\Quorvane\\Velumex", 0, nullptr, 0, 0,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD id = 0xBEEF;
    RegSetValueExW(key, u"ID", 0, REG_DWORD, reinterpret_cast<BYTE*>(&id), 4);
    EXPECT_FALSE(std::filesystem::exists(world.Dir() / "device/HKCU.reg"));
    EXPECT_EQ(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    auto text = ReadFile(world.Dir() / "device/HKCU.reg");
    EXPECT_NE(text.find(HiveBytes(u"\"ID\"=dword:0000beef").substr(2)), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(world.Dir() / "device/HKLM.reg"));
    RegCloseKey(key);
}

TEST(RegistryPersistence, HandWrittenFilesWithFoldsCommentsAndUpperCaseHexLoad) {
    TempWorld world;
    auto dir = world.Dir();
    world.Get().Close();
    std::ofstream(dir / "device/HKLM.reg", std::ios::binary) << HiveBytes(
        u"Windows Registry Editor Version 5.00\r\n\r\n; a comment\r\n"
        u"[hkey_local_machine\\nls\\overrides]\r\n"
        u"\"SList\"=hex(1):3B,00, \\\r\n    20,00,00,00\r\n"
        u"\"n\"=dword:1F\n");
    world.Reopen();
    RegistryStore store(world.Device());
    EXPECT_EQ(store.GetValue(u"HKLM\\NLS\\Overrides", u"slist")->data, Utf16Bytes(u"; "));
    EXPECT_EQ(store.GetValue(u"HKLM\\nls\\overrides", u"n")->data,
              (std::vector<BYTE>{0x1F, 0, 0, 0}));
}

struct Malformed {
    const char16_t* text;
    const char* where;
};

// Names each case by where the error is expected, so test names stay the same from run to run.
void PrintTo(const Malformed& m, std::ostream* os) { *os << m.where; }

class MalformedHive : public ::testing::TestWithParam<Malformed> {};

TEST_P(MalformedHive, IsAnErrorNamingFileAndLineAndTheFileIsKept) {
    TempWorld world;
    auto dir = world.Dir();
    world.Get().Close();
    auto bytes = HiveBytes(GetParam().text);
    std::ofstream(dir / "desktop/HKLM.reg", std::ios::binary) << bytes;
    world.Reopen();
    try {
        RegistryStore store(world.Desktop());
        ADD_FAILURE() << "a malformed hive loaded";
    } catch (const RegistryError& e) {
        EXPECT_NE(std::string(e.what()).find(GetParam().where), std::string::npos) << e.what();
    }
    {
        ScopedContext context(world.Desktop());
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, KEY_READ, &key),
                  ERROR_REGISTRY_CORRUPT);
    }
    world.Reopen();
    EXPECT_EQ(ReadFile(dir / "desktop/HKLM.reg"), bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedHive,
    ::testing::Values(
        Malformed{u"REGEDIT4\r\n", "HKLM.reg:1:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n\"a\"=dword:1\r\n", "HKLM.reg:2:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\X]\r\n",
                  "HKLM.reg:2:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                  u"\"a\"=hex:01,zz\r\n",
                  "HKLM.reg:3:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\r\n"
                  u"\"a\"=\"open\r\n",
                  "HKLM.reg:4:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                  u"\"a\"=\"bad \\q escape\"\r\n",
                  "HKLM.reg:3:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                  u"\"a\"=dword:123456789\r\n",
                  "HKLM.reg:3:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                  u"\"a\"=hex:01,\\\r\n",
                  "HKLM.reg:3:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X\r\n",
                  "HKLM.reg:2:"},
        Malformed{u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\X]\r\n"
                  u"\"a\"=string\r\n",
                  "HKLM.reg:3:"}));

TEST(RegistryPersistence, AFileWithoutItsByteOrderMarkIsRefused) {
    TempWorld world;
    auto dir = world.Dir();
    world.Get().Close();
    std::ofstream(dir / "desktop/HKCU.reg", std::ios::binary)
        << "Windows Registry Editor Version 5.00\r\n";
    world.Reopen();
    EXPECT_THROW(RegistryStore{world.Desktop()}, RegistryError);
}

}  // namespace
}  // namespace pal
