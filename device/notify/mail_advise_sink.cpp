#include "mail_advise_sink.h"

#include "wnd_hidden.h"

CMailAdviseSink::CMailAdviseSink() { InitializeCriticalSection(&m_lock); }

CMailAdviseSink::~CMailAdviseSink() { DeleteCriticalSection(&m_lock); }

STDMETHODIMP CMailAdviseSink::QueryInterface(REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMailAdviseSink::OnNotify(ULONG count, LPNOTIFICATION notifications) {
    EnterCriticalSection(&m_lock);
    if (m_service) m_service->OnMailNotify(count, notifications);
    LeaveCriticalSection(&m_lock);
    return S_OK;
}

void CMailAdviseSink::Attach(CWndHidden* service) {
    EnterCriticalSection(&m_lock);
    m_service = service;
    LeaveCriticalSection(&m_lock);
}
