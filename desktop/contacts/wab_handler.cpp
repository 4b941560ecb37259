#include "wab_handler.h"

STDMETHODIMP CWABHandler::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IReplObjHandler)) {
        *ppv = static_cast<IReplObjHandler*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP CWABHandler::Setup(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::Reset(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::GetPacket(LPBYTE*, DWORD*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::SetPacket(LPBYTE, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::DeleteObj(REPLSETUP*) { return E_NOTIMPL; }
