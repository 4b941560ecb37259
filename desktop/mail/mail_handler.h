// The object handler of the "Message" type. The store owns it; it is not reference counted.
#pragma once

#include <replication.h>
#include <windows.h>

class CStore;

class CMailHandler : public IReplObjHandler {
public:
    explicit CMailHandler(CStore* store) : m_store(store) {}
    virtual ~CMailHandler() = default;

    // IUnknown and IReplObjHandler answer this object itself.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // The store owns the handler: AddRef and Release do nothing and answer 0.
    STDMETHODIMP_(ULONG) AddRef() override { return 0; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    // Packets are not available in this build: every operation answers E_NOTIMPL.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    STDMETHODIMP Reset(REPLSETUP* setup) override;
    STDMETHODIMP GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) override;
    STDMETHODIMP SetPacket(LPBYTE data, DWORD size) override;
    STDMETHODIMP DeleteObj(REPLSETUP* setup) override;

    CStore* m_store;
};
