// The class factory and the library's COM entry points DllGetClassObject and DllCanUnloadNow.
#include "class_factory.h"

#include <new>

#include "st_log_file.h"
#include "store.h"

LONG g_objectCount = 0;
LONG g_lockCount = 0;

STDMETHODIMP CClassFactory::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
        *ppv = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CClassFactory::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&m_refCount));
}

STDMETHODIMP_(ULONG) CClassFactory::Release() {
    LONG count = InterlockedDecrement(&m_refCount);
    if (count == 0) delete this;
    return static_cast<ULONG>(count);
}

STDMETHODIMP CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
    CStore* store = new (std::nothrow) CStore(outer);
    if (!store) return E_OUTOFMEMORY;
    if (!store->IsComplete()) {
        delete store;
        return E_OUTOFMEMORY;
    }
    HRESULT result = store->QueryInterface(riid, ppv);
    InterlockedIncrement(&g_objectCount);
    if (FAILED(result)) delete store;
    return result;
}

STDMETHODIMP CClassFactory::LockServer(BOOL lock) {
    if (lock)
        InterlockedIncrement(&g_lockCount);
    else
        InterlockedDecrement(&g_lockCount);
    return S_OK;
}

STDAPI DllGetClassObject(REFCLSID, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory))
        return CLASS_E_CLASSNOTAVAILABLE;
    CClassFactory* factory = new (std::nothrow) CClassFactory();
    if (!factory) return E_OUTOFMEMORY;
    factory->AddRef();
    *ppv = static_cast<IClassFactory*>(factory);
    return S_OK;
}

STDAPI DllCanUnloadNow() { return g_objectCount != 0 || g_lockCount != 0 ? S_FALSE : S_OK; }

// Leaving a process ends its log ("Log finished"), as the library's exit handlers would.
PAL_EXPORT BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH) CSTLogFile::Destroy();
    return TRUE;
}
