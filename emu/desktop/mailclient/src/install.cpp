// Installing the mail client into a desktop machine: its files and the registry values by which
// the desktop finds its Simple MAPI library, store namespace, identity, programs and address-book
// file.
#include <dlfcn.h>
#include <store_namespace.h>
#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string>

#include "emu/mailclient/inbox_watch.h"
#include "emu/mailclient/mail_client.h"
#include "mail_store.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"

namespace emu::mailclient {

namespace {

// The identity every installation starts with; a re-installation keeps the one present.
constexpr std::u16string_view kIdentity = u"{5E4B1C2A-7D3F-4A91-B6E8-0C2D9F7A1B34}";

// The folder holding the built modules: the one this library was loaded from.
std::filesystem::path ModuleFolder() {
    Dl_info info{};
    if (!::dladdr(reinterpret_cast<void*>(&InstallMailClient), &info) || !info.dli_fname)
        throw std::runtime_error("mail client: cannot locate its own library");
    return std::filesystem::path(info.dli_fname).parent_path();
}

void Check(LONG result, std::u16string_view key, const char* what) {
    if (result != ERROR_SUCCESS)
        throw std::runtime_error("mail client: cannot " + std::string(what) + " " + pal::U8(key) +
                                 " (error " + std::to_string(result) + ")");
}

// Writes one string value (REG_SZ or REG_EXPAND_SZ; empty name: the default value).
void SetString(HKEY root, std::u16string_view key, std::u16string_view name, DWORD type,
               std::u16string_view value) {
    std::u16string path(key), valueName(name), data(value);
    HKEY handle = nullptr;
    // Opens the key, creating it and its parents.
    Check(RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                          nullptr, &handle, nullptr),
          key, "create");
    // Stores the string with its terminator, as the registry sizes strings.
    LONG result = RegSetValueExW(handle, valueName.c_str(), 0, type,
                                 reinterpret_cast<const BYTE*>(data.c_str()),
                                 static_cast<DWORD>((data.size() + 1) * sizeof(char16_t)));
    // Writes the hive, so the installation survives the world's next opening.
    if (result == ERROR_SUCCESS) result = RegFlushKey(handle);
    RegCloseKey(handle);
    Check(result, key, "write to");
}

bool HasValue(HKEY root, std::u16string_view key, std::u16string_view name) {
    std::u16string path(key), valueName(name);
    HKEY handle = nullptr;
    // Opens an existing key only.
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &handle) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    // Asks only whether the value is there.
    bool found = RegQueryValueExW(handle, valueName.c_str(), nullptr, nullptr, nullptr, &size) ==
                 ERROR_SUCCESS;
    RegCloseKey(handle);
    return found;
}

// "C:\Program Files\…" as "%ProgramFiles%\…".
std::u16string UnderProgramFiles(std::u16string_view path) {
    constexpr std::u16string_view prefix = u"C:\\Program Files\\";
    return u"%ProgramFiles%\\" + std::u16string(path.substr(prefix.size()));
}

}  // namespace

void InstallMailClient(pal::Machine& machine) {
    if (!machine.IsDesktop()) throw std::runtime_error("the mail client installs on a desktop");
    std::filesystem::path modules = ModuleFolder();
    pal::InstallModule(machine, modules / "mailclient_mapi.so", kLibraryPath);
    pal::InstallModule(machine, modules / "mailclient_store.so", kStoreLibraryPath);
    pal::InstallModule(machine, modules / "mailclient_program.so", kMailProgramPath);
    pal::InstallModule(machine, modules / "addressbook_program.so", kAddressBookProgramPath);

    pal::ScopedContext context(machine);
    SetString(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Clients\\Mail\\Outlook Express", u"DLLPath",
              REG_EXPAND_SZ, UnderProgramFiles(kLibraryPath));
    if (!HasValue(HKEY_CURRENT_USER, u"Identities", u"Default user ID"))
        SetString(HKEY_CURRENT_USER, u"Identities", u"Default user ID", REG_SZ, kIdentity);
    SetString(HKEY_LOCAL_MACHINE,
              u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe", u"",
              REG_EXPAND_SZ, UnderProgramFiles(kMailProgramPath));
    SetString(HKEY_LOCAL_MACHINE,
              u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wab.exe", u"",
              REG_EXPAND_SZ, UnderProgramFiles(kAddressBookProgramPath));
    SetString(HKEY_CURRENT_USER, u"Software\\Microsoft\\WAB\\WAB4\\Wab File Name", u"", REG_SZ,
              kAddressBookFile);
    WCHAR clsid[39];
    // The braced text of the store namespace's class id.
    StringFromGUID2(CLSID_StoreNamespace, clsid, 39);
    std::u16string server = u"CLSID\\" + std::u16string(clsid) + u"\\InprocServer32";
    SetString(HKEY_CLASSES_ROOT, server, u"", REG_SZ, kStoreLibraryPath);
    SetString(HKEY_CLASSES_ROOT, server, u"ThreadingModel", REG_SZ, u"Apartment");
    // The message store is made here, so that losing it later is reported, not hidden.
    MailStore& store = machine.Get<MailStore>();
    std::lock_guard<std::recursive_mutex> guard(store.Lock());
    store.Db();
}

}  // namespace emu::mailclient
