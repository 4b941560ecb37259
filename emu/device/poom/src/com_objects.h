// The Pocket Outlook objects: application, contacts folder, item collection and contact.
#pragma once

#include <pimstore.h>

#include <vector>

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

class ContactItem : public IContact, public IItem, public RefCounted<ContactItem> {
public:
    explicit ContactItem(CEOID oid) : m_oid(oid) {}
    virtual ~ContactItem() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP get_Oid(long* oid) override;
    STDMETHODIMP GetProps(const CEPROPID* ids, ULONG flags, WORD count, CEPROPVAL** values,
                          ULONG* size, HANDLE heap) override;
    STDMETHODIMP SetProps(const CEPROPVAL* values, WORD count) override;

private:
    CEOID m_oid;
};

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
