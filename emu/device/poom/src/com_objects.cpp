#include "com_objects.h"

#include <algorithm>
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

void ContactItem::Set(CEPROPID id, PropertyValue value) {
    std::erase(m_cleared, id);
    m_values[id] = std::move(value);
}

void ContactItem::Clear(CEPROPID id) {
    m_values.erase(id);
    if (std::find(m_cleared.begin(), m_cleared.end(), id) == m_cleared.end())
        m_cleared.push_back(id);
}

HRESULT ContactItem::GetText(CEPROPID id, BSTR* text) {
    if (!text) return E_POINTER;
    *text = nullptr;
    auto found = m_values.find(id);
    if (found == m_values.end()) return S_OK;
    const auto& value = std::get<std::u16string>(found->second);
    *text = SysAllocStringLen(value.data(), static_cast<UINT>(value.size()));
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT ContactItem::PutText(CEPROPID id, BSTR text) {
    if (!text || !text[0])
        Clear(id);
    else
        Set(id, std::u16string(text));
    return S_OK;
}

HRESULT ContactItem::GetDate(CEPROPID id, DATE* date) {
    if (!date) return E_POINTER;
    *date = POOM_NO_DATE;
    auto found = m_values.find(id);
    if (found == m_values.end()) return S_OK;
    FILETIME time = std::get<FILETIME>(found->second);
    SYSTEMTIME fields{};
    if (!FileTimeToSystemTime(&time, &fields) || !SystemTimeToVariantTime(&fields, date))
        return E_FAIL;
    return S_OK;
}

HRESULT ContactItem::PutDate(CEPROPID id, DATE date) {
    if (date == POOM_NO_DATE) {
        Clear(id);
        return S_OK;
    }
    SYSTEMTIME fields{};
    FILETIME time{};
    if (!VariantTimeToSystemTime(date, &fields) || !SystemTimeToFileTime(&fields, &time))
        return E_INVALIDARG;
    Set(id, time);
    return S_OK;
}

STDMETHODIMP ContactItem::Save() {
    if (m_deleted) return E_FAIL;
    ContactsDatabase database;
    if (!database.IsOpen() || (m_oid && !database.Exists(m_oid))) return E_FAIL;
    CEOID written = database.Write(m_oid, m_values, m_cleared);
    if (!written) return E_FAIL;
    PostRemoteNotification(m_oid ? PIM_ITEM_CHANGED_REMOTE : PIM_ITEM_CREATED_REMOTE, written);
    m_oid = written;
    m_cleared.clear();
    return S_OK;
}

STDMETHODIMP ContactItem::Delete() {
    ContactsDatabase database;
    if (m_deleted || !m_oid || !database.Delete(m_oid)) return E_FAIL;
    PostRemoteNotification(PIM_ITEM_DELETED_REMOTE, m_oid);
    m_deleted = true;
    return S_OK;
}

STDMETHODIMP ContactItem::GetProps(const CEPROPID* ids, ULONG flags, WORD count,
                                   CEPROPVAL** values, ULONG* size, HANDLE heap) {
    if ((!ids && count) || !values || !size) return E_POINTER;
    // The values first, then the text they point to.
    size_t needed = sizeof(CEPROPVAL) * count;
    for (WORD i = 0; i < count; ++i) {
        auto found = m_values.find(ids[i]);
        if (found == m_values.end()) continue;
        if (const auto* text = std::get_if<std::u16string>(&found->second))
            needed += (text->size() + 1) * sizeof(WCHAR);
    }
    if (needed > *size || !*values) {
        if (!(flags & CEDB_ALLOWREALLOC)) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
        if (!heap) heap = GetProcessHeap();
        void* grown = *values ? HeapReAlloc(heap, 0, *values, needed) : HeapAlloc(heap, 0, needed);
        if (!grown) return E_OUTOFMEMORY;
        *values = static_cast<CEPROPVAL*>(grown);
        *size = static_cast<ULONG>(needed);
    }
    auto* text = reinterpret_cast<WCHAR*>(*values + count);
    for (WORD i = 0; i < count; ++i) {
        CEPROPVAL& out = (*values)[i];
        out = CEPROPVAL{};
        out.propid = ids[i];
        auto found = m_values.find(ids[i]);
        if (found == m_values.end()) {
            out.wFlags = CEDB_PROPNOTFOUND;
        } else if (const auto* value = std::get_if<std::u16string>(&found->second)) {
            std::copy(value->begin(), value->end(), text);
            text[value->size()] = 0;
            out.val.lpwstr = text;
            text += value->size() + 1;
        } else if (const auto* time = std::get_if<FILETIME>(&found->second)) {
            out.val.filetime = *time;
        } else {
            out.val.ulVal = std::get<ULONG>(found->second);
        }
    }
    return S_OK;
}

STDMETHODIMP ContactItem::SetProps(const CEPROPVAL* values, WORD count) {
    if (!values && count) return E_POINTER;
    for (WORD i = 0; i < count; ++i) {
        const CEPROPVAL& value = values[i];
        if (value.wFlags & CEDB_PROPDELETE) {
            Clear(value.propid);
            continue;
        }
        switch (value.propid & 0xFFFF) {
            case CEVT_LPWSTR:
                PutText(value.propid, value.val.lpwstr);
                break;
            case CEVT_FILETIME: Set(value.propid, value.val.filetime); break;
            case CEVT_UI4: Set(value.propid, value.val.ulVal); break;
            default: return E_INVALIDARG;
        }
    }
    return S_OK;
}

STDMETHODIMP ItemCollection::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (Is(riid, IID_IUnknown) || Is(riid, IID_IPOutlookItemCollection)) return Give(this, object);
    return NoInterface(object);
}

STDMETHODIMP ItemCollection::Item(int index, IUnknown** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (index < 1 || static_cast<size_t>(index) > m_items.size()) return E_INVALIDARG;
    ContactsDatabase database;
    auto stored = database.Read(m_items[static_cast<size_t>(index) - 1]);
    if (!stored) return E_FAIL;
    auto* contact = new (std::nothrow) ContactItem(stored->oid, std::move(stored->values));
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
    auto stored = database.Read(static_cast<CEOID>(oid));
    if (!stored) return E_INVALIDARG;
    auto* contact = new (std::nothrow) ContactItem(stored->oid, std::move(stored->values));
    if (!contact) return E_OUTOFMEMORY;
    *item = static_cast<IContact*>(contact);
    return S_OK;
}

STDMETHODIMP Application::GetItemFromOidEx(long oid, DWORD, IItem** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    IUnknown* found = nullptr;
    HRESULT result = GetItemFromOid(oid, &found);
    if (FAILED(result)) return result;
    result = found->QueryInterface(IID_IItem, reinterpret_cast<void**>(item));
    found->Release();
    return result;
}

STDMETHODIMP Application::CreateItem(int itemClass, IUnknown** item) {
    if (!item) return E_POINTER;
    *item = nullptr;
    if (!m_loggedOn) return E_FAIL;
    if (itemClass != olContactItem) return E_INVALIDARG;
    auto* contact = new (std::nothrow) ContactItem(0, {});
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
