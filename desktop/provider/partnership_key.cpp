#include "partnership_key.h"

HKEY QueryPartnershipKey(IReplNotify* notify, UINT storeFlags) {
    if (!notify) return nullptr;
    UINT code = (storeFlags & ISF_SELECTED_DEVICE) ? QDC_SEL_DEVICE_KEY : QDC_CON_DEVICE_KEY;
    HKEY key = nullptr;
    // The engine opens the key in this process and leaves closing it to us.
    if (FAILED(notify->QueryDevice(code, reinterpret_cast<LPVOID*>(&key)))) return nullptr;
    return key;
}

HCESVC OpenDevicePartnership() {
    // The connected device's profile id, else the one selected in the engine's window.
    DWORD deviceId = CeGetDeviceId();
    if (!deviceId) deviceId = CeGetSelectedDeviceId();
    HCESVC key = nullptr;
    // The partnership's key by profile id, never created here.
    if (FAILED(CeSvcOpen(CESVC_DEVICEX, reinterpret_cast<LPSTR>(static_cast<DWORD_PTR>(deviceId)),
                         FALSE, &key)))
        return nullptr;
    return key;
}
