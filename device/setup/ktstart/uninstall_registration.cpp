#include "uninstall_registration.h"

#include <string>

#include "../setup_names.h"

namespace {

const WCHAR kAppInstallKey[] = W("Security\\AppInstall\\Quorvane Velumex");
const WCHAR kMarker[] = W("</characteristic>");
const UINT kRemovalTemplate = 100;
const DWORD kUninstallFileLimit = 256 * 1024;

// The "Uninstall" path in `path` (MAX_PATH characters); FALSE when it is not registered.
BOOL ReadUninstallPath(LPWSTR path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppInstallKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return FALSE;
    DWORD size = (MAX_PATH - 1) * sizeof(WCHAR);
    DWORD type = 0;
    LONG status = RegQueryValueExW(key, W("Uninstall"), nullptr, &type,
                                   reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_SZ && path[0];
}

BOOL ReadText(HANDLE file, std::u16string& text) {
    DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE || size > kUninstallFileLimit) return FALSE;
    std::string bytes(size, '\0');
    DWORD total = 0;
    while (total < size) {
        DWORD read = 0;
        if (!ReadFile(file, bytes.data() + total, size - total, &read, nullptr) || read == 0)
            return FALSE;
        total += read;
    }
    text.assign(size / sizeof(WCHAR), 0);
    for (size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<WCHAR>(static_cast<BYTE>(bytes[2 * i]) |
                                     static_cast<BYTE>(bytes[2 * i + 1]) << 8);
    return TRUE;
}

BOOL WriteText(HANDLE file, const std::u16string& text) {
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) != 0) return FALSE;
    std::string bytes;
    for (WCHAR unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    DWORD written = 0;
    return WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && SetEndOfFile(file);
}

}  // namespace

void RegisterAccountRemoval(HINSTANCE instance) {
    WCHAR path[MAX_PATH] = {};
    if (!ReadUninstallPath(path)) return;
    auto templateText =
        reinterpret_cast<LPCWSTR>(LoadStringW(instance, kRemovalTemplate, nullptr, 0));
    if (!templateText) return;
    WCHAR removal[1024] = {};
    wsprintfW(removal, templateText, ACCOUNT_GUID);

    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::u16string text;
    if (ReadText(file, text) && text.find(removal) == std::u16string::npos) {
        size_t marker = text.find(kMarker);
        if (marker != std::u16string::npos) {
            std::u16string extended = text;
            extended.insert(marker + lstrlenW(kMarker), removal);
            if (!WriteText(file, extended)) WriteText(file, text);
        }
    }
    CloseHandle(file);
}
