#include "transport_sync_handler.h"

namespace {

// The message class the account type carries.
constexpr const WCHAR* kMessageClass = W("IPM.Note");
constexpr const WCHAR* kMessageClassCapability = W("SyncMsgClassDef");
// Capabilities the Inbox may ask about, each answered "not offered".
constexpr const WCHAR* kUnofferedCapabilities[] = {
    W("ClearAll"),   W("EmptyDeleteItem"), W("EditProperties"),  W("EmptyFolderOptions"),
    W("MgmtFolder"), W("Sync"),            W("SyncOnDockEvent"), W("Connect"),
};

// A copy of `text` in a MAPI buffer; the allocation's result.
HRESULT CopyToMapiBuffer(LPCWSTR text, LPWSTR* copy) {
    *copy = nullptr;
    size_t length = text ? lstrlenW(text) : 0;
    LPVOID buffer = nullptr;
    HRESULT result = MAPIAllocateBuffer(static_cast<ULONG>((length + 1) * sizeof(WCHAR)), &buffer);
    if (FAILED(result)) return result;
    auto* out = static_cast<LPWSTR>(buffer);
    for (size_t i = 0; i < length; ++i) out[i] = text[i];
    out[length] = 0;
    *copy = out;
    return S_OK;
}

}  // namespace

CTransportSyncHandler::~CTransportSyncHandler() { ReleaseAccount(); }

void CTransportSyncHandler::ReleaseAccount() {
    if (m_store) m_store->Release();
    if (m_callback) m_callback->Release();
    if (m_accountName) MAPIFreeBuffer(m_accountName);
    if (m_messageClass) MAPIFreeBuffer(m_messageClass);
    m_store = nullptr;
    m_callback = nullptr;
    m_accountName = nullptr;
    m_messageClass = nullptr;
}

STDMETHODIMP CTransportSyncHandler::QueryInterface(REFIID, void**) { return E_NOINTERFACE; }

STDMETHODIMP_(ULONG) CTransportSyncHandler::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) CTransportSyncHandler::Release() {
    ULONG left = --m_references;
    if (left == 0) delete this;
    return left;
}

STDMETHODIMP CTransportSyncHandler::Initialize(IMailSyncCallBack* callback, LPCWSTR accountName,
                                               IMsgStore* store) {
    if (!callback) return E_INVALIDARG;
    // The objects of an earlier initialisation would otherwise stay referenced for ever.
    ReleaseAccount();
    callback->AddRef();
    m_callback = callback;
    HRESULT result = CopyToMapiBuffer(kMessageClass, &m_messageClass);
    if (SUCCEEDED(result)) result = CopyToMapiBuffer(accountName, &m_accountName);
    if (FAILED(result)) return result;
    if (store) {
        store->AddRef();
        m_store = store;
    }
    return S_OK;
}

STDMETHODIMP CTransportSyncHandler::GetCapability(LPCWSTR name, SPropValue* value) {
    if (!name || !value) return E_INVALIDARG;
    if (_wcsicmp(name, kMessageClassCapability) == 0) {
        value->Value.lpszW = m_messageClass;
        return S_OK;
    }
    for (const WCHAR* capability : kUnofferedCapabilities) {
        if (_wcsicmp(name, capability) == 0) {
            value->Value.ul = 0;
            return S_OK;
        }
    }
    return MAPI_E_NOT_FOUND;
}
