#include "mail_store.h"

#include <new>

#include "journal.h"
#include "journal_operations.h"
#include "mail_handler.h"
#include "mail_mapi.h"

namespace {

constexpr const WCHAR* kAccountKey = W("Software\\Microsoft\\Inbox\\Svc\\Kestrin");
// The account name's room, its terminator included: the launcher writes names of up to 63
// characters.
constexpr DWORD kFriendlyNameChars = 64;

// "FriendlyName" of the account: a terminated REG_SZ or REG_EXPAND_SZ of at most 63 characters;
// anything else counts as absent (false).
bool ReadFriendlyName(WCHAR (&name)[kFriendlyNameChars]) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAccountKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = sizeof(name);
    LONG status = RegQueryValueExW(key, W("FriendlyName"), nullptr, &type,
                                   reinterpret_cast<LPBYTE>(name), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    DWORD chars = size / sizeof(WCHAR);
    for (DWORD i = 0; i < chars; ++i)
        if (name[i] == 0) return i > 0;
    return false;
}

// The entry identifier of the store whose display name is `name`, ignoring case.
bool FindStore(IMAPISession* session, LPCWSTR name, std::vector<BYTE>& entryId) {
    MapiPtr<IMAPITable> table;
    if (FAILED(session->GetMsgStoresTable(MAPI_UNICODE, table.Out()))) return false;
    SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_DISPLAY_NAME_W}};
    if (FAILED(table->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0))) return false;
    for (;;) {
        LPSRowSet rows = nullptr;
        if (FAILED(table->QueryRows(1, 0, &rows)) || !rows) return false;
        bool done = rows->cRows == 0;
        bool found = false;
        if (!done && rows->aRow[0].cValues >= 2) {
            const SPropValue* values = rows->aRow[0].lpProps;
            if (values[0].ulPropTag == PR_ENTRYID && values[1].ulPropTag == PR_DISPLAY_NAME_W &&
                values[1].Value.lpszW && _wcsicmp(values[1].Value.lpszW, name) == 0) {
                entryId.assign(values[0].Value.bin.lpb,
                               values[0].Value.bin.lpb + values[0].Value.bin.cb);
                found = true;
            }
        }
        FreeProws(rows);
        if (found) return true;
        if (done) return false;
    }
}

}  // namespace

CMailStore::CMailStore(CCeDBVolume& volume) : m_volume(volume) {
    if (SUCCEEDED(MAPIInitialize(nullptr))) {
        m_mapiEntered = true;
        if (FAILED(MAPILogonEx(0, nullptr, nullptr, 0, &m_session))) m_session = nullptr;
    }
    m_lock = CreateMutexW(nullptr, TRUE, MAIL_LOCK_NAME);
    if (m_lock) {
        // An existing mutex ignores the request to own it.
        m_sessionHold = GetLastError() != ERROR_ALREADY_EXISTS ||
                        WaitForSingleObject(m_lock, INFINITE) != WAIT_FAILED;
    }
}

CMailStore::~CMailStore() {
    ReleaseCurrent();
    if (m_requestHold) ReleaseMutex(m_lock);
    if (m_messageStore) m_messageStore->Release();
    if (m_lock) {
        // Closing the handle would leave the lock owned until this thread ends, and the service
        // waiting all that time.
        if (m_sessionHold) ReleaseMutex(m_lock);
        CloseHandle(m_lock);
    }
    if (m_session) {
        m_session->Logoff(0, 0, 0);
        m_session->Release();
    }
    if (m_mapiEntered) MAPIUninitialize();
}

void CMailStore::ReleaseCurrent() {
    if (m_current) m_current->Release();
    m_current = nullptr;
    m_record.reset();
}

BOOL CMailStore::InitObjType(IReplObjHandler** handler, UINT partnerBit) {
    if (!handler || (partnerBit != 1 && partnerBit != 2)) return FALSE;
    if (m_session) {
        WCHAR name[kFriendlyNameChars] = {};
        std::vector<BYTE> entryId;
        if (!ReadFriendlyName(name) || !FindStore(m_session, name, entryId)) return FALSE;
        IMsgStore* store = nullptr;
        if (FAILED(m_session->OpenMsgStore(0, static_cast<ULONG>(entryId.size()),
                                           reinterpret_cast<LPENTRYID>(entryId.data()), nullptr,
                                           MAPI_BEST_ACCESS, &store)) ||
            !store)
            return FALSE;
        if (m_messageStore) m_messageStore->Release();
        m_messageStore = store;
    }
    auto* created = new (std::nothrow) CMailHandler(*this);
    if (!created) return FALSE;
    *handler = created;
    m_partnerBit = partnerBit;
    return TRUE;
}

BOOL CMailStore::GetObjTypeInfo(OBJTYPEINFO* info) {
    return JournalStatistics(kMailJournal, m_volume, info);
}

BOOL CMailStore::ObjectNotify(OBJNOTIFY* notify) {
    return NotifyJournalObject(kMailJournal, m_volume, m_partnerBit, notify);
}

HRESULT CMailStore::FindObjects(FINDOBJINFO* info) {
    if (!info || !IsObjType(info->szObjType, MAIL_OBJTYPE)) return E_UNEXPECTED;
    return ListJournalObjects(kMailJournal, m_volume, m_partnerBit, info);
}
