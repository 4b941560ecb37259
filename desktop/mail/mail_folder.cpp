#include "mail_folder.h"

#include <cstring>
#include <new>

#include "mail_item.h"
#include "mail_opt_dlg.h"
#include "mail_options.h"
#include "partnership_key.h"
#include "st_log_file.h"
#include "store.h"

namespace {

// One day in FILETIME units (100 ns).
constexpr ULONGLONG kDay = 864000000000ULL;
// Reads that neither mark a message read nor fetch its body or attachment files.
constexpr FLAGS kEnvelopePeek = MAPI_PEEK | MAPI_ENVELOPE_ONLY;

CMailItem* AsMailItem(HREPLITEM item) {
    return static_cast<CMailItem*>(FromHandle(static_cast<HREPLOBJ>(item)));
}

ULONGLONG ToValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

CMailFolder::CMailFolder(CStore* store) : CFolder(store), m_seed{} {
    m_changed = 1;
    LoadSettings();
    m_wndHidden.m_owner = this;
    if (store && store->m_notify) m_wndHidden.Create();
}

CMailFolder::~CMailFolder() {
    if (m_wndHidden.m_hWnd) m_wndHidden.Destroy();
}

void CMailFolder::LoadSettings() {
    if (!m_store) return;
    HKEY key = QueryPartnershipKey(m_store->m_notify, m_store->m_flags);
    if (!key) return;
    LoadMailOptions(key, &m_settings);
    WriteNoKeepSentOver(m_settings, m_store->m_flags);
    RegCloseKey(key);
}

BOOL CMailFolder::Selects(const CMailItem& item) {
    if (!(m_settings.options & MAIL_OPT_SYNC)) return FALSE;
    if (!(m_settings.options & MAIL_OPT_LIMIT_DAYS)) return TRUE;
    FILETIME now = {};
    CoFileTimeNow(&now);
    // now - Days; a span reaching before the calendar's start (whatever number the registry
    // holds) takes every message.
    ULONGLONG nowValue = ToValue(now);
    ULONGLONG cutoffValue =
        m_settings.days < nowValue / kDay ? nowValue - m_settings.days * kDay : 0;
    FILETIME cutoff = {static_cast<DWORD>(cutoffValue), static_cast<DWORD>(cutoffValue >> 32)};
    return CompareFileTime(&item.m_received, &cutoff) >= 0;
}

ULONG CMailFolder::ReadStamp(LPCSTR id, CMailItem* item) {
    lpMapiMessage message = nullptr;
    ULONG result = m_store->m_mapi->ReadMail(id, kEnvelopePeek, &message);
    if (result == SUCCESS_SUCCESS && message) {
        item->SetMessageId(id);
        item->SetReceived(message->lpszDateReceived);
        item->m_unread = (message->flFlags & MAPI_UNREAD) ? 1 : 0;
    } else if (result == SUCCESS_SUCCESS) {
        result = MAPI_E_FAILURE;
    }
    m_store->m_mapi->FreeBuffer(message);
    return result;
}

HRESULT CMailFolder::FindFirstItem(HREPLITEM* item, BOOL* exists) {
    m_seed[0] = '\0';
    return FindNextItem(item, exists);
}

HRESULT CMailFolder::FindNextItem(HREPLITEM* item, BOOL* exists) {
    if (!item || !exists) return E_POINTER;
    if (!m_store || !m_store->m_mapi) return E_FAIL;
    for (;;) {
        char id[SIMPLE_MAPI_ID_SIZE] = {};
        ULONG result = m_store->m_mapi->FindNext(m_seed, id);
        if (result == MAPI_E_NO_MESSAGES) {
            *exists = FALSE;
            return S_OK;
        }
        if (result != SUCCESS_SUCCESS) return E_FAIL;
        id[SIMPLE_MAPI_ID_SIZE - 1] = '\0';
        CMailItem scratch;
        if (ReadStamp(id, &scratch) != SUCCESS_SUCCESS) return E_FAIL;
        std::memcpy(m_seed, id, SIMPLE_MAPI_ID_SIZE);
        // Messages outside the options are passed over; the walk goes on.
        if (!Selects(scratch)) continue;
        CMailItem* found = new (std::nothrow) CMailItem();
        if (!found) return E_OUTOFMEMORY;
        found->CopyFrom(&scratch);
        *item = static_cast<HREPLITEM>(ToHandle(found));
        *exists = TRUE;
        return S_OK;
    }
}

HRESULT CMailFolder::FindItemClose() { return S_OK; }

HRESULT CMailFolder::IsValidObject(HREPLITEM item) {
    CMailItem* mail = AsMailItem(item);
    if (!mail) return S_OK;
    if (!Selects(*mail)) return RERR_OBJECT_DELETED;
    if (!m_store || !m_store->m_mapi) return RERR_BAD_OBJECT;
    lpMapiMessage message = nullptr;
    ULONG result = m_store->m_mapi->ReadMail(mail->m_messageId, kEnvelopePeek, &message);
    m_store->m_mapi->FreeBuffer(message);
    if (result == SUCCESS_SUCCESS) return S_OK;
    // Only the mail client's word that the message is gone makes it gone: any other failure
    // (no session, no library) says nothing about the message, which must not be deleted on
    // the device for it.
    return result == MAPI_E_INVALID_MESSAGE ? RERR_OBJECT_DELETED : RERR_BAD_OBJECT;
}

BOOL CMailFolder::IsItemChanged(HREPLITEM item, HREPLITEM itemComp) {
    CMailItem* mail = AsMailItem(item);
    if (!mail) return FALSE;
    if (itemComp) return mail->m_unread != AsMailItem(itemComp)->m_unread;
    if (!m_store || !m_store->m_mapi) return FALSE;
    // A message that cannot be read counts as unchanged.
    CMailItem live;
    if (ReadStamp(mail->m_messageId, &live) != SUCCESS_SUCCESS) return FALSE;
    return live.m_unread != mail->m_unread;
}

BOOL CMailFolder::IsItemReplicated(HREPLITEM item) {
    CMailItem* mail = AsMailItem(item);
    return mail ? Selects(*mail) : FALSE;
}

void CMailFolder::UpdateItem(HREPLITEM itemDst, HREPLITEM itemSrc) {
    // The read state, the only change stamp, is taken over by the engine through CopyObject.
    if (itemSrc) return;
    CMailItem* mail = AsMailItem(itemDst);
    if (mail) ServePending(*mail);
}

HRESULT CMailFolder::GetConflictInfo(PCONFINFO) { return RERR_IGNORE; }

HRESULT CMailFolder::ActivateDialog(UINT dialog, HWND parent, IEnumReplItem*) {
    if (dialog != OBJTYPE_DLG_OPTIONS) return E_NOTIMPL;
    CSTLogScope scope("CMailFolder::ActivateDialog");
    HCESVC partnership = OpenDevicePartnership();
    if (!partnership) return E_FAIL;
    LoadMailOptions(partnership, &m_settings);
    CMailOptDlg options(parent, this);
    INT_PTR answer = options.Run();
    HRESULT result = E_FAIL;
    if (answer == IDOK) {
        if (!(options.m_settings == m_settings)) {
            m_settings = options.m_settings;
            if (SaveMailOptions(partnership, m_settings) != ERROR_SUCCESS)
                ST_LOG("Mail options could not be saved");
            WriteNoKeepSentOver(m_settings, m_store ? m_store->m_flags : 0);
            SetChanged();
        }
        result = S_OK;
    } else if (answer == IDCANCEL) {
        result = RERR_CANCEL;
    }
    CeSvcClose(partnership);
    return result;
}

CItem* CMailFolder::NewItem() { return new (std::nothrow) CMailItem(); }
