// The mail client's store-namespace library: the in-process COM server of CLSID_StoreNamespace.
// A namespace, once initialised, opens the Inbox; windows registered with the Inbox receive its
// change notifications (emu/mailclient/inbox_watch.h). Objects serve the machine they were
// created in.
#include <store_namespace.h>
#include <windows.h>

#include <atomic>
#include <new>

#include "emu/mailclient/inbox_watch.h"
#include "pal/runtime/context.h"

using namespace emu::mailclient;

namespace {

// Reference counting shared by the library's objects.
template <class Interface>
class Object : public Interface {
public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG references = --m_references;
        if (references == 0) delete this;
        return references;
    }

protected:
    virtual ~Object() = default;
    // Answers IUnknown and `iid` with this object.
    HRESULT Answer(REFIID riid, REFIID iid, void** ppv) {
        if (!ppv) return E_POINTER;
        if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, iid)) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

private:
    std::atomic<ULONG> m_references{1};
};

class InboxFolder final : public Object<IStoreFolder> {
public:
    explicit InboxFolder(pal::Machine& machine) : m_machine(machine) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, IID_IStoreFolder, ppv);
    }
    STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved6() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved7() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved8() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved9() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved10() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved11() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved12() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved13() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved14() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved15() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved16() override { return E_NOTIMPL; }

    // A window of the machine, registered once however often it asks.
    STDMETHODIMP RegisterNotification(DWORD dwReserved, HWND hwnd) override {
        if (dwReserved != 0 || !IsWindow(hwnd)) return E_INVALIDARG;
        RegisterInboxWindow(m_machine, hwnd);
        return S_OK;
    }
    // E_FAIL for a window that is not registered.
    STDMETHODIMP UnregisterNotification(DWORD dwReserved, HWND hwnd) override {
        if (dwReserved != 0) return E_INVALIDARG;
        return UnregisterInboxWindow(m_machine, hwnd) ? S_OK : E_FAIL;
    }

private:
    pal::Machine& m_machine;
};

class StoreNamespace final : public Object<IStoreNamespace> {
public:
    explicit StoreNamespace(pal::Machine& machine) : m_machine(machine) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, IID_IStoreNamespace, ppv);
    }
    STDMETHODIMP Initialize(HWND, DWORD dwReserved) override {
        if (dwReserved != 0) return E_INVALIDARG;
        m_initialized = true;
        return S_OK;
    }
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP OpenSpecialFolder(LONG sfType, DWORD dwReserved,
                                   IStoreFolder** ppFolder) override {
        if (!ppFolder) return E_POINTER;
        *ppFolder = nullptr;
        if (!m_initialized) return E_UNEXPECTED;
        if (sfType != STORE_FOLDER_INBOX || dwReserved != 0) return E_INVALIDARG;
        *ppFolder = new (std::nothrow) InboxFolder(m_machine);
        return *ppFolder ? S_OK : E_OUTOFMEMORY;
    }

private:
    pal::Machine& m_machine;
    bool m_initialized = false;
};

class Factory final : public Object<IClassFactory> {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        return Answer(riid, IID_IClassFactory, ppv);
    }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) StoreNamespace(pal::CurrentMachine());
        if (!created) return E_OUTOFMEMORY;
        HRESULT result = created->QueryInterface(riid, ppv);
        created->Release();
        return result;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsEqualGUID(rclsid, CLSID_StoreNamespace)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) Factory;
    if (!factory) return E_OUTOFMEMORY;
    HRESULT result = factory->QueryInterface(riid, ppv);
    factory->Release();
    return result;
}
