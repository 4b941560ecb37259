#include "mail_client_info.h"

#include <cstring>
#include <initializer_list>

#include "st_log_file.h"

namespace {

const char kMailClientKey[] = "SOFTWARE\\Clients\\Mail\\Outlook Express";
const char kIdentitiesKey[] = "Identities";
const char kWabFileKey[] = "Software\\Microsoft\\WAB\\WAB4\\Wab File Name";
const char kMailProgramKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\msimn.exe";
const char kWabProgramKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\wab.exe";
const char kSettingsKey[] = "Software\\Quorvane\\Velumex";

void ExtractFirstIcons(HKEY root, LPCSTR programKey, HICON* large, HICON* small) {
    char program[MAX_PATH];
    if (!ReadRegistryPath(root, programKey, nullptr, program)) return;
    // The first icon of the program file, in both sizes.
    ExtractIconExA(program, 0, large, small, 1);
}

}  // namespace

void ClearMailClientInfo(MailClientInfo* info) { std::memset(info, 0, sizeof *info); }

void DestroyMailClientIcons(MailClientInfo* info) {
    for (HICON* icon : {&info->m_mailIconLarge, &info->m_mailIconSmall, &info->m_wabIconLarge,
                        &info->m_wabIconSmall}) {
        // Releases an icon ExtractIconEx made.
        if (*icon) DestroyIcon(*icon);
        *icon = nullptr;
    }
}

BOOL ReadRegistryString(HKEY root, LPCSTR subKey, LPCSTR valueName, char (&buffer)[MAX_PATH]) {
    buffer[0] = '\0';
    HKEY key = nullptr;
    // Read access suffices; a missing key means a missing value.
    if (RegOpenKeyExA(root, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return FALSE;
    DWORD type = 0;
    DWORD size = MAX_PATH;
    // The value's data in the ANSI code page, its terminator included in `size`.
    LONG result =
        RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        buffer[0] = '\0';
        return FALSE;
    }
    buffer[size < MAX_PATH ? size : MAX_PATH - 1] = '\0';
    return TRUE;
}

BOOL ReadRegistryPath(HKEY root, LPCSTR subKey, LPCSTR valueName, char (&buffer)[MAX_PATH]) {
    char raw[MAX_PATH];
    if (!ReadRegistryString(root, subKey, valueName, raw)) {
        buffer[0] = '\0';
        return FALSE;
    }
    // %NAME% replaced from the environment; the size counts the terminator.
    DWORD size = ExpandEnvironmentStringsA(raw, buffer, MAX_PATH);
    if (size == 0 || size > MAX_PATH) {
        buffer[0] = '\0';
        return FALSE;
    }
    return TRUE;
}

void DetectMailClient(MailClientInfo* info) {
    CSTLogScope scope("Checking OE version...");

    HKEY settings = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSettingsKey, 0, KEY_READ, &settings) == ERROR_SUCCESS) {
        DWORD value = 0;
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExA(settings, "NoChangeDisplayName", nullptr, &type,
                             reinterpret_cast<LPBYTE>(&value), &size) == ERROR_SUCCESS &&
            size == sizeof value)
            info->m_noChangeDisplayName = value;
        RegCloseKey(settings);
    }

    ReadRegistryString(HKEY_CURRENT_USER, kWabFileKey, nullptr, info->m_wabFile);
    ST_LOG("WAB file name for this user: %s", info->m_wabFile);

    char library[MAX_PATH];
    if (!ReadRegistryString(HKEY_LOCAL_MACHINE, kMailClientKey, "DLLPath", library)) return;
    ReadRegistryPath(HKEY_LOCAL_MACHINE, kMailClientKey, "DLLPath", info->m_mapiLibrary);
    ReadRegistryString(HKEY_CURRENT_USER, kIdentitiesKey, "Default user ID", info->m_identity);
    ExtractFirstIcons(HKEY_LOCAL_MACHINE, kMailProgramKey, &info->m_mailIconLarge,
                      &info->m_mailIconSmall);
    ExtractFirstIcons(HKEY_LOCAL_MACHINE, kWabProgramKey, &info->m_wabIconLarge,
                      &info->m_wabIconSmall);
}
