// COM core: IUnknown, class factories, GUID text, apartments and CoCreateInstance.
//
// Interfaces are abstract structs whose virtual functions are declared in the Windows slot order
// and that have no virtual destructor, so that their vtables have the Windows layout.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

// Interface method declarations and definitions.
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define PURE = 0
// Library entry points (DllGetClassObject, DllRegisterServer, …): C linkage, exported by name
// from a library built with hidden visibility, as a module-definition file exports them on Windows.
#define STDAPI extern "C" __attribute__((visibility("default"))) HRESULT STDAPICALLTYPE
#define STDAPI_(type) extern "C" __attribute__((visibility("default"))) type STDAPICALLTYPE

// Defines a GUID constant at namespace scope; every translation unit may define it (an inline
// variable).
#define DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
    inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}

DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppvObject) PURE;
    STDMETHOD_(ULONG, AddRef)() PURE;
    STDMETHOD_(ULONG, Release)() PURE;
};
using LPUNKNOWN = IUnknown*;

struct IClassFactory : public IUnknown {
    STDMETHOD(CreateInstance)(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) PURE;
    STDMETHOD(LockServer)(BOOL fLock) PURE;
};
using LPCLASSFACTORY = IClassFactory*;

// Server contexts for CoCreateInstance.
#define CLSCTX_INPROC_SERVER 0x1
#define CLSCTX_INPROC_HANDLER 0x2
#define CLSCTX_LOCAL_SERVER 0x4
#define CLSCTX_REMOTE_SERVER 0x10
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// Concurrency models for CoInitializeEx.
#define COINIT_MULTITHREADED 0x0
#define COINIT_APARTMENTTHREADED 0x2
#define COINIT_DISABLE_OLE1DDE 0x4
#define COINIT_SPEED_OVER_MEMORY 0x8

// Enters the calling thread into COM. S_OK the first time, S_FALSE for each further call with
// the same concurrency model (every successful call needs its CoUninitialize), RPC_E_CHANGED_MODE
// when the thread already uses the other model; E_INVALIDARG for a non-null reserved argument or
// unknown flags.
HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
// CoInitializeEx with COINIT_APARTMENTTHREADED.
HRESULT CoInitialize(LPVOID pvReserved);
// Balances one successful CoInitialize(Ex) of the calling thread; the last one leaves COM.
void CoUninitialize();

// Creates an object of a class and asks it for `riid`. The class object is the one registered on
// the machine by an emulated product (pal/runtime/com_registry.h; any server context) or, for
// CLSCTX_INPROC_SERVER, the one the library named by HKEY_CLASSES_ROOT
// "CLSID\{clsid}\InprocServer32" (default value, REG_SZ) gives through DllGetClassObject; that
// library stays loaded until the process ends. *ppv is null on failure. Errors:
// CO_E_NOTINITIALIZED (the thread has not initialised COM), REGDB_E_CLASSNOTREG (no such class
// for that context), CO_E_DLLNOTFOUND (the library file is missing), CO_E_ERRORINDLL (it cannot
// be loaded or lacks DllGetClassObject), E_INVALIDARG (null ppv or no server context), or what
// DllGetClassObject and CreateInstance answer.
HRESULT CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext, REFIID riid,
                         LPVOID* ppv);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hex digits of either case, nothing around it).
// CO_E_CLASSSTRING with a null GUID for any other text; a null string gives the null GUID and S_OK.
HRESULT CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
// Writes the braced, upper-case text of a GUID with its terminator: returns 39 (the characters
// written, terminator included), or 0 when cchMax is below 39.
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
