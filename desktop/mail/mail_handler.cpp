#include "mail_handler.h"

STDMETHODIMP CMailHandler::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IReplObjHandler)) {
        *ppv = static_cast<IReplObjHandler*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CMailHandler::Setup(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::Reset(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::GetPacket(LPBYTE*, DWORD*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::SetPacket(LPBYTE, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::DeleteObj(REPLSETUP*) { return E_NOTIMPL; }
