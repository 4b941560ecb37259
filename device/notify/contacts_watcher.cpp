// The contacts watcher: the contacts journal brought in step at start, and each contact change
// journaled as it is reported.
#include <vector>

#include "ce_record.h"
#include "journal.h"
#include "named_lock.h"
#include "wnd_hidden.h"

namespace {

constexpr WCHAR kContactsDatabase[] = W("Contacts Database");
// The size of a notification request in the platform's published layout.
constexpr DWORD kNotifyRequestSize = 20;

// Moves `db` to the first record whose ContactOid is `contact`; its identifier, or 0.
CEOID SeekContact(const CCeDB& db, CEOID contact) {
    CEPROPVAL value{};
    value.propid = PROPID_CONTACT_OID;
    value.val.ulVal = contact;
    return CeSeekDatabase(db.Handle(), CEDB_SEEK_VALUEFIRSTEQUAL,
                          reinterpret_cast<DWORD_PTR>(&value), nullptr);
}

bool MajorVersionAtLeast5() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    return GetVersionExW(&version) && version.dwMajorVersion >= 5;
}

}  // namespace

CKTNotification::CKTNotification() : m_request{} {}

CKTNotification::~CKTNotification() { Stop(); }

void CKTNotification::Start(HWND window) {
    if (MajorVersionAtLeast5()) {
        // Pocket Outlook posts the changes other programs make to the logged-on window.
        if (FAILED(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_ALL, IID_IPOutlookApp2,
                                    reinterpret_cast<void**>(&m_application))))
            return;
        m_application->Logon(reinterpret_cast<long>(window));
        IFolder* folder = nullptr;
        if (FAILED(m_application->GetDefaultFolder(olFolderContacts, &folder))) return;
        IItem* item = nullptr;
        if (SUCCEEDED(folder->QueryInterface(IID_IItem, reinterpret_cast<void**>(&item)))) {
            CEPROPVAL notifications{};
            notifications.propid = PIMPR_FOLDERNOTIFICATIONS;
            notifications.val.ulVal = PIMFOLDERNOTIFICATION_REMOTE;
            item->SetProps(&notifications, 1);
            item->Release();
        }
        folder->Release();
        return;
    }
    m_request = CENOTIFYREQUEST{};
    m_request.dwSize = kNotifyRequestSize;
    m_request.hwnd = window;
    m_request.dwFlags = CEDB_EXNOTIFICATION;
    m_request.dwParam = reinterpret_cast<DWORD_PTR>(this);
    m_contacts.Open(kContactsDatabase, 0, &m_request, 0, 0, nullptr);
}

void CKTNotification::Stop() {
    if (m_application) {
        m_application->Logoff();
        m_application->Release();
        m_application = nullptr;
    }
    m_contacts.Close();
}

HRESULT CWndHidden::PrepareContactsJournal() {
    SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
    // Fails when the journal exists already, which leaves it as it is.
    CreateDatabase(CONTACTS_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, m_volume.Guid());
    m_contactsJournal.Open(CONTACTS_JOURNAL_NAME, 0, nullptr, PROPID_CONTACT_OID, 0,
                           m_volume.Guid());
    if (!m_contactsJournal.IsOpen()) return E_FAIL;

    IPOutlookApp* application = nullptr;
    if (FAILED(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_ALL, IID_IPOutlookApp,
                                reinterpret_cast<void**>(&application))))
        return S_OK;
    // Without a session every contact would look gone: the journal is left as it is.
    if (FAILED(application->Logon(0))) {
        application->Release();
        return S_OK;
    }

    // Records whose contact no longer exists.
    std::vector<CEOID> stale;
    CCeColumns columns;
    CCeRecord record;
    columns.Set({PROPID_CONTACT_OID});
    if (CeSeekDatabase(m_contactsJournal.Handle(), CEDB_SEEK_BEGINNING, 0, nullptr)) {
        do {
            if (FAILED(record.Read(m_contactsJournal, &columns))) break;
            const CEPROPVAL* oid = record.Find(PROPID_CONTACT_OID);
            if (!oid || oid->val.ulVal == 0) continue;
            IUnknown* item = nullptr;
            if (FAILED(application->GetItemFromOid(static_cast<long>(oid->val.ulVal), &item)) ||
                !item)
                stale.push_back(record.Oid());
            if (item) item->Release();
        } while (CeSeekDatabase(m_contactsJournal.Handle(), CEDB_SEEK_CURRENT, 1, nullptr));
    }
    for (CEOID oid : stale) CeDeleteRecord(m_contactsJournal.Handle(), oid);

    // Contacts without a record.
    IFolder* folder = nullptr;
    IPOutlookItemCollection* items = nullptr;
    if (SUCCEEDED(application->GetDefaultFolder(olFolderContacts, &folder)) &&
        SUCCEEDED(folder->get_Items(&items))) {
        for (int index = 1;; ++index) {
            IUnknown* item = nullptr;
            if (FAILED(items->Item(index, &item)) || !item) break;
            IContact* contact = nullptr;
            long oid = 0;
            bool known = SUCCEEDED(item->QueryInterface(IID_IContact,
                                                        reinterpret_cast<void**>(&contact))) &&
                         SUCCEEDED(contact->get_Oid(&oid));
            if (contact) contact->Release();
            item->Release();
            if (!known || SeekContact(m_contactsJournal, static_cast<CEOID>(oid))) continue;
            CEPROPVAL values[2] = {};
            values[0].propid = PROPID_CONTACT_OID;
            values[0].val.ulVal = static_cast<ULONG>(oid);
            values[1].propid = PROPID_CHANGE_STATE;
            values[1].val.uiVal = 0;
            CeWriteRecordProps(m_contactsJournal.Handle(), 0, 2, values);
        }
    }
    if (items) items->Release();
    if (folder) folder->Release();
    application->Logoff();
    application->Release();
    return S_OK;
}

LRESULT CWndHidden::ContactChange(UINT message, WPARAM wParam, LPARAM lParam) {
    UINT change = message;
    CEOID contact = static_cast<CEOID>(wParam);
    if (message == WM_DBNOTIFICATION) {
        auto* notification = reinterpret_cast<CENOTIFICATION*>(lParam);
        if (!notification) return 0;
        contact = notification->oid;
        switch (notification->uType) {
        case DB_CEOID_CREATED:
            change = PIM_ITEM_CREATED_REMOTE;
            break;
        case DB_CEOID_RECORD_DELETED:
            change = PIM_ITEM_DELETED_REMOTE;
            break;
        case DB_CEOID_CHANGED:
            change = PIM_ITEM_CHANGED_REMOTE;
            break;
        default:
            break;
        }
        CeFreeNotification(m_contactsWatch.Request(), notification);
    }
    if (!AcquireLock(m_contactsLock)) return 0;

    // A contact the provider wrote itself: its echo is consumed, the journal stays.
    CCeDB echo;
    echo.Open(ECHO_LIST_NAME, 0, nullptr, PROPID_CONTACT_OID, 0, nullptr);
    if (echo.IsOpen()) {
        if (CEOID entry = SeekContact(echo, contact)) {
            CeDeleteRecord(echo.Handle(), entry);
            echo.Close();
            ReleaseMutex(m_contactsLock);
            return 0;
        }
        echo.Close();
    }

    CEOID record = SeekContact(m_contactsJournal, contact);
    if (change == PIM_ITEM_DELETED_REMOTE) {
        if (record) CeDeleteRecord(m_contactsJournal.Handle(), record);
    } else {
        USHORT state = CHANGE_PARTNERS;
        if (record) {
            CCeColumns columns;
            CCeRecord current;
            columns.Set({PROPID_CHANGE_STATE});
            if (SUCCEEDED(current.Read(m_contactsJournal, &columns))) {
                const CEPROPVAL* old = current.Find(PROPID_CHANGE_STATE);
                if (old && (old->val.uiVal & 0xF) == CHANGE_PARTNERS)
                    state = CHANGE_AGAIN | CHANGE_PARTNERS;
            }
        }
        CEPROPVAL values[2] = {};
        values[0].propid = PROPID_CONTACT_OID;
        values[0].val.ulVal = contact;
        values[1].propid = PROPID_CHANGE_STATE;
        values[1].val.uiVal = state;
        CeWriteRecordProps(m_contactsJournal.Handle(), record, 2, values);
    }
    CeFlushDBVol(m_volume.Guid());
    ReleaseMutex(m_contactsLock);
    return 0;
}
