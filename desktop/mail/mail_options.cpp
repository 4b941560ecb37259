#include "mail_options.h"

#include <rapi.h>
#include <replication.h>

#include <utility>

#include "partnership_key.h"

namespace {

// The device's settings key, under its HKEY_CURRENT_USER. The device reads "NoKeepSentOver"
// from this key when it deletes a message it had the desktop send.
const WCHAR kDeviceSettingsKey[] = W("Software\\Quorvane\\Velumex");

void ReadDword(HKEY key, LPCSTR name, DWORD* value) {
    DWORD data = 0;
    DWORD type = 0;
    DWORD size = sizeof data;
    // Only a 4-byte REG_DWORD replaces the value held.
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&data), &size) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof data)
        *value = data;
}

LONG WriteDword(HKEY key, LPCSTR name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

}  // namespace

void LoadMailOptions(HKEY partnership, MailSettings* settings) {
    HKEY key = nullptr;
    // Read access only; without the subkey every value keeps its default.
    if (RegOpenKeyExA(partnership, PARTNERSHIP_OPTIONS_SUBKEY, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    ReadDword(key, "Options", &settings->options);
    ReadDword(key, "MaxLines", &settings->maxLines);
    ReadDword(key, "Days", &settings->days);
    ReadDword(key, "SizeLimit", &settings->sizeLimit);
    RegCloseKey(key);
}

LONG SaveMailOptions(HKEY partnership, const MailSettings& settings) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExA(partnership, PARTNERSHIP_OPTIONS_SUBKEY, 0, nullptr, 0,
                                  KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (result != ERROR_SUCCESS) return result;
    const std::pair<LPCSTR, DWORD> values[] = {{"Options", settings.options},
                                               {"MaxLines", settings.maxLines},
                                               {"Days", settings.days},
                                               {"SizeLimit", settings.sizeLimit}};
    for (const auto& [name, value] : values) {
        result = WriteDword(key, name, value);
        if (result != ERROR_SUCCESS) break;
    }
    RegCloseKey(key);
    return result;
}

BOOL WriteNoKeepSentOver(const MailSettings& settings, UINT storeFlags) {
    // The selected partnership's device need not be the one connected.
    if (storeFlags & ISF_SELECTED_DEVICE) return FALSE;
    HKEY key = nullptr;
    // Opened on the device; remote opens take no access mask.
    if (CeRegOpenKeyEx(HKEY_CURRENT_USER, kDeviceSettingsKey, 0, 0, &key) != ERROR_SUCCESS)
        return FALSE;
    const DWORD both = MAIL_OPT_SEND | MAIL_OPT_NO_KEEP_SENT;
    DWORD value = (settings.options & both) == both ? 1 : 0;
    LONG result = CeRegSetValueEx(key, W("NoKeepSentOver"), 0, REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&value), sizeof value);
    CeRegCloseKey(key);
    return result == ERROR_SUCCESS;
}
