// The mail watcher: the account's message store found by its display name, the mail journal
// brought in step with the Inbox, Outbox and Deleted Items at start, and each store notification
// journaled by the folder rule.
#include <cemapi.h>

#include <vector>

#include "ce_record.h"
#include "journal.h"
#include "named_lock.h"
#include "wnd_hidden.h"

namespace {

constexpr WCHAR kAccountKey[] = W("Software\\Microsoft\\Inbox\\Svc\\Kestrin");
constexpr WCHAR kMessageClass[] = W("IPM.Note");
// The account's display name fits 63 characters and a terminating zero, as the launcher writes it.
constexpr DWORD kFriendlyNameLength = 64;
// The Inbox's download requests: the rest of the message, or its attachments.
constexpr ULONG kStatusDownloadRequests = 0x00200000 | MSGSTATUS_REMOTE_DOWNLOAD;

// Reads "FriendlyName"; false when it is missing, too long, malformed or empty.
bool ReadFriendlyName(WCHAR (&name)[kFriendlyNameLength]) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAccountKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD size = sizeof(name);
    LONG result = RegQueryValueExW(key, W("FriendlyName"), nullptr, &type,
                                   reinterpret_cast<LPBYTE>(name), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    if (size < sizeof(WCHAR) || size % sizeof(WCHAR) != 0) return false;
    if (name[size / sizeof(WCHAR) - 1] != 0) return false;
    return name[0] != 0;
}

// A copy of an entry identifier in a buffer of its own (MAPIFreeBuffer); empty when none is left.
SBinary CopyEntry(ULONG size, const BYTE* bytes) {
    SBinary copy{};
    if (!bytes || FAILED(MAPIAllocateBuffer(size ? size : 1, reinterpret_cast<LPVOID*>(&copy.lpb))))
        return SBinary{};
    copy.cb = size;
    for (ULONG i = 0; i < size; ++i) copy.lpb[i] = bytes[i];
    return copy;
}

void FreeEntries(std::vector<SBinary>& entries) {
    for (auto& entry : entries) MAPIFreeBuffer(entry.lpb);
    entries.clear();
}

// The next row of a table, or null at its end or on failure (`failed` says which).
LPSRowSet NextRow(LPMAPITABLE table, bool& failed) {
    LPSRowSet rows = nullptr;
    if (FAILED(table->QueryRows(1, 0, &rows)) || !rows) {
        failed = true;
        return nullptr;
    }
    if (rows->cRows == 0) {
        FreeProws(rows);
        return nullptr;
    }
    return rows;
}

const SPropValue* Column(const SRow& row, ULONG index, ULONG tag) {
    return index < row.cValues && row.lpProps[index].ulPropTag == tag ? &row.lpProps[index]
                                                                       : nullptr;
}

}  // namespace

bool CWndHidden::OpenAccountStore() {
    WCHAR friendlyName[kFriendlyNameLength] = {};
    if (!ReadFriendlyName(friendlyName)) return false;
    LPMAPITABLE stores = nullptr;
    if (FAILED(m_session->GetMsgStoresTable(MAPI_UNICODE, &stores))) return false;
    SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_DISPLAY_NAME_W}};
    bool failed = FAILED(stores->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0));
    SBinary account{};
    while (!failed && !account.lpb) {
        LPSRowSet rows = NextRow(stores, failed);
        if (!rows) break;
        const SPropValue* entry = Column(rows->aRow[0], 0, PR_ENTRYID);
        const SPropValue* name = Column(rows->aRow[0], 1, PR_DISPLAY_NAME_W);
        if (entry && name && name->Value.lpszW && lstrcmpiW(name->Value.lpszW, friendlyName) == 0)
            account = CopyEntry(entry->Value.bin.cb, entry->Value.bin.lpb);
        FreeProws(rows);
    }
    stores->Release();
    if (!account.lpb) return false;
    HRESULT opened = m_session->OpenMsgStore(0, account.cb, reinterpret_cast<LPENTRYID>(account.lpb),
                                             nullptr, 0, &m_store);
    MAPIFreeBuffer(account.lpb);
    if (FAILED(opened)) m_store = nullptr;
    return m_store != nullptr;
}

bool CWndHidden::ListFolderMessages(int folder, std::vector<SBinary>& messages) {
    const SBinary& id = m_specialFolders[folder];
    ULONG type = 0;
    LPUNKNOWN opened = nullptr;
    if (FAILED(m_store->OpenEntry(id.cb, reinterpret_cast<LPENTRYID>(id.lpb), nullptr,
                                  MAPI_BEST_ACCESS, &type, &opened)) ||
        !opened)
        return false;
    auto* container = static_cast<IMAPIFolder*>(opened);
    LPMAPITABLE contents = nullptr;
    bool failed = FAILED(container->GetContentsTable(0, &contents));
    if (!failed) {
        SizedSPropTagArray(2, columns) = {2, {PR_ENTRYID, PR_MESSAGE_CLASS_W}};
        failed = FAILED(contents->SetColumns(reinterpret_cast<LPSPropTagArray>(&columns), 0));
        while (!failed) {
            LPSRowSet rows = NextRow(contents, failed);
            if (!rows) break;
            const SPropValue* entry = Column(rows->aRow[0], 0, PR_ENTRYID);
            const SPropValue* messageClass = Column(rows->aRow[0], 1, PR_MESSAGE_CLASS_W);
            if (entry && messageClass && messageClass->Value.lpszW &&
                lstrcmpiW(messageClass->Value.lpszW, kMessageClass) == 0) {
                SBinary copy = CopyEntry(entry->Value.bin.cb, entry->Value.bin.lpb);
                if (copy.lpb)
                    messages.push_back(copy);
                else
                    failed = true;
            }
            FreeProws(rows);
        }
        contents->Release();
    }
    container->Release();
    return !failed;
}

HRESULT CWndHidden::PrepareMailJournal() {
    // Fails when the journal exists already, which leaves it as it is.
    CreateDatabase(MAIL_JOURNAL_NAME, JOURNAL_DB_TYPE, nullptr, 0, nullptr, m_volume.Guid());
    m_mailJournal.Open(MAIL_JOURNAL_NAME, 0, nullptr, 0, 0, m_volume.Guid());
    if (!m_mailJournal.IsOpen()) return E_FAIL;
    if (!m_store) return E_FAIL;

    // The current messages of the three folders. Records are judged stale only against a
    // complete listing: a folder that cannot be read must not cost its messages their records.
    std::vector<SBinary> messages;
    std::vector<int> listedFrom;
    bool complete = false;
    SizedSPropTagArray(4, folders) = {4,
                                      {PR_IPM_SUBTREE_ENTRYID, PR_CE_IPM_INBOX_ENTRYID,
                                       PR_IPM_OUTBOX_ENTRYID, PR_IPM_WASTEBASKET_ENTRYID}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    FreeSpecialFolders();
    if (SUCCEEDED(m_store->GetProps(reinterpret_cast<LPSPropTagArray>(&folders), MAPI_UNICODE,
                                    &count, &values)) &&
        values) {
        complete = true;
        for (ULONG i = 0; i < kSpecialFolderCount; ++i) {
            if (i >= count || PROP_TYPE(values[i].ulPropTag) != PT_BINARY) {
                if (i > 0) complete = false;
                continue;
            }
            m_specialFolders[i] = CopyEntry(values[i].Value.bin.cb, values[i].Value.bin.lpb);
            if (i == 0) continue;
            if (!m_specialFolders[i].lpb || !ListFolderMessages(static_cast<int>(i), messages))
                complete = false;
            listedFrom.resize(messages.size(), static_cast<int>(i));
        }
    }
    MAPIFreeBuffer(values);

    // Records of listed messages stay as they are; the others are stale.
    std::vector<CEOID> stale;
    CCeRecord record;
    if (CeSeekDatabase(m_mailJournal.Handle(), CEDB_SEEK_BEGINNING, 0, nullptr)) {
        do {
            if (FAILED(record.Read(m_mailJournal, nullptr))) break;
            const CEPROPVAL* entry = record.Find(PROPID_MESSAGE_ENTRY_ID);
            if (!entry) continue;
            SBinary id{entry->val.blob.dwCount, entry->val.blob.lpb};
            bool listed = false;
            for (size_t i = 0; i < messages.size() && !listed; ++i) {
                if (!SameEntry(messages[i], id)) continue;
                MAPIFreeBuffer(messages[i].lpb);
                messages.erase(messages.begin() + static_cast<std::ptrdiff_t>(i));
                listedFrom.erase(listedFrom.begin() + static_cast<std::ptrdiff_t>(i));
                listed = true;
            }
            if (!listed) stale.push_back(record.Oid());
        } while (CeSeekDatabase(m_mailJournal.Handle(), CEDB_SEEK_CURRENT, 1, nullptr));
    }
    if (complete)
        for (CEOID oid : stale) CeDeleteRecord(m_mailJournal.Handle(), oid);

    // Messages without a record.
    for (size_t i = 0; i < messages.size(); ++i) {
        MessageLocation location;
        LocateMessage(messages[i], &m_specialFolders[listedFrom[i]], location);
        CEPROPVAL values[2] = {};
        values[0].propid = PROPID_CHANGE_STATE;
        values[0].val.uiVal = FolderRuleState(location);
        values[1].propid = PROPID_MESSAGE_ENTRY_ID;
        values[1].val.blob.dwCount = messages[i].cb;
        values[1].val.blob.lpb = messages[i].lpb;
        CeWriteRecordProps(m_mailJournal.Handle(), 0, 2, values);
    }
    FreeEntries(messages);
    return S_OK;
}

HRESULT CWndHidden::LocateMessage(const SBinary& entry, const SBinary* parent,
                                  MessageLocation& location) {
    location = MessageLocation{};
    ULONG type = 0;
    LPUNKNOWN opened = nullptr;
    HRESULT result = m_session->OpenEntry(entry.cb, reinterpret_cast<LPENTRYID>(entry.lpb),
                                          nullptr, MAPI_BEST_ACCESS, &type, &opened);
    if (FAILED(result)) return result;
    if (!opened) return E_FAIL;
    auto* message = static_cast<IMAPIProp*>(opened);
    SizedSPropTagArray(3, tags) = {parent ? 2u : 3u,
                                   {PR_MESSAGE_FLAGS, PR_MSG_STATUS, PR_PARENT_ENTRYID}};
    ULONG count = 0;
    LPSPropValue values = nullptr;
    if (SUCCEEDED(message->GetProps(reinterpret_cast<LPSPropTagArray>(&tags), MAPI_UNICODE, &count,
                                    &values)) &&
        values) {
        if (count > 0 && values[0].ulPropTag == PR_MESSAGE_FLAGS)
            location.flags = values[0].Value.ul;
        if (count > 1 && values[1].ulPropTag == PR_MSG_STATUS)
            location.status = values[1].Value.ul;
        SBinary where{};
        if (parent)
            where = *parent;
        else if (count > 2 && values[2].ulPropTag == PR_PARENT_ENTRYID)
            where = values[2].Value.bin;
        for (int folder : {kFolderInbox, kFolderOutbox, kFolderDeleted}) {
            if (SameEntry(where, m_specialFolders[folder])) {
                location.folder = folder;
                break;
            }
        }
    }
    MAPIFreeBuffer(values);
    message->Release();
    return result;
}

bool CWndHidden::SameEntry(const SBinary& a, const SBinary& b) {
    if (!a.lpb || !b.lpb || !m_session) return false;
    ULONG same = FALSE;
    return SUCCEEDED(m_session->CompareEntryIDs(a.cb, reinterpret_cast<LPENTRYID>(a.lpb), b.cb,
                                                reinterpret_cast<LPENTRYID>(b.lpb), 0, &same)) &&
           same;
}

CEOID CWndHidden::FindMailRecord(const SBinary& entry) {
    CCeColumns columns;
    CCeRecord record;
    columns.Set({PROPID_MESSAGE_ENTRY_ID});
    if (!CeSeekDatabase(m_mailJournal.Handle(), CEDB_SEEK_BEGINNING, 0, nullptr)) return 0;
    do {
        if (FAILED(record.Read(m_mailJournal, &columns))) return 0;
        const CEPROPVAL* id = record.Find(PROPID_MESSAGE_ENTRY_ID);
        if (id && SameEntry(SBinary{id->val.blob.dwCount, id->val.blob.lpb}, entry))
            return record.Oid();
    } while (CeSeekDatabase(m_mailJournal.Handle(), CEDB_SEEK_CURRENT, 1, nullptr));
    return 0;
}

USHORT CWndHidden::FolderRuleState(const MessageLocation& location) const {
    if (location.folder == kFolderOutbox || location.folder == kFolderDeleted)
        return CHANGE_PARTNERS;
    if (location.folder == kFolderInbox && (location.status & kStatusDownloadRequests))
        return CHANGE_PARTNERS;
    return 0;
}

void CWndHidden::OnMailNotify(ULONG count, LPNOTIFICATION notifications) {
    if (!AcquireLock(m_mailLock)) return;
    // One NOTIFICATION after another, however large the platform's records are.
    for (ULONG i = 0; notifications && i < count; ++i) HandleMailNotification(notifications[i]);
    CeFlushDBVol(m_volume.Guid());
    ReleaseMutex(m_mailLock);
}

void CWndHidden::HandleMailNotification(const NOTIFICATION& notification) {
    constexpr ULONG kWatched = fnevObjectCreated | fnevObjectDeleted | fnevObjectModified |
                               fnevObjectMoved | fnevObjectCopied;
    const OBJECT_NOTIFICATION& object = notification.info.obj;
    if (!(notification.ulEventType & kWatched) || object.ulObjType != MAPI_MESSAGE) return;
    SBinary entry{object.cbEntryID, reinterpret_cast<LPBYTE>(object.lpEntryID)};
    CEOID record = FindMailRecord(entry);

    if (notification.ulEventType & fnevObjectDeleted) {
        if (record) CeDeleteRecord(m_mailJournal.Handle(), record);
        return;
    }
    SBinary parent{object.cbParentID, reinterpret_cast<LPBYTE>(object.lpParentID)};
    const SBinary& root = m_specialFolders[kFolderRoot];
    ULONG atRoot = FALSE;
    if (!parent.lpb || !root.lpb ||
        FAILED(m_session->CompareEntryIDs(parent.cb, reinterpret_cast<LPENTRYID>(parent.lpb),
                                          root.cb, reinterpret_cast<LPENTRYID>(root.lpb), 0,
                                          &atRoot)) ||
        atRoot)
        return;
    MessageLocation location;
    if (FAILED(LocateMessage(entry, &parent, location))) return;
    CEPROPVAL values[2] = {};
    values[0].propid = PROPID_CHANGE_STATE;
    if (record) {
        values[0].val.uiVal = FolderRuleState(location);
        CeWriteRecordProps(m_mailJournal.Handle(), record, 1, values);
        return;
    }
    if (location.folder < 0) return;
    values[0].val.uiVal = CHANGE_PARTNERS;
    values[1].propid = PROPID_MESSAGE_ENTRY_ID;
    values[1].val.blob.dwCount = entry.cb;
    values[1].val.blob.lpb = entry.lpb;
    CeWriteRecordProps(m_mailJournal.Handle(), 0, 2, values);
}
