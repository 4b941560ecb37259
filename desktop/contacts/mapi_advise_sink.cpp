#include "mapi_advise_sink.h"

#include "repl_object.h"

STDMETHODIMP CMAPIAdviseSink::QueryInterface(REFIID, void** ppv) {
    if (ppv) *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMAPIAdviseSink::OnNotify(ULONG, LPNOTIFICATION) {
    if (m_folder) m_folder->SetChanged();
    // Debug output only.
    OutputDebugStringA("CHANGE!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!!\r\n");
    return 0;
}
