// The engine's callback to a desktop store (IReplNotify): it records what the store reports and
// answers its questions about the device.
//
// - OnItemNotify and SetStatusText are recorded in order; the recorded item handles belong to
//   whoever takes them (TakeNotifications), who frees them through the store's FreeObject.
// - GetWindow answers the owner window given at creation (the host's window).
// - QueryDevice: QDC_SEL_DEVICE_KEY / QDC_CON_DEVICE_KEY open the selected / connected
//   partnership's desktop key (all access) in the calling process; the caller closes it. No
//   selected partnership, or a key that cannot be opened: E_FAIL; no connected device:
//   HRESULT_FROM_WIN32(ERROR_DEVICE_NOT_CONNECTED); *ppResult is null on failure.
//   QDC_SYNC_DATA: ppResult is the SDREQUESTA itself, forwarded to the device
//   (ForwardDataRequest). Null ppResult: E_POINTER; any other code: E_NOTIMPL.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "pal/runtime/machine.h"
#include "replication.h"

namespace activesync {

struct ItemNotification {
    UINT code = 0;
    std::string progId;
    std::string objType;
    HREPLITEM item = nullptr;
    ULONG flags = 0;
};

class ReplNotify : public IReplNotify {
public:
    // A new callback for stores of `desktop`, owned by `window`, with one reference.
    static ReplNotify* Create(pal::Machine& desktop, HWND window);

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(SetStatusText)(LPSTR lpszText) override;
    STDMETHOD_(HWND, GetWindow)(UINT uFlags) override;
    STDMETHOD(OnItemNotify)(UINT uCode, LPSTR lpszProgId, LPSTR lpszName, HREPLITEM hItem,
                            ULONG ulFlags) override;
    STDMETHOD(QueryDevice)(UINT uCode, LPVOID* ppResult) override;

    std::vector<ItemNotification> Notifications() const;
    std::vector<ItemNotification> TakeNotifications();
    std::vector<std::string> StatusTexts() const;
    ULONG References() const { return m_references.load(); }

private:
    ReplNotify(pal::Machine& desktop, HWND window) : m_desktop(desktop), m_window(window) {}
    virtual ~ReplNotify() = default;
    HRESULT OpenPartnershipKey(DWORD id, HKEY* key);

    pal::Machine& m_desktop;
    HWND m_window;
    std::atomic<ULONG> m_references{1};
    mutable std::mutex m_lock;
    std::vector<ItemNotification> m_notifications;
    std::vector<std::string> m_statusTexts;
};

}  // namespace activesync
