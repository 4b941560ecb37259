// DllRegisterServer and DllUnregisterServer: the COM registration of the store and the
// engine's registration of the "Message" and "Address" object types, for the Pocket PC device
// types' defaults and for every existing partnership of those device types. Neither ever fails:
// a registry or partnership call that fails only skips what depends on it.
#include <ceutil.h>

#include <cstdio>
#include <cstring>

#include "../resources/resource_ids.h"
#include "mail_client_info.h"
#include "resource_library.h"
#include "store.h"

namespace {

const char kClsidKey[] = "CLSID\\" STORE_CLSID_TEXT;
const char kSpecialDefaults[] =
    "SOFTWARE\\Microsoft\\Windows CE Services\\SpecialDefaults\\%s\\Services\\Synchronization"
    "\\Objects";
const char kPartnershipObjects[] = "Services\\Synchronization\\Objects";
const char* const kDeviceTypes[] = {"PocketPC", "PocketPC04"};

struct ObjectType {
    const char* name;
    UINT displayName;
    UINT pluralName;
    const char* programKey;
    const char* competitor;
};

const ObjectType kObjectTypes[] = {
    {"Message", IDS_MESSAGE_NAME, IDS_MESSAGE_PLURAL,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", "Merlin Mail"},
    {"Address", IDS_ADDRESS_NAME, IDS_ADDRESS_PLURAL,
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wab.exe", "Contact"},
};
constexpr int kTypeCount = 2;

void SetString(HKEY key, LPCSTR name, LPCSTR text) {
    // REG_SZ with its terminator.
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

void SetDword(HKEY key, LPCSTR name, DWORD value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// Creates (or opens) a key and sets its default value, and optionally one named value.
void WriteKey(HKEY root, LPCSTR path, LPCSTR defaultText, LPCSTR name = nullptr,
              LPCSTR text = nullptr) {
    HKEY key = nullptr;
    // Created when missing, with full access for writing.
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    SetString(key, nullptr, defaultText);
    if (name) SetString(key, name, text);
    RegCloseKey(key);
}

// Deletes a key with all its subkeys, depth first.
void DeleteTree(HKEY root, LPCSTR path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        char child[MAX_PATH];
        for (;;) {
            DWORD length = MAX_PATH;
            // Always the first remaining subkey, since each is deleted in turn.
            if (RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            char childPath[2 * MAX_PATH];
            std::snprintf(childPath, sizeof childPath, "%s\\%s", path, child);
            DeleteTree(root, childPath);
        }
        RegCloseKey(key);
    }
    // Removes the now empty key.
    RegDeleteKeyA(root, path);
}

// "Disabled" of a special-defaults object type for Pocket PC; 1 when it cannot be read.
DWORD ReadDefaultSwitch(LPCSTR type) {
    char path[512];
    std::snprintf(path, sizeof path, kSpecialDefaults, "PocketPC");
    std::strncat(path, "\\", sizeof path - std::strlen(path) - 1);
    std::strncat(path, type, sizeof path - std::strlen(path) - 1);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    DWORD value = 1;
    DWORD type_ = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, "Disabled", nullptr, &type_, reinterpret_cast<LPBYTE>(&value),
                         &size) != ERROR_SUCCESS ||
        type_ != REG_DWORD || size != sizeof value)
        value = 1;
    RegCloseKey(key);
    return value;
}

// Registers both object types under `parent`, an existing key; with `competitorRule`, an enabled
// type disables the competing provider's existing type of the same data.
void RegisterObjectTypes(HKEY parent, const DWORD (&switches)[kTypeCount], bool competitorRule) {
    for (int i = 0; i < kTypeCount; ++i) {
        const ObjectType& type = kObjectTypes[i];
        char program[MAX_PATH];
        char icon[MAX_PATH + 3];
        ReadRegistryPath(HKEY_LOCAL_MACHINE, type.programKey, nullptr, program);
        std::snprintf(icon, sizeof icon, "%s,0", program);
        char displayName[256];
        char pluralName[256];
        LoadResourceText(type.displayName, displayName, sizeof displayName);
        LoadResourceText(type.pluralName, pluralName, sizeof pluralName);

        HKEY key = nullptr;
        // The object type's subkey, created when missing.
        if (RegCreateKeyExA(parent, type.name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS) {
            SetString(key, nullptr, displayName);
            SetString(key, "Display Name", displayName);
            SetString(key, "Plural Name", pluralName);
            SetString(key, "Store", STORE_PROGID);
            SetDword(key, "Disabled", switches[i]);
            SetString(key, "DefaultIcon", icon);
            RegCloseKey(key);
        }
        if (competitorRule && switches[i] == 0) {
            HKEY competitor = nullptr;
            // Only an existing competitor is switched off; none is created.
            if (RegOpenKeyExA(parent, type.competitor, 0, KEY_SET_VALUE, &competitor) ==
                ERROR_SUCCESS) {
                SetDword(competitor, "Disabled", 1);
                RegCloseKey(competitor);
            }
        }
    }
}

void RegisterUnderDefaults(LPCSTR deviceType, const DWORD (&switches)[kTypeCount],
                           bool competitorRule) {
    char path[512];
    std::snprintf(path, sizeof path, kSpecialDefaults, deviceType);
    HKEY parent = nullptr;
    // Nothing is registered for a device type the engine does not know.
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE,
                      &parent) != ERROR_SUCCESS)
        return;
    RegisterObjectTypes(parent, switches, competitorRule);
    RegCloseKey(parent);
}

void UnregisterUnder(HKEY parent) {
    for (const ObjectType& type : kObjectTypes) DeleteTree(parent, type.name);
}

bool IsServedDeviceType(LPCSTR deviceType) {
    for (const char* served : kDeviceTypes)
        if (lstrcmpiA(deviceType, served) == 0) return true;
    return false;
}

// Calls `visit` with the "Services\Synchronization\Objects" key of every partnership whose
// device type is served.
template <class Visit>
void ForEachServedPartnership(Visit visit) {
    HCESVC enumeration = nullptr;
    DWORD profile = 0;
    // Profile ids from index 0 until the enumeration ends.
    for (DWORD index = 0; SUCCEEDED(CeSvcEnumProfiles(&enumeration, index, &profile)); ++index) {
        if (profile == 0xFFFFFFFF) continue;
        HCESVC partnership = nullptr;
        if (FAILED(CeSvcOpen(CESVC_DEVICEX,
                             reinterpret_cast<LPSTR>(static_cast<DWORD_PTR>(profile)), FALSE,
                             &partnership)))
            continue;
        char deviceType[MAX_PATH] = {};
        if (SUCCEEDED(CeSvcGetString(partnership, "DeviceType", deviceType, MAX_PATH)) &&
            IsServedDeviceType(deviceType)) {
            HKEY objects = nullptr;
            if (RegOpenKeyExA(partnership, kPartnershipObjects, 0,
                              KEY_READ | KEY_CREATE_SUB_KEY | KEY_SET_VALUE,
                              &objects) == ERROR_SUCCESS) {
                visit(objects);
                RegCloseKey(objects);
            }
        }
        CeSvcClose(partnership);
    }
    if (enumeration) CeSvcClose(enumeration);
}

}  // namespace

STDAPI DllRegisterServer() {
    LoadResourceLibrary();
    char path[MAX_PATH] = {};
    // This library's own full path, for the class's in-process server.
    GetModuleFileNameA(ProviderModule(), path, MAX_PATH);

    WriteKey(HKEY_CLASSES_ROOT, kClsidKey, STORE_DESCRIPTION);
    WriteKey(HKEY_CLASSES_ROOT, "CLSID\\" STORE_CLSID_TEXT "\\InprocServer32", path);
    WriteKey(HKEY_CLASSES_ROOT, "CLSID\\" STORE_CLSID_TEXT "\\ProgId", STORE_PROGID);
    WriteKey(HKEY_CLASSES_ROOT, STORE_PROGID, STORE_DESCRIPTION " Store", "Display Name",
             STORE_DESCRIPTION);
    WriteKey(HKEY_CLASSES_ROOT, STORE_PROGID "\\CLSID", STORE_CLSID_TEXT);

    // Enabled by default only where the competing provider of the same data is not.
    DWORD switches[kTypeCount];
    for (int i = 0; i < kTypeCount; ++i)
        switches[i] = ReadDefaultSwitch(kObjectTypes[i].competitor) == 0 ? 1 : 0;

    RegisterUnderDefaults("PocketPC", switches, true);
    RegisterUnderDefaults("PocketPC04", switches, false);
    ForEachServedPartnership([&](HKEY objects) { RegisterObjectTypes(objects, switches, true); });

    FreeResourceLibrary();
    return S_OK;
}

STDAPI DllUnregisterServer() {
    LoadResourceLibrary();
    DeleteTree(HKEY_CLASSES_ROOT, kClsidKey);
    DeleteTree(HKEY_CLASSES_ROOT, STORE_PROGID);
    for (const char* deviceType : kDeviceTypes) {
        char path[512];
        std::snprintf(path, sizeof path, kSpecialDefaults, deviceType);
        HKEY parent = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, &parent) == ERROR_SUCCESS) {
            UnregisterUnder(parent);
            RegCloseKey(parent);
        }
    }
    ForEachServedPartnership([](HKEY objects) { UnregisterUnder(objects); });
    FreeResourceLibrary();
    return S_OK;
}
