#include "contacts_store.h"

#include <new>

#include "ce_db.h"
#include "journal.h"
#include "journal_operations.h"

STDMETHODIMP CContactsHandler::GetPacket(LPBYTE* data, DWORD* size, DWORD) {
    if (data) *data = nullptr;
    if (size) *size = 0;
    return E_NOTIMPL;
}

STDMETHODIMP CContactsHandler::SetPacket(LPBYTE, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CContactsHandler::DeleteObj(REPLSETUP*) { return E_NOTIMPL; }

CContactsStore::CContactsStore(CCeDBVolume& volume) : m_volume(volume) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // The device's OS version: 5 and later have the extended contact properties.
    if (GetVersionExW(&version)) m_platformVersion = version.dwMajorVersion;
    // Opens the lock the notification service shares, or creates it, not owned.
    m_lock = CreateMutexW(nullptr, FALSE, CONTACTS_LOCK_NAME);
}

CContactsStore::~CContactsStore() {
    if (!m_lock) return;
    // The service reads the echo list under this lock; an abandoned lock is granted as well.
    WaitForSingleObject(m_lock, INFINITE);
    if (m_echoListOid) {
        CEGUID objectStore;
        CREATE_SYSTEMGUID(&objectStore);
        // Deletes the echo list with whatever entries the service has not consumed.
        CeDeleteDatabaseEx(&objectStore, m_echoListOid);
    }
    ReleaseMutex(m_lock);
    CloseHandle(m_lock);
}

BOOL CContactsStore::InitObjType(IReplObjHandler** handler, UINT partnerBit) {
    if (!handler || (partnerBit != 1 && partnerBit != 2)) return FALSE;
    auto* created = new (std::nothrow) CContactsHandler(*this, m_lock);
    if (!created) return FALSE;
    *handler = created;
    m_partnerBit = partnerBit;
    SORTORDERSPEC sort{PROPID_CONTACT_OID, 0};
    // An echo list left by an earlier run already exists; it is used as it is.
    CreateDatabase(ECHO_LIST_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, nullptr);
    CCeDB echoList;
    echoList.Open(ECHO_LIST_NAME, 0, nullptr, 0, 0, nullptr);
    m_echoListOid = echoList.Oid();
    return TRUE;
}

BOOL CContactsStore::AddToEchoList(CEOID contactOid) {
    if (!m_echoListOid) return FALSE;
    CCeDB echoList;
    echoList.Open(nullptr, m_echoListOid, nullptr, 0, 0, nullptr);
    if (!echoList.IsOpen()) return FALSE;
    CEPROPVAL value{};
    value.propid = PROPID_CONTACT_OID;
    value.val.ulVal = contactOid;
    // A new record holding only the contact's identifier.
    return CeWriteRecordProps(echoList.Handle(), 0, 1, &value) != 0;
}

HRESULT CContactsStore::DataRequest(SDREQUEST*) { return E_NOTIMPL; }

BOOL CContactsStore::GetObjTypeInfo(OBJTYPEINFO* info) {
    return JournalStatistics(kContactsJournal, m_volume, info);
}

BOOL CContactsStore::ObjectNotify(OBJNOTIFY* notify) {
    return NotifyJournalObject(kContactsJournal, m_volume, m_partnerBit, notify);
}

HRESULT CContactsStore::FindObjects(FINDOBJINFO* info) {
    if (!info || !IsObjType(info->szObjType, CONTACTS_OBJTYPE)) return E_UNEXPECTED;
    return ListJournalObjects(kContactsJournal, m_volume, m_partnerBit, info);
}
