// The Pocket Outlook objects: application, contacts folder, item collection and contact.
#pragma once

#include <pimstore.h>

#include <vector>

#include "emu/poom/contacts.h"

namespace emu::poom {

// Reference counting shared by the objects below.
template <class Self>
class RefCounted {
protected:
    ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
    ULONG ReleaseImpl() {
        LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) delete static_cast<Self*>(this);
        return static_cast<ULONG>(refs);
    }

private:
    LONG m_refs = 1;
};

#define POOM_ITEM_STRING_PROPERTY(Name, id)                                            \
    STDMETHODIMP get_##Name(BSTR* text) override { return GetText(id, text); }   \
    STDMETHODIMP put_##Name(BSTR text) override { return PutText(id, text); }
#define POOM_ITEM_DATE_PROPERTY(Name, id)                                              \
    STDMETHODIMP get_##Name(DATE* date) override { return GetDate(id, date); }   \
    STDMETHODIMP put_##Name(DATE date) override { return PutDate(id, date); }

// One contact: the values last stored (none for a new one) with the changes made since, written
// in one record write by Save.
class ContactItem : public IContact, public IItem, public RefCounted<ContactItem> {
public:
    ContactItem(CEOID oid, ContactValues values) : m_oid(oid), m_values(std::move(values)) {}
    virtual ~ContactItem() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP get_Oid(long* oid) override;
    POOM_CONTACT_STRING_PROPERTIES(POOM_ITEM_STRING_PROPERTY)
    POOM_CONTACT_DATE_PROPERTIES(POOM_ITEM_DATE_PROPERTY)
    STDMETHODIMP Save() override;
    STDMETHODIMP Delete() override;
    STDMETHODIMP GetProps(const CEPROPID* ids, ULONG flags, WORD count, CEPROPVAL** values,
                          ULONG* size, HANDLE heap) override;
    STDMETHODIMP SetProps(const CEPROPVAL* values, WORD count) override;

private:
    HRESULT GetText(CEPROPID id, BSTR* text);
    HRESULT PutText(CEPROPID id, BSTR text);
    HRESULT GetDate(CEPROPID id, DATE* date);
    HRESULT PutDate(CEPROPID id, DATE date);
    void Set(CEPROPID id, PropertyValue value);
    void Clear(CEPROPID id);

    CEOID m_oid;
    bool m_deleted = false;
    ContactValues m_values;
    std::vector<CEPROPID> m_cleared;
};

#undef POOM_ITEM_STRING_PROPERTY
#undef POOM_ITEM_DATE_PROPERTY

class ItemCollection : public IPOutlookItemCollection, public RefCounted<ItemCollection> {
public:
    explicit ItemCollection(std::vector<CEOID> items) : m_items(std::move(items)) {}
    virtual ~ItemCollection() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP Item(int index, IUnknown** item) override;
    STDMETHODIMP get_Count(int* count) override;

private:
    std::vector<CEOID> m_items;
};

class Application;

// The contacts folder; as an IItem it takes PIMPR_FOLDERNOTIFICATIONS for its application.
class ContactsFolder : public IFolder, public IItem, public RefCounted<ContactsFolder> {
public:
    explicit ContactsFolder(Application* application);
    virtual ~ContactsFolder();
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP get_Items(IPOutlookItemCollection** items) override;
    STDMETHODIMP GetProps(const CEPROPID* ids, ULONG flags, WORD count, CEPROPVAL** values,
                          ULONG* size, HANDLE heap) override;
    STDMETHODIMP SetProps(const CEPROPVAL* values, WORD count) override;
    // Folder settings take effect when set; nothing is left to store.
    STDMETHODIMP Save() override { return S_OK; }

private:
    Application* m_application;
};

class Application : public IPOutlookApp2, public RefCounted<Application> {
public:
    Application() = default;
    virtual ~Application();
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP Logon(long window) override;
    STDMETHODIMP Logoff() override;
    STDMETHODIMP GetDefaultFolder(int folder, IFolder** result) override;
    STDMETHODIMP GetItemFromOid(long oid, IUnknown** item) override;
    STDMETHODIMP CreateItem(int itemClass, IUnknown** item) override;
    STDMETHODIMP GetItemFromOidEx(long oid, DWORD flags, IItem** item) override;

    // Sends remote contact notifications to the logged-on window from now on.
    HRESULT NotifyRemoteChanges(DWORD flags);

private:
    bool m_loggedOn = false;
    HWND m_window = nullptr;
    bool m_watching = false;
};

// The class object of CLSID_Application.
class ApplicationFactory : public IClassFactory, public RefCounted<ApplicationFactory> {
public:
    virtual ~ApplicationFactory() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

}  // namespace emu::poom
