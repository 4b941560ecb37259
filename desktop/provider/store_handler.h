// What both object handlers share: they belong to the store, which owns and deletes them, so they
// are not reference counted, and they answer IUnknown and IReplObjHandler with themselves.
#pragma once

#include <replication.h>
#include <windows.h>

class CStore;

class CStoreHandler : public IReplObjHandler {
public:
    explicit CStoreHandler(CStore* store) : m_store(store) {}
    virtual ~CStoreHandler() = default;

    // IUnknown and IReplObjHandler answer this object itself.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    // The store owns the handler: AddRef and Release do nothing and answer 0.
    STDMETHODIMP_(ULONG) AddRef() override { return 0; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }

    CStore* m_store;
};
