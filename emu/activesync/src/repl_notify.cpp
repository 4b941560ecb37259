#include "activesync/repl_notify.h"

#include "activesync/data_requests.h"
#include "activesync/device_link.h"
#include "activesync/partnerships.h"

namespace activesync {

ReplNotify* ReplNotify::Create(pal::Machine& desktop, HWND window) {
    return new ReplNotify(desktop, window);
}

STDMETHODIMP ReplNotify::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IReplNotify) {
        *ppv = static_cast<IReplNotify*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ReplNotify::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) ReplNotify::Release() {
    ULONG count = --m_references;
    if (!count) delete this;
    return count;
}

STDMETHODIMP ReplNotify::SetStatusText(LPSTR lpszText) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_statusTexts.emplace_back(lpszText ? lpszText : "");
    return S_OK;
}

STDMETHODIMP_(HWND) ReplNotify::GetWindow(UINT uFlags) {
    (void)uFlags;
    return m_window;
}

STDMETHODIMP ReplNotify::OnItemNotify(UINT uCode, LPSTR lpszProgId, LPSTR lpszName,
                                      HREPLITEM hItem, ULONG ulFlags) {
    if (uCode < RNC_CREATED || uCode > RNC_DELETED || !hItem) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_lock);
    m_notifications.push_back(
        {uCode, lpszProgId ? lpszProgId : "", lpszName ? lpszName : "", hItem, ulFlags});
    return S_OK;
}

HRESULT ReplNotify::OpenPartnershipKey(DWORD id, HKEY* key) {
    std::u16string path = PartnershipKeyPath(id).substr(5);  // below "HKCU\"
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, key) != ERROR_SUCCESS) {
        *key = nullptr;
        return E_FAIL;
    }
    return S_OK;
}

STDMETHODIMP ReplNotify::QueryDevice(UINT uCode, LPVOID* ppResult) {
    if (!ppResult) return E_POINTER;
    switch (uCode) {
        case QDC_SEL_DEVICE_KEY: {
            auto* key = reinterpret_cast<HKEY*>(ppResult);
            *key = nullptr;
            DWORD id = SelectedPartnership(m_desktop);
            return id ? OpenPartnershipKey(id, key) : E_FAIL;
        }
        case QDC_CON_DEVICE_KEY: {
            auto* key = reinterpret_cast<HKEY*>(ppResult);
            *key = nullptr;
            DWORD id = DeviceLink::ConnectedId(m_desktop);
            return id ? OpenPartnershipKey(id, key)
                      : HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED);
        }
        case QDC_SYNC_DATA:
            return ForwardDataRequest(m_desktop, *reinterpret_cast<SDREQUESTA*>(ppResult));
        default:
            return E_NOTIMPL;
    }
}

std::vector<ItemNotification> ReplNotify::Notifications() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_notifications;
}

std::vector<ItemNotification> ReplNotify::TakeNotifications() {
    std::lock_guard<std::mutex> guard(m_lock);
    std::vector<ItemNotification> taken;
    taken.swap(m_notifications);
    return taken;
}

std::vector<std::string> ReplNotify::StatusTexts() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_statusTexts;
}

}  // namespace activesync
