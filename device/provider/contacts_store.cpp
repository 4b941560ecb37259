#include "contacts_store.h"

#include <new>

#include "ce_db.h"
#include "journal.h"
#include "journal_operations.h"

namespace {

// Data request 5 and its answers: the device's own contacts synchronization is unknown (or the
// platform has none), off, or on for the partnership.
constexpr UINT kDeviceContactsQuery = 5;
constexpr DWORD kNoDeviceSync = 2;
constexpr DWORD kDeviceSyncOff = 6;
constexpr DWORD kDeviceSyncOn = 7;

}  // namespace

CContactsStore::CContactsStore(CCeDBVolume& volume) : m_volume(volume) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // The device's OS version: 5 and later have the extended contact properties.
    if (GetVersionExW(&version)) m_platformVersion = version.dwMajorVersion;
    void* application = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_Application, nullptr, CLSCTX_ALL,
                                   m_platformVersion > 4 ? IID_IPOutlookApp2 : IID_IPOutlookApp,
                                   &application))) {
        // IPOutlookApp2 begins with IPOutlookApp's slots.
        m_application = static_cast<IPOutlookApp*>(application);
        m_loggedOn = SUCCEEDED(m_application->Logon(0));
    }
    // Opens the lock the notification service shares, or creates it, not owned.
    m_lock = CreateMutexW(nullptr, FALSE, CONTACTS_LOCK_NAME);
}

CContactsStore::~CContactsStore() {
    if (m_application) {
        if (m_loggedOn) m_application->Logoff();
        m_application->Release();
    }
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
    // An echo list left by a run that ended without its destructor holds entries for writes
    // long past; left there they would hide the user's next change of those contacts from the
    // service. It is emptied under the lock the service reads it under.
    WaitForSingleObject(m_lock, INFINITE);
    CreateDatabase(ECHO_LIST_NAME, JOURNAL_DB_TYPE, nullptr, 1, &sort, nullptr);
    CCeDB echoList;
    echoList.Open(ECHO_LIST_NAME, 0, nullptr, 0, 0, nullptr);
    m_echoListOid = echoList.Oid();
    if (echoList.IsOpen()) {
        while (CEOID stale = CeSeekDatabase(echoList.Handle(), CEDB_SEEK_BEGINNING, 0, nullptr))
            if (!CeDeleteRecord(echoList.Handle(), stale)) break;
    }
    ReleaseMutex(m_lock);
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

IPOutlookApp2* CContactsStore::Application2() const {
    // From version 5 the session was asked for as IPOutlookApp2.
    return m_platformVersion > 4 ? static_cast<IPOutlookApp2*>(m_application) : nullptr;
}

HRESULT CContactsStore::DataRequest(SDREQUEST* request) {
    if (!request || request->fSet || request->uCode != kDeviceContactsQuery) return S_OK;
    // The size is reported only with an answer actually written.
    if (!request->lpData) return S_OK;
    DWORD answer = DeviceContactsSync();
    // The buffer may be unaligned.
    for (int i = 0; i < 4; ++i) request->lpData[i] = static_cast<BYTE>(answer >> (8 * i));
    request->cbData = sizeof(DWORD);
    return S_OK;
}

DWORD CContactsStore::DeviceContactsSync() const {
    if (m_platformVersion < 5) return kNoDeviceSync;
    WCHAR path[MAX_PATH];
    wsprintfW(path, W("Software\\Microsoft\\Windows CE Services\\Partners\\P%d"), m_partnerBit);
    WCHAR source[261] = {};
    DWORD type = 0;
    DWORD bytes = sizeof(source) - sizeof(WCHAR);
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return kNoDeviceSync;
    LONG status = RegQueryValueExW(key, W("DataSourceID"), nullptr, &type,
                                   reinterpret_cast<LPBYTE>(source), &bytes);
    RegCloseKey(key);
    // A string of even length ending in its terminator.
    if (status != ERROR_SUCCESS || type != REG_SZ || bytes < sizeof(WCHAR) || bytes % 2 ||
        source[bytes / 2 - 1] != 0)
        return kNoDeviceSync;
    wsprintfW(path,
              W("Software\\Microsoft\\ActiveSync\\Partners\\%s\\{0DD8685C-E272-4FCB-9ECF-2EAD7EA2497B}"),
              source);
    DWORD enabled = 0;
    bytes = sizeof(enabled);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return kNoDeviceSync;
    status = RegQueryValueExW(key, W("Enabled"), nullptr, &type, reinterpret_cast<LPBYTE>(&enabled),
                              &bytes);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || type != REG_DWORD || bytes != sizeof(DWORD)) return kNoDeviceSync;
    return enabled ? kDeviceSyncOn : kDeviceSyncOff;
}

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
