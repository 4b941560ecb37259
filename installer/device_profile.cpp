#include "device_profile.h"

#include <ceutil.h>

HRESULT ReadDeviceProfileString(LPCSTR name, LPSTR value, DWORD* deviceId) {
    value[0] = '\0';
    DWORD id = CeGetDeviceId();
    if (deviceId) *deviceId = id;
    if (!id) return E_FAIL;
    HCESVC profile = nullptr;
    HRESULT result = CeSvcOpen(CESVC_DEVICEX, reinterpret_cast<LPSTR>(static_cast<DWORD_PTR>(id)),
                               FALSE, &profile);
    if (FAILED(result)) return result;
    result = CeSvcGetString(profile, name, value, PROFILE_VALUE_SIZE);
    CeSvcClose(profile);
    if (FAILED(result)) value[0] = '\0';
    return result;
}
