#include "com_objects.h"

#include <new>

#include "contacts_database.h"

namespace emu::poom {

namespace {

bool Is(REFIID riid, const GUID& iid) { return IsEqualGUID(riid, iid) != FALSE; }

template <class Interface>
HRESULT Give(Interface* self, void** object) {
    self->AddRef();
    *object = self;
    return S_OK;
}

HRESULT NoInterface(void** object) {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
}

}  // namespace

STDMETHODIMP ContactItem::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (Is(riid, IID_IUnknown) || Is(riid, IID_IContact))
        return Give(static_cast<IContact*>(this), object);
    if (Is(riid, IID_IItem)) return Give(static_cast<IItem*>(this), object);
    return NoInterface(object);
}

STDMETHODIMP ContactItem::get_Oid(long* oid) {
    if (!oid) return E_POINTER;
    *oid = static_cast<long>(m_oid);
    return S_OK;
}

STDMETHODIMP ContactItem::GetProps(const CEPROPID*, ULONG, WORD, CEPROPVAL**, ULONG*, HANDLE) {
    return E_NOTIMPL;
}

STDMETHODIMP ContactItem::SetProps(const CEPROPVAL*, WORD) { return E_NOTIMPL; }

STDMETHODIMP ItemCollection::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (Is(riid, IID_IUnknown) || Is(riid, IID_IPOutlookItemCollection)) return Give(this, object);
    return NoInterface(object);
}

STDMETHODIMP ItemCollection::Item(int index, IUnknown** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (index < 1 || static_cast<size_t>(index) > m_items.size()) return E_INVALIDARG;
    auto* contact = new (std::nothrow) ContactItem(m_items[static_cast<size_t>(index) - 1]);
    if (!contact) return E_OUTOFMEMORY;
    *item = static_cast<IContact*>(contact);
    return S_OK;
}

STDMETHODIMP ItemCollection::get_Count(int* count) {
    if (!count) return E_POINTER;
    *count = static_cast<int>(m_items.size());
    return S_OK;
}

ContactsFolder::ContactsFolder(Application* application) : m_application(application) {
    m_application->AddRef();
}

ContactsFolder::~ContactsFolder() { m_application->Release(); }

STDMETHODIMP ContactsFolder::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (Is(riid, IID_IUnknown) || Is(riid, IID_IFolder))
        return Give(static_cast<IFolder*>(this), object);
    if (Is(riid, IID_IItem)) return Give(static_cast<IItem*>(this), object);
    return NoInterface(object);
}

STDMETHODIMP ContactsFolder::get_Items(IPOutlookItemCollection** items) {
    if (!items) return E_POINTER;
    *items = nullptr;
    ContactsDatabase database;
    if (!database.IsOpen()) return E_FAIL;
    std::vector<CEOID> oids;
    for (const auto& contact : database.All()) oids.push_back(contact.oid);
    auto* collection = new (std::nothrow) ItemCollection(std::move(oids));
    if (!collection) return E_OUTOFMEMORY;
    *items = collection;
    return S_OK;
}

STDMETHODIMP ContactsFolder::GetProps(const CEPROPID*, ULONG, WORD, CEPROPVAL**, ULONG*, HANDLE) {
    return E_NOTIMPL;
}

STDMETHODIMP ContactsFolder::SetProps(const CEPROPVAL* values, WORD count) {
    if (!values && count) return E_POINTER;
    for (WORD i = 0; i < count; ++i) {
        if (values[i].propid != PIMPR_FOLDERNOTIFICATIONS) return E_INVALIDARG;
        HRESULT result = m_application->NotifyRemoteChanges(values[i].val.ulVal);
        if (FAILED(result)) return result;
    }
    return S_OK;
}

Application::~Application() { Logoff(); }

STDMETHODIMP Application::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (Is(riid, IID_IUnknown) || Is(riid, IID_IPOutlookApp) || Is(riid, IID_IPOutlookApp2))
        return Give(static_cast<IPOutlookApp2*>(this), object);
    return NoInterface(object);
}

STDMETHODIMP Application::Logon(long window) {
    if (m_loggedOn) return S_OK;
    EnsureContactsDatabase();
    m_loggedOn = true;
    m_window = reinterpret_cast<HWND>(window);
    return S_OK;
}

STDMETHODIMP Application::Logoff() {
    if (m_watching) StopWatchingRemoteChanges(m_window);
    m_watching = false;
    m_loggedOn = false;
    m_window = nullptr;
    return S_OK;
}

STDMETHODIMP Application::GetDefaultFolder(int folder, IFolder** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!m_loggedOn) return E_FAIL;
    if (folder != olFolderContacts) return E_INVALIDARG;
    auto* contacts = new (std::nothrow) ContactsFolder(this);
    if (!contacts) return E_OUTOFMEMORY;
    *result = contacts;
    return S_OK;
}

STDMETHODIMP Application::GetItemFromOid(long oid, IUnknown** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (!m_loggedOn) return E_FAIL;
    ContactsDatabase database;
    if (!database.Exists(static_cast<CEOID>(oid))) return E_INVALIDARG;
    auto* contact = new (std::nothrow) ContactItem(static_cast<CEOID>(oid));
    if (!contact) return E_OUTOFMEMORY;
    *item = static_cast<IContact*>(contact);
    return S_OK;
}

HRESULT Application::NotifyRemoteChanges(DWORD flags) {
    if (!m_loggedOn || !m_window) return E_FAIL;
    bool remote = (flags & PIMFOLDERNOTIFICATION_REMOTE) != 0;
    if (remote && !m_watching) WatchRemoteChanges(m_window);
    if (!remote && m_watching) StopWatchingRemoteChanges(m_window);
    m_watching = remote;
    return S_OK;
}

STDMETHODIMP ApplicationFactory::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (Is(riid, IID_IUnknown) || Is(riid, IID_IClassFactory)) return Give(this, object);
    return NoInterface(object);
}

STDMETHODIMP ApplicationFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* application = new (std::nothrow) Application;
    if (!application) return E_OUTOFMEMORY;
    HRESULT result = application->QueryInterface(riid, object);
    application->Release();
    return result;
}

}  // namespace emu::poom
