#include "wab_handler.h"

STDMETHODIMP CWABHandler::Setup(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::Reset(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::GetPacket(LPBYTE*, DWORD*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::SetPacket(LPBYTE, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CWABHandler::DeleteObj(REPLSETUP*) { return E_NOTIMPL; }
