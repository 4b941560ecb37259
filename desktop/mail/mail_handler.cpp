#include "mail_handler.h"

STDMETHODIMP CMailHandler::Setup(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::Reset(REPLSETUP*) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::GetPacket(LPBYTE*, DWORD*, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::SetPacket(LPBYTE, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailHandler::DeleteObj(REPLSETUP*) { return E_NOTIMPL; }
