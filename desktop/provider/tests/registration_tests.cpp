// DllRegisterServer / DllUnregisterServer: the COM keys, the object types under the Pocket PC
// special defaults and under served partnerships, with and without the competing providers.
#include <optional>
#include <string>

#include "../../resources/resource_ids.h"
#include "store_fixture.h"

STDAPI DllRegisterServer();
STDAPI DllUnregisterServer();

namespace {

const char kDefaults[] =
    "SOFTWARE\\Microsoft\\Windows CE Services\\SpecialDefaults\\%s\\Services\\Synchronization\\"
    "Objects\\%s";

std::optional<std::string> Text(HKEY root, const std::string& path, const char* name) {
    char buffer[512];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::string(buffer);
}

std::optional<DWORD> Dword(HKEY root, const std::string& path, const char* name) {
    DWORD value = 0;
    DWORD size = sizeof value;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
    LONG result =
        RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

std::string Defaults(const char* deviceType, const char* objectType) {
    char path[512];
    std::snprintf(path, sizeof path, kDefaults, deviceType, objectType);
    return path;
}

std::string PartnerObjects(DWORD id, const char* objectType) {
    char path[512];
    std::snprintf(path, sizeof path,
                  "Software\\Microsoft\\Windows CE Services\\Partners\\%08x\\Services\\"
                  "Synchronization\\Objects\\%s",
                  id, objectType);
    return path;
}

std::string Narrow(const std::u16string& text) { return std::string(text.begin(), text.end()); }

class RegistrationTest : public trellium_testing::StoreTest {
protected:
    explicit RegistrationTest(activesync::EngineSetup setup = {}) : StoreTest(setup) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, nullptr, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>("C:\\Mail\\msimn.exe"), 18);
        RegCloseKey(key);
    }
};

class RegistrationWithoutCompetitorsTest : public RegistrationTest {
protected:
    RegistrationWithoutCompetitorsTest() : RegistrationTest({false, false}) {}
};

TEST_F(RegistrationTest, WritesTheComClassAndProgId) {
    EXPECT_EQ(DllRegisterServer(), S_OK);
    const std::string clsid = "CLSID\\{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0}";
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid, nullptr), "Outlook Express");
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", nullptr), exe);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid + "\\InprocServer32", "ThreadingModel"), std::nullopt);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid + "\\ProgId", nullptr), "KV.WinCE.OE.3");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KV.WinCE.OE.3", nullptr), "Outlook Express Store");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KV.WinCE.OE.3", "Display Name"), "Outlook Express");
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KV.WinCE.OE.3\\CLSID", nullptr),
              "{B09BEBD5-0544-48e5-BBA0-7AAD157B3AA0}");

    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, clsid, nullptr), std::nullopt);
    EXPECT_EQ(Text(HKEY_CLASSES_ROOT, "KV.WinCE.OE.3", nullptr), std::nullopt);
}

TEST_F(RegistrationTest, EnabledCompetitorsLeaveOurTypesDisabledEverywhere) {
    DWORD partner = Partner();
    DllRegisterServer();
    for (const char* deviceType : {"PocketPC", "PocketPC04"}) {
        std::string message = Defaults(deviceType, "Message");
        EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, message, "Disabled"), 1u) << deviceType;
        EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults(deviceType, "Address"), "Disabled"), 1u);
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, message, "Store"), "KV.WinCE.OE.3");
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, message, nullptr),
                  Narrow(ResourceText(IDS_MESSAGE_NAME)));
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, message, "Display Name"),
                  Narrow(ResourceText(IDS_MESSAGE_NAME)));
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, message, "Plural Name"),
                  Narrow(ResourceText(IDS_MESSAGE_PLURAL)));
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, message, "DefaultIcon"), "C:\\Mail\\msimn.exe,0");
        EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Defaults(deviceType, "Address"), "Plural Name"),
                  Narrow(ResourceText(IDS_ADDRESS_PLURAL)));
        EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults(deviceType, "Merlin Mail"), "Disabled"), 0u);
        EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults(deviceType, "Contact"), "Disabled"), 0u);
    }
    EXPECT_EQ(Dword(HKEY_CURRENT_USER, PartnerObjects(partner, "Message"), "Disabled"), 1u);
    EXPECT_EQ(Dword(HKEY_CURRENT_USER, PartnerObjects(partner, "Merlin Mail"), "Disabled"), 0u);
}

TEST_F(RegistrationWithoutCompetitorsTest, OurTypesAreEnabledAndNoCompetitorIsCreated) {
    DllRegisterServer();
    EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Message"), "Disabled"), 0u);
    EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Address"), "Disabled"), 0u);
    EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Merlin Mail"), "Disabled"),
              std::nullopt);
    EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Contact"), "Disabled"), std::nullopt);
    // Without an App Paths entry the icon location is the bare ",0".
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Address"), "DefaultIcon"), ",0");
}

TEST_F(RegistrationWithoutCompetitorsTest, CompetitorRuleDisablesExistingCompetitorsOfPocketPC) {
    // Competitors present only below the device types, after the defaults were decided.
    for (const char* deviceType : {"PocketPC", "PocketPC04"}) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, Defaults(deviceType, "Contact").c_str(), 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    }
    DWORD partner = Partner(u"pocketpc04");
    DWORD other = Partner(u"Smartphone");
    DllRegisterServer();
    EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Contact"), "Disabled"), 1u);
    EXPECT_EQ(Dword(HKEY_LOCAL_MACHINE, Defaults("PocketPC04", "Contact"), "Disabled"),
              std::nullopt);
    EXPECT_EQ(Dword(HKEY_CURRENT_USER, PartnerObjects(partner, "Address"), "Disabled"), 0u);
    EXPECT_EQ(Dword(HKEY_CURRENT_USER, PartnerObjects(partner, "Contact"), "Disabled"), 1u);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, PartnerObjects(other, "Message"), "Store"), std::nullopt);

    DllUnregisterServer();
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Defaults("PocketPC", "Message"), "Store"), std::nullopt);
    EXPECT_EQ(Text(HKEY_LOCAL_MACHINE, Defaults("PocketPC04", "Address"), "Store"), std::nullopt);
    EXPECT_EQ(Text(HKEY_CURRENT_USER, PartnerObjects(partner, "Address"), "Store"), std::nullopt);
    // The competitor stays disabled.
    EXPECT_EQ(Dword(HKEY_CURRENT_USER, PartnerObjects(partner, "Contact"), "Disabled"), 1u);
}

}  // namespace
