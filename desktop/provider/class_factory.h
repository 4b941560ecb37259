// The class factory of the store, and the module counters that decide whether the library may
// be unloaded.
#pragma once

#include <windows.h>

// Stores ever created (never lowered, so the library stays once a store existed) and
// LockServer locks held.
extern LONG g_objectCount;
extern LONG g_lockCount;

class CClassFactory : public IClassFactory {
public:
    CClassFactory() : m_refCount(0) {}
    virtual ~CClassFactory() = default;

    // IUnknown and IClassFactory only.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    // Deletes the factory at 0.
    STDMETHODIMP_(ULONG) Release() override;
    // A new store inside `outer` (which may then only ask for IUnknown), asked for `riid`.
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG m_refCount;
};
