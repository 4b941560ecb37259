// Installing the mail client: files, and every registry value mail-client detection reads.
#include "mailclient_testing/mail_client_test.h"

namespace mailclient_testing {
namespace {

using Installation = MailClientTest;

// A string value as the desktop reads it: type and ANSI text.
std::pair<DWORD, std::string> Value(HKEY root, const char* key, const char* name) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return {REG_NONE, ""};
    char data[MAX_PATH] = {};
    DWORD size = sizeof data, type = REG_NONE;
    LONG result =
        RegQueryValueExA(handle, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return {REG_NONE, ""};
    return {type, data};
}

std::string Expand(const std::string& text) {
    char out[MAX_PATH];
    return ExpandEnvironmentStringsA(text.c_str(), out, MAX_PATH) ? out : "";
}

TEST_F(Installation, RegistersTheLibraryThroughAnEnvironmentVariable) {
    auto [type, path] =
        Value(HKEY_LOCAL_MACHINE, "SOFTWARE\\Clients\\Mail\\Outlook Express", "DLLPath");
    EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
    EXPECT_EQ(path.rfind("%ProgramFiles%\\", 0), 0u) << path;
    EXPECT_EQ(Expand(path), pal::U8(kLibraryPath));
    EXPECT_TRUE(std::filesystem::is_regular_file(Host(Expand(path))));
    HMODULE module = LoadLibraryA(Expand(path).c_str());
    ASSERT_NE(module, nullptr);
    for (const char* name : {"MAPILogon", "MAPILogoff", "MAPIReadMail", "MAPIFreeBuffer",
                             "MAPIFindNext", "MAPISendMail", "MAPIDeleteMail"})
        EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
    FreeLibrary(module);
}

TEST_F(Installation, ProgramsOfTheAppPathsCarryIcons) {
    for (const char* program : {"msimn.exe", "wab.exe"}) {
        std::string key =
            std::string("SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\") + program;
        auto [type, path] = Value(HKEY_LOCAL_MACHINE, key.c_str(), nullptr);
        ASSERT_TRUE(type == REG_SZ || type == REG_EXPAND_SZ) << program;
        HICON large = nullptr, small = nullptr;
        EXPECT_EQ(ExtractIconExA(Expand(path).c_str(), 0, &large, &small, 1), 1u) << program;
        EXPECT_NE(large, nullptr);
        EXPECT_NE(small, nullptr);
        if (large) DestroyIcon(large);
        if (small) DestroyIcon(small);
    }
}

TEST_F(Installation, WritesIdentityAndAddressBookFileAndKeepsTheIdentity) {
    auto [identityType, identity] = Value(HKEY_CURRENT_USER, "Identities", "Default user ID");
    EXPECT_EQ(identityType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(identity.size(), 38u);
    auto [wabType, wab] =
        Value(HKEY_CURRENT_USER, "Software\\Microsoft\\WAB\\WAB4\\Wab File Name", nullptr);
    EXPECT_EQ(wabType, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(wab, pal::U8(kAddressBookFile));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Identities", 0, KEY_WRITE, &key), ERROR_SUCCESS);
    const char chosen[] = "{00000000-1111-2222-3333-444444444444}";
    RegSetValueExA(key, "Default user ID", 0, REG_SZ, reinterpret_cast<const BYTE*>(chosen),
                   sizeof chosen);
    RegCloseKey(key);
    InstallMailClient(Desktop());
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Identities", "Default user ID").second, chosen);
}

TEST_F(Installation, SurvivesReopeningTheWorld) {
    std::uint64_t id = AddMessage(Desktop(), Mail("kept"));
    Reopen();
    EXPECT_EQ(RegisteredLibraryPath(), m_libraryPath);
    std::optional<Message> message = FindMessage(Desktop(), id);
    ASSERT_TRUE(message);
    EXPECT_EQ(message->subject, "kept");
    // Identifiers keep rising across runs.
    EXPECT_GT(AddMessage(Desktop(), Mail("next")), id);
}

TEST(InstallationOnADevice, IsRefused) {
    pal::testing::TempWorld world;
    EXPECT_THROW(InstallMailClient(world.Device()), std::runtime_error);
}

}  // namespace
}  // namespace mailclient_testing
