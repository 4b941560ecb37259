// CStore: Initialize (mail-client detection and the partnership checks) and GetStoreInfo (the
// store identifier kept on the device).
#include <ceutil.h>
#include <rapi.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "../resources/resource_ids.h"
#include "resource_library.h"
#include "simple_mapi.h"
#include "store.h"
#include "wab_backup.h"

namespace {

// Contacts modes the device answers: another provider's contacts type is active (2), ours is
// (6), or the device's contacts are synchronized by another provider (7).
constexpr DWORD kContactsModeAskSwitch = 2;
constexpr DWORD kContactsModeOurs = 6;
constexpr DWORD kContactsModeElsewhere = 7;
// Data request code that asks for the contacts mode.
constexpr UINT kContactsModeRequest = 5;

const WCHAR kPartnerKey1[] = W("SOFTWARE\\Microsoft\\Windows CE Services\\Partners\\P1");
const WCHAR kPartnerKey2[] = W("SOFTWARE\\Microsoft\\Windows CE Services\\Partners\\P2");
const WCHAR kDeviceSettingsKey[] = W("Software\\Quorvane\\Velumex");
// Full access to the device's settings key.
constexpr REGSAM kDeviceKeyAccess = 0xF003F;

// A REG_DWORD of a device key through RAPI; 0 when it cannot be read.
DWORD ReadDeviceDword(HKEY key, LPCWSTR name) {
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    // The value as the device's registry holds it.
    if (CeRegQueryValueEx(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

void WriteDeviceDword(HKEY key, LPCWSTR name, DWORD value) {
    // Stored on the device as REG_DWORD, 4 bytes.
    CeRegSetValueEx(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// "PId" of a device partnership key; 0 when the partnership or the value is missing.
DWORD ReadPartnerId(LPCWSTR partnerKey) {
    HKEY key = nullptr;
    // Opened on the device; remote opens take no access mask.
    if (CeRegOpenKeyEx(HKEY_LOCAL_MACHINE, partnerKey, 0, 0, &key) != ERROR_SUCCESS) return 0;
    DWORD id = ReadDeviceDword(key, W("PId"));
    CeRegCloseKey(key);
    return id;
}

// "Disabled" of an object type of an open partnership key; 1 (disabled) when unreadable.
DWORD ReadTypeSwitch(HCESVC partnership, LPCSTR typeKey) {
    HCESVC key = nullptr;
    DWORD disabled = 1;
    // The object type's subkey of the partnership, not created when missing.
    if (FAILED(CeSvcOpenEx(partnership, const_cast<LPSTR>(typeKey), FALSE, &key))) return 1;
    // A switch that cannot be read leaves the type disabled.
    if (FAILED(CeSvcGetDword(key, "Disabled", &disabled))) disabled = 1;
    CeSvcClose(key);
    return disabled;
}

}  // namespace

STDMETHODIMP CStore::Initialize(IReplNotify* pNotify, UINT uFlags) {
    DetectMailClient(&m_clientInfo);

    delete m_mapi;
    m_mapi = new (std::nothrow) CSimpleMAPI(m_clientInfo.m_mapiLibrary);

    m_flags = uFlags;
    if (pNotify) pNotify->AddRef();
    if (m_notify) m_notify->Release();
    m_notify = pNotify;
    m_status = S_OK;

    m_status = CheckPartnership(pNotify);
    if (SUCCEEDED(m_status)) {
        m_flags |= STORE_INITIALIZED;
        return S_OK;
    }
    if (uFlags & ISF_REMOTE_CONNECTED) return m_status;

    // The engine's window owns the boxes.
    HWND owner = pNotify->GetWindow(0);
    if (m_status == VELUMEX_E_CONTACTS_ELSEWHERE || m_status == VELUMEX_E_BOTH_ELSEWHERE)
        ResourceMessageBox(owner, MAKEINTRESOURCEA(IDS_CONTACTS_ELSEWHERE), PROVIDER_CAPTION,
                           PROVIDER_ERROR_STYLE);
    if (m_status == VELUMEX_E_MAIL_ELSEWHERE || m_status == VELUMEX_E_BOTH_ELSEWHERE)
        ResourceMessageBox(owner, MAKEINTRESOURCEA(IDS_MAIL_ELSEWHERE), PROVIDER_CAPTION,
                           PROVIDER_ERROR_STYLE);
    return m_status;
}

HRESULT CStore::CheckPartnership(IReplNotify* notify) {
    // The partnership of the connected device; 0 when none is connected.
    DWORD deviceId = notify ? CeGetDeviceId() : 0;
    if (!deviceId) return S_OK;

    DWORD contactsMode = QueryContactsMode(notify);

    DWORD messageDisabled = 1;
    DWORD addressDisabled = 1;
    HCESVC partnership = nullptr;
    // The partnership's desktop key, by profile id; never created here.
    if (SUCCEEDED(CeSvcOpen(CESVC_DEVICEX,
                            reinterpret_cast<LPSTR>(static_cast<DWORD_PTR>(deviceId)), FALSE,
                            &partnership))) {
        messageDisabled =
            ReadTypeSwitch(partnership, "Services\\Synchronization\\Objects\\Message");
        addressDisabled =
            ReadTypeSwitch(partnership, "Services\\Synchronization\\Objects\\Address");
        if (contactsMode == kContactsModeAskSwitch)
            contactsMode =
                ReadTypeSwitch(partnership, "Services\\Synchronization\\Objects\\Contact");
        CeSvcClose(partnership);
    }

    if (contactsMode == kContactsModeAskSwitch || contactsMode == kContactsModeOurs)
        contactsMode = 1;
    else if (contactsMode == kContactsModeElsewhere)
        contactsMode = 0;

    HRESULT status = S_OK;
    if (messageDisabled == 0) status = BindMail(deviceId);
    if (addressDisabled == 0 && contactsMode == 0)
        status = status == VELUMEX_E_MAIL_ELSEWHERE ? VELUMEX_E_BOTH_ELSEWHERE
                                                    : VELUMEX_E_CONTACTS_ELSEWHERE;
    if (addressDisabled == 0 && SUCCEEDED(status)) BackUpAddressBook(m_clientInfo.m_wabFile);
    return status;
}

DWORD CStore::QueryContactsMode(IReplNotify* notify) {
    SDREQUEST request = {};
    std::strcpy(request.szObjType, "Address");
    request.fSet = FALSE;
    request.uCode = kContactsModeRequest;
    DWORD mode = 1;
    // Answered in place by the device's provider of the "Address" type.
    HRESULT result = notify->QueryDevice(QDC_SYNC_DATA, reinterpret_cast<LPVOID*>(&request));
    if (SUCCEEDED(result) && request.lpData && request.cbData >= sizeof(DWORD))
        std::memcpy(&mode, request.lpData, sizeof mode);
    // The reply block is the caller's to free, whatever it holds.
    if (request.lpData) GlobalFree(request.lpData);
    return mode;
}

HRESULT CStore::BindMail(DWORD deviceId) {
    DWORD partner1 = ReadPartnerId(kPartnerKey1);
    DWORD partner2 = ReadPartnerId(kPartnerKey2);
    HKEY key = nullptr;
    // The device's settings key; when it is missing mail is not bound.
    if (CeRegOpenKeyEx(HKEY_CURRENT_USER, kDeviceSettingsKey, 0, 0, &key) != ERROR_SUCCESS)
        return S_OK;
    HRESULT status = S_OK;
    DWORD bound = ReadDeviceDword(key, W("MessagePId"));
    if (bound == 0) {
        WriteDeviceDword(key, W("MessagePId"), deviceId);
    } else if (bound == deviceId) {
        // Bound to this partnership already.
    } else if (bound == partner1 || bound == partner2) {
        status = VELUMEX_E_MAIL_ELSEWHERE;
    } else {
        // The partnership mail was bound to is gone: take it over.
        WriteDeviceDword(key, W("MessagePId"), deviceId);
    }
    CeRegCloseKey(key);
    return status;
}

UINT CStore::StoreIdSize() const {
    return static_cast<UINT>(sizeof(DWORD) + std::strlen(m_clientInfo.m_identity) +
                             std::strlen(m_clientInfo.m_wabFile));
}

STDMETHODIMP CStore::GetStoreInfo(PSTOREINFO pStoreInfo) {
    if (!pStoreInfo || pStoreInfo->cbStruct != CBSTRUCT_STOREINFO) return E_INVALIDARG;
    pStoreInfo->uFlags = SCF_SINGLE_THREAD | SCF_SIMULATE_RTS;
    pStoreInfo->uTimerRes = 5000;
    std::strcpy(pStoreInfo->szProgId, STORE_PROGID);
    std::strcpy(pStoreInfo->szStoreDesc, STORE_DESCRIPTION);
    if (!(m_flags & STORE_INITIALIZED)) return S_OK;

    pStoreInfo->cbStoreId = StoreIdSize();
    if (pStoreInfo->cbMaxStoreId < pStoreInfo->cbStoreId) return E_OUTOFMEMORY;
    if (!pStoreInfo->lpbStoreId) return E_POINTER;

    HKEY key = nullptr;
    // The device's settings key, where the store number lives.
    if (CeRegOpenKeyEx(HKEY_CURRENT_USER, kDeviceSettingsKey, 0, kDeviceKeyAccess, &key) !=
        ERROR_SUCCESS)
        return E_FAIL;
    DWORD id = ReadDeviceDword(key, W("ID"));
    if (id == 0) {
        // Milliseconds since start-up seed the C library's generator.
        std::srand(GetTickCount());
        do {
            DWORD a = static_cast<DWORD>(std::rand());
            DWORD c = static_cast<DWORD>(std::rand());
            id = (a << 16) | a | c;
        } while (id == 0);
        WriteDeviceDword(key, W("ID"), id);
    }
    CeRegCloseKey(key);

    LPBYTE out = pStoreInfo->lpbStoreId;
    for (int i = 0; i < 4; ++i) *out++ = static_cast<BYTE>(id >> (8 * i));
    size_t identity = std::strlen(m_clientInfo.m_identity);
    std::memcpy(out, m_clientInfo.m_identity, identity);
    std::memcpy(out + identity, m_clientInfo.m_wabFile, std::strlen(m_clientInfo.m_wabFile));
    return S_OK;
}
