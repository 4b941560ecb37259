#include <cstring>

#include "pal/registry.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/registry_store.h"
#include "pal_testing/temp_world.h"
#include "registry_test_util.h"

namespace pal {
namespace {

using testing::Utf16Bytes;

class RegistryValues : public testing::DesktopTest {
protected:
    RegistryValues() {
        EXPECT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Quorvane\\Velumex", 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &m_key, nullptr),
                  ERROR_SUCCESS);
    }
    ~RegistryValues() override { RegCloseKey(m_key); }

    LONG Set(const char16_t* name, DWORD type, const std::vector<BYTE>& data) {
        return RegSetValueExW(m_key, name, 0, type, data.data(), static_cast<DWORD>(data.size()));
    }
    std::optional<RegistryValue> Stored(std::u16string_view name) {
        return RegistryStore(CurrentMachine()).GetValue(u"HKLM\\Software\\Quorvane\\Velumex", name);
    }

    HKEY m_key = nullptr;
};

TEST_F(RegistryValues, QueryAsksSizeReportsShortBuffersAndMissingValues) {
    auto text = Utf16Bytes(u"C:\\Program Files\\Outlook Express\\msimn.exe");
    ASSERT_EQ(Set(u"DLLPath", REG_EXPAND_SZ, text), ERROR_SUCCESS);

    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExW(m_key, u"dllpath", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(size, text.size());

    std::vector<BYTE> buffer(text.size() - 1, 0xCC);
    size = static_cast<DWORD>(buffer.size());
    type = 0;
    EXPECT_EQ(RegQueryValueExW(m_key, u"DLLPath", nullptr, &type, buffer.data(), &size),
              ERROR_MORE_DATA);
    EXPECT_EQ(size, text.size());
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(buffer, std::vector<BYTE>(text.size() - 1, 0xCC));  // untouched

    buffer.assign(text.size() + 10, 0xCC);
    size = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(RegQueryValueExW(m_key, u"DLLPath", nullptr, nullptr, buffer.data(), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(size, text.size());
    EXPECT_TRUE(std::equal(text.begin(), text.end(), buffer.begin()));
    EXPECT_EQ(buffer[text.size()], 0xCC);

    type = 99;
    EXPECT_EQ(RegQueryValueExW(m_key, u"Missing", nullptr, &type, nullptr, &size),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(m_key, u"DLLPath", nullptr, nullptr, buffer.data(), nullptr),
              ERROR_INVALID_PARAMETER);
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExW(m_key, u"DLLPath", &reserved, nullptr, nullptr, &size),
              ERROR_INVALID_PARAMETER);
}

TEST_F(RegistryValues, NullAndEmptyNamesAreTheDefaultValue) {
    EXPECT_EQ(RegQueryValueExW(m_key, nullptr, nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(Set(nullptr, REG_SZ, Utf16Bytes(u"Outlook Express")), ERROR_SUCCESS);
    WCHAR text[32];
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExW(m_key, u"", nullptr, nullptr, reinterpret_cast<BYTE*>(text), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(text), u"Outlook Express");
    EXPECT_EQ(RegDeleteValueW(m_key, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(m_key, u""), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, BytesAndTypesAreKeptExactly) {
    struct Case {
        const char16_t* name;
        DWORD type;
        std::vector<BYTE> data;
    };
    std::vector<Case> cases = {
        {u"NoTerminator", REG_SZ, Utf16Bytes(u"KTN", false)},
        {u"OddLength", REG_SZ, {'a', 0, 'b'}},
        {u"EmbeddedNull", REG_SZ, Utf16Bytes(std::u16string(u"a\0b", 3))},
        {u"Folders", REG_MULTI_SZ, {'x', 0}},
        {u"Empty", REG_BINARY, {}},
        {u"ShortDword", REG_DWORD, {1, 2, 3}},
        {u"Custom", 0x12345, {9, 8, 7}},
    };
    for (auto& c : cases) ASSERT_EQ(Set(c.name, c.type, c.data), ERROR_SUCCESS) << U8(c.name);
    for (auto& c : cases) {
        auto value = Stored(c.name);
        ASSERT_TRUE(value) << U8(c.name);
        EXPECT_EQ(value->type, c.type) << U8(c.name);
        EXPECT_EQ(value->data, c.data) << U8(c.name);
    }
    EXPECT_EQ(RegSetValueExW(m_key, u"Bad", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
    EXPECT_EQ(RegSetValueExW(m_key, u"Null", 0, REG_NONE, nullptr, 0), ERROR_SUCCESS);
    DWORD size = 7;
    EXPECT_EQ(RegQueryValueExW(m_key, u"Null", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 0u);
}

TEST_F(RegistryValues, NamesMatchWithoutCaseAndKeepTheirFirstCase) {
    ASSERT_EQ(Set(u"MaxBackups", REG_DWORD, {8, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"MAXBACKUPS", REG_DWORD, {3, 0, 0, 0}), ERROR_SUCCESS);
    ASSERT_EQ(Set(u"Größe", REG_DWORD, {1, 0, 0, 0}), ERROR_SUCCESS);
    auto values = RegistryStore(CurrentMachine()).Values(u"HKLM\\software\\quorvane\\velumex");
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].name, u"MaxBackups");
    EXPECT_EQ(values[0].data, (std::vector<BYTE>{3, 0, 0, 0}));
    EXPECT_TRUE(Stored(u"GRÖßE"));
    EXPECT_EQ(RegDeleteValueW(m_key, u"maxbackups"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(m_key, u"MaxBackups"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryValues, AnsiFormsConvertNamesAndStringsThroughWindows1252) {
    // "€ Ünï" in Windows-1252 with its terminator, under a 1252 value name.
    const char ansi[] = "\x80 \xDCn\xEF";
    const char name[] =
        "Gr\xF6\xDF"
        "e";
    ASSERT_EQ(
        RegSetValueExA(m_key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(ansi), sizeof ansi),
        ERROR_SUCCESS);
    auto stored = Stored(u"größe");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->data, Utf16Bytes(u"€ Ünï"));

    DWORD size = 0, type = 0;
    EXPECT_EQ(RegQueryValueExA(m_key, name, nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof ansi);
    char buffer[16];
    size = 3;
    EXPECT_EQ(
        RegQueryValueExA(m_key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_MORE_DATA);
    EXPECT_EQ(size, sizeof ansi);
    size = sizeof buffer;
    EXPECT_EQ(
        RegQueryValueExA(m_key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, sizeof ansi);
    EXPECT_EQ(std::memcmp(buffer, ansi, sizeof ansi), 0);

    // A unit 1252 cannot express reads back as '?'; multi-strings and binary data pass as they
    // are given.
    ASSERT_EQ(Set(u"Greek", REG_SZ, Utf16Bytes(u"Ωx")), ERROR_SUCCESS);
    size = sizeof buffer;
    EXPECT_EQ(
        RegQueryValueExA(m_key, "greek", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::string(buffer, size), std::string("?x\0", 3));
    const BYTE multi[] = {'a', 0, 0xE9, 0, 0};
    ASSERT_EQ(RegSetValueExA(m_key, "Folders", 0, REG_MULTI_SZ, multi, sizeof multi),
              ERROR_SUCCESS);
    EXPECT_EQ(Stored(u"Folders")->data, (std::vector<BYTE>{'a', 0, 0, 0, 0xE9, 0, 0, 0, 0, 0}));
    const BYTE binary[] = {0x80, 0x00, 0xFF};
    ASSERT_EQ(RegSetValueExA(m_key, "Bin", 0, REG_BINARY, binary, sizeof binary), ERROR_SUCCESS);
    size = sizeof buffer;
    EXPECT_EQ(
        RegQueryValueExA(m_key, "Bin", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size),
        ERROR_SUCCESS);
    EXPECT_EQ(size, 3u);
    EXPECT_EQ(Stored(u"Bin")->data, (std::vector<BYTE>{0x80, 0x00, 0xFF}));

    HKEY sub = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Caf\xE9", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &sub, &disposition),
              ERROR_SUCCESS);
    EXPECT_TRUE(RegistryStore(CurrentMachine()).KeyExists(u"HKLM\\Software\\CAFÉ"));
    RegCloseKey(sub);
}

TEST_F(RegistryValues, StoreReadsStringsAndDwordsOnlyOfTheirOwnTypes) {
    RegistryStore store(CurrentMachine());
    const std::u16string key = u"HKLM\\Software\\Quorvane\\Velumex";
    // Text stops at the first terminator; a value without one keeps all its units.
    store.SetValue(key, u"Two", REG_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0});
    store.SetValue(key, u"Open", REG_EXPAND_SZ, {'x', 0, 'y', 0});
    store.SetValue(key, u"Short", REG_DWORD, {1, 2, 3});
    store.SetDword(key, u"Number", 0x80000001u);
    EXPECT_EQ(store.GetString(key, u"Two"), u"a");
    EXPECT_EQ(store.GetString(key, u"Open"), u"xy");
    EXPECT_EQ(store.GetString(key, u"Number"), std::nullopt);
    EXPECT_EQ(store.GetString(key, u"Missing"), std::nullopt);
    EXPECT_EQ(store.GetDword(key, u"Number"), 0x80000001u);
    EXPECT_EQ(store.GetDword(key, u"Short"), std::nullopt);
    EXPECT_EQ(store.GetDword(key, u"Two"), std::nullopt);
}

}  // namespace
}  // namespace pal
