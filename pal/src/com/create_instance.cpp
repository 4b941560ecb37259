#include <string>

#include "apartment.h"
#include "class_objects.h"
#include "inproc_server.h"
#include "pal/com.h"
#include "pal/runtime/context.h"

namespace {

constexpr DWORD kServerContexts =
    CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// The class object of `clsid` for `context`, with a reference for the caller.
HRESULT GetClassFactory(REFCLSID clsid, DWORD context, IClassFactory** factory) {
    if (context & (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER)) {
        *factory = pal::FindClassObject(pal::CurrentMachine(), clsid);
        if (*factory) return S_OK;
    }
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    std::u16string path;
    HRESULT hr = pal::InprocServerPath(clsid, path);
    if (FAILED(hr)) return hr;
    return pal::InprocClassObject(clsid, path, factory);
}

}  // namespace

HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!(dwClsContext & kServerContexts)) return E_INVALIDARG;
    if (!pal::IsComInitialized()) return CO_E_NOTINITIALIZED;
    IClassFactory* factory = nullptr;
    HRESULT hr = GetClassFactory(rclsid, dwClsContext, &factory);
    if (FAILED(hr)) return hr;
    if (!factory) return E_NOINTERFACE;
    hr = factory->CreateInstance(pUnkOuter, riid, ppv);
    factory->Release();
    if (FAILED(hr)) *ppv = nullptr;
    return hr;
}
