// The Inbox handler of the account type "Kestrin": it makes the type known as one that carries
// "IPM.Note" messages, offers no capability and refuses or ignores every operation; all movement
// of mail is the device provider's.
#pragma once

#include <mail_transport.h>
#include <windows.h>

class CTransportSyncHandler : public IMailSyncHandler {
public:
    CTransportSyncHandler() = default;
    // Releases the message store and the callback it holds, and frees both MAPI buffers.
    virtual ~CTransportSyncHandler();
    CTransportSyncHandler(const CTransportSyncHandler&) = delete;
    CTransportSyncHandler& operator=(const CTransportSyncHandler&) = delete;

    // No interface is offered; the out pointer is left untouched.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    // Plain counting: the Inbox uses a handler from its own thread only.
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Holds the callback (E_INVALIDARG without one) and the message store when given, and copies
    // "IPM.Note" and the account name into MAPI buffers (their failure is the result). A second
    // call releases what the first one took before taking the new objects.
    STDMETHODIMP Initialize(IMailSyncCallBack* callback, LPCWSTR accountName,
                            IMsgStore* store) override;
    STDMETHODIMP ShutDown(DWORD) override { return S_OK; }
    STDMETHODIMP Install(LPCWSTR, LPVOID) override { return E_FAIL; }
    STDMETHODIMP UnInstall(LPCWSTR) override { return E_FAIL; }
    // "SyncMsgClassDef": the message class (null before initialisation). A name of the offered
    // list: 0, not offered. Any other: MAPI_E_NOT_FOUND, the value untouched. Names compare
    // without regard to case; a null name or value is E_INVALIDARG.
    STDMETHODIMP GetCapability(LPCWSTR name, SPropValue* value) override;
    STDMETHODIMP DecodeEvent(LPVOID, DWORD*) override { return MAPI_E_NOT_FOUND; }
    STDMETHODIMP Connect(DWORD, LPVOID) override { return S_OK; }
    STDMETHODIMP Disconnect(DWORD) override { return S_OK; }
    STDMETHODIMP Synchronize(LPVOID) override { return E_FAIL; }
    STDMETHODIMP GetFolderHierarchy(LPVOID) override { return E_FAIL; }
    STDMETHODIMP CreateFolder(LPVOID) override { return E_FAIL; }
    STDMETHODIMP DeleteFolder(LPVOID) override { return E_FAIL; }
    STDMETHODIMP RenameFolder(LPVOID) override { return E_FAIL; }

private:
    void ReleaseAccount();

    IMsgStore* m_store = nullptr;
    IMailSyncCallBack* m_callback = nullptr;
    ULONG m_references = 1;
    LPWSTR m_accountName = nullptr;
    LPWSTR m_messageClass = nullptr;
};
