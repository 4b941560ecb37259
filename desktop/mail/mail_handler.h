// The object handler of the "Message" type. The store owns it; it is not reference counted.
#pragma once

#include "store_handler.h"

class CMailHandler : public CStoreHandler {
public:
    explicit CMailHandler(CStore* store) : CStoreHandler(store) {}

    // Packets are not available in this build: every operation answers E_NOTIMPL.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;
};
