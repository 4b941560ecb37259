// The partnership utility library: the engine's partnership keys in the desktop registry of the
// calling process's machine, and the ids of the connected and selected partnerships.
#include "ceutil.h"

#include <cstring>
#include <string>

#include "activesync/device_link.h"
#include "activesync/partnerships.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"

namespace {

// The partnership root below HKEY_CURRENT_USER.
std::string PartnersPath() {
    return pal::Utf16ToUtf8(activesync::kDesktopPartnersKey.substr(5));
}

std::string ProfilePath(DWORD id) {
    return pal::Utf16ToUtf8(activesync::PartnershipKeyPath(id).substr(5));
}

HRESULT FromRegistry(LONG status) {
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(status));
}

HRESULT OpenKey(HKEY root, const char* path, BOOL create, PHCESVC result) {
    LONG status = create ? RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                           result, nullptr)
                         : RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, result);
    if (status != ERROR_SUCCESS) *result = nullptr;
    return FromRegistry(status);
}

HRESULT BadKey(LONG status) {
    return status == ERROR_INVALID_HANDLE ? E_INVALIDARG : FromRegistry(status);
}

}  // namespace

// Opens the partnership key of a profile id (CESVC_DEVICEX); other roots are not served.
STDAPI CeSvcOpen(UINT uSvc, LPSTR pszPath, BOOL fCreate, PHCESVC phSvc) {
    if (!phSvc) return E_INVALIDARG;
    *phSvc = nullptr;
    if (uSvc != CESVC_DEVICEX) return E_INVALIDARG;
    DWORD id = static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(pszPath));
    if (id == 0 || id == 0xFFFFFFFF) return E_INVALIDARG;
    return OpenKey(HKEY_CURRENT_USER, ProfilePath(id).c_str(), fCreate, phSvc);
}

// Opens or creates a subkey of an open key.
STDAPI CeSvcOpenEx(HCESVC hSvcRoot, LPSTR pszPath, BOOL fCreate, PHCESVC phSvc) {
    if (!phSvc) return E_INVALIDARG;
    *phSvc = nullptr;
    if (!hSvcRoot || !pszPath) return E_INVALIDARG;
    HRESULT result = OpenKey(hSvcRoot, pszPath, fCreate, phSvc);
    return result == HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE) ? E_INVALIDARG : result;
}

// Closes a key.
STDAPI CeSvcClose(HCESVC hSvc) {
    if (!hSvc) return E_INVALIDARG;
    return BadKey(RegCloseKey(hSvc));
}

// Reads a REG_DWORD value.
STDAPI CeSvcGetDword(HCESVC hSvc, LPCSTR pszValName, LPDWORD pdwVal) {
    if (!hSvc || !pdwVal) return E_INVALIDARG;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG status = RegQueryValueExA(hSvc, pszValName, nullptr, &type,
                                   reinterpret_cast<LPBYTE>(&value), &size);
    if (status == ERROR_MORE_DATA) return E_FAIL;
    if (status != ERROR_SUCCESS) return BadKey(status);
    if (type != REG_DWORD || size != sizeof value) return E_FAIL;
    *pdwVal = value;
    return S_OK;
}

// Reads a REG_SZ value into a buffer of cbVal characters.
STDAPI CeSvcGetString(HCESVC hSvc, LPCSTR pszValName, LPSTR pszVal, DWORD cbVal) {
    if (!hSvc || !pszVal || !cbVal) return E_INVALIDARG;
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExA(hSvc, pszValName, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        pszVal[0] = '\0';
        return BadKey(status);
    }
    if (type != REG_SZ) {
        pszVal[0] = '\0';
        return E_FAIL;
    }
    std::string text(size + 1, '\0');
    status = RegQueryValueExA(hSvc, pszValName, nullptr, &type,
                              reinterpret_cast<LPBYTE>(text.data()), &size);
    if (status != ERROR_SUCCESS) {
        pszVal[0] = '\0';
        return FromRegistry(status);
    }
    size_t length = strnlen(text.c_str(), size);
    if (length + 1 > cbVal) {
        pszVal[0] = '\0';
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    }
    std::memcpy(pszVal, text.c_str(), length + 1);
    return S_OK;
}

// Enumerates partnership profile ids, in the order of their keys.
STDAPI CeSvcEnumProfiles(PHCESVC phSvc, DWORD lProfileIndex, PDWORD plProfile) {
    if (!phSvc || !plProfile) return E_INVALIDARG;
    if (!*phSvc) {
        HRESULT opened = OpenKey(HKEY_CURRENT_USER, PartnersPath().c_str(), TRUE, phSvc);
        if (FAILED(opened)) return opened;
    }
    char name[MAX_PATH];
    DWORD length = MAX_PATH;
    LONG status =
        RegEnumKeyExA(*phSvc, lProfileIndex, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return BadKey(status);
    *plProfile = static_cast<DWORD>(std::strtoul(name, nullptr, 16));
    return S_OK;
}

// The connected partnership's id, or 0.
STDAPI_(DWORD) CeGetDeviceId(void) {
    pal::Machine* desktop = pal::TryCurrentMachine();
    return desktop ? activesync::DeviceLink::ConnectedId(*desktop) : 0;
}

// The selected partnership's id, or 0.
STDAPI_(DWORD) CeGetSelectedDeviceId(void) {
    pal::Machine* desktop = pal::TryCurrentMachine();
    return desktop ? activesync::SelectedPartnership(*desktop) : 0;
}
