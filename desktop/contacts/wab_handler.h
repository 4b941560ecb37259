// The object handler of the "Address" type. The store owns it; it is not reference counted.
#pragma once

#include <list>

#include "store_handler.h"

class CWABHandler : public CStoreHandler {
public:
    explicit CWABHandler(CStore* store) : CStoreHandler(store) {}

    // Packets are not available in this build: every operation answers E_NOTIMPL.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;
    // Entries written during this synchronization that duplicate an existing entry; the store's
    // RemoveDuplicates deletes them.
    std::list<HREPLITEM> m_duplicates;
};
