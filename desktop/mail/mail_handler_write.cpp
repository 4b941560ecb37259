// The write side of the mail handler: packets from the device, deletions, and the report of a
// message the device moved to Deleted Items.
#include <new>

#include "incoming_packet.h"
#include "mail_folder.h"
#include "mail_handler.h"
#include "mail_item.h"
#include "outbox_send.h"
#include "packet_tags.h"
#include "repl_object.h"
#include "simple_mapi.h"
#include "st_log_file.h"
#include "store.h"

namespace {

CMailFolder* MailFolderOf(const REPLSETUP& setup) {
    CReplObject* folder = FromHandle(setup.hFolder);
    return folder && folder->GetKind() == OBJECT_KIND_MAIL_FOLDER ? static_cast<CMailFolder*>(folder)
                                                                  : nullptr;
}

CMailItem* MailItemOf(const REPLSETUP& setup) {
    CReplObject* item = FromHandle(static_cast<HREPLOBJ>(setup.hItem));
    return item && item->GetKind() == OBJECT_KIND_MAIL_ITEM ? static_cast<CMailItem*>(item)
                                                            : nullptr;
}

}  // namespace

STDMETHODIMP CMailHandler::SetPacket(LPBYTE data, DWORD size) {
    CSTLogScope scope("CMailHandler::SetPacket");
    CMailFolder* folder = m_writeSetup ? MailFolderOf(*m_writeSetup) : nullptr;
    if (!folder) return E_UNEXPECTED;
    if (!data && size) return E_POINTER;
    const IncomingPacket packet = ReadIncomingPacket(data, size);
    if (m_writeSetup->dwFlags & RSF_NEW_OBJECT) return TakeNewObject(*folder, packet);

    // A message that came from the desktop. Its read state never comes back from the device:
    // only download requests and a move to Deleted Items count.
    CMailItem* item = MailItemOf(*m_writeSetup);
    const bool deleted = packet.folderCode == PR_IPM_WASTEBASKET_ENTRYID;
    const bool requested = packet.folderCode == PR_CE_IPM_INBOX_ENTRYID &&
                           (packet.status & (MSG_STATUS_WANT_BODY | MSG_STATUS_WANT_ATTACHMENTS));
    if ((deleted || requested) && item) {
        PendingChange& change = folder->m_pending[item->m_messageId];
        change.messageFlags = packet.messageFlags;
        change.status = packet.status;
        change.folderCode = packet.folderCode;
        change.entryId = packet.entryId;
        change.attachments = packet.attachments;
    }
    if (deleted) return RERR_DISCARD;
    if (item) {
        CMailItem* copy = new (std::nothrow) CMailItem();
        if (!copy) return E_OUTOFMEMORY;
        copy->CopyFrom(item);
        m_writeSetup->hItem = static_cast<HREPLITEM>(ToHandle(copy));
    }
    return S_OK;
}

HRESULT CMailHandler::TakeNewObject(CMailFolder& folder, const IncomingPacket& packet) {
    switch (packet.folderCode) {
        case PR_IPM_OUTBOX_ENTRYID: {
            if (!(folder.m_settings.options & MAIL_OPT_SEND)) return RERR_SKIP_OBJECT;
            if (!m_store->m_mapi) return RERR_SKIP_OBJECT;
            // A message the mail client did not take stays in the device's Outbox, to be sent
            // by a later synchronization.
            COutboxSend send(*m_store->m_mapi, m_writeSetup->pNotify);
            return send.Send(packet) ? RERR_DISCARD : RERR_SKIP_OBJECT;
        }
        case PR_CE_IPM_INBOX_ENTRYID:
            return RERR_DISCARD;
        default:
            return RERR_SKIP_OBJECT;
    }
}

HRESULT CMailHandler::ReportMovedToDeleted(REPLSETUP& setup) {
    CMailFolder* folder = MailFolderOf(setup);
    CMailItem* item = MailItemOf(setup);
    if (!folder || !item || !setup.pNotify) return S_OK;
    auto found = folder->m_pending.find(item->m_messageId);
    if (found == folder->m_pending.end() || found->second.folderCode != PR_IPM_WASTEBASKET_ENTRYID)
        return S_OK;
    CMailItem* copy = new (std::nothrow) CMailItem();
    if (!copy) return S_OK;
    copy->CopyFrom(item);
    HRESULT result = setup.pNotify->OnItemNotify(
        RNC_DELETED, const_cast<LPSTR>(STORE_PROGID), const_cast<LPSTR>("Message"),
        static_cast<HREPLITEM>(ToHandle(copy)), 0);
    // The engine takes the item only when it accepts the report.
    if (FAILED(result)) {
        ST_LOG("The deletion of message %s was not taken (0x%08X)", item->m_messageId,
               static_cast<unsigned>(result));
        copy->Free();
    }
    return S_OK;
}

STDMETHODIMP CMailHandler::DeleteObj(REPLSETUP* setup) {
    CSTLogScope scope("CMailHandler::DeleteObj");
    if (!setup) return E_POINTER;
    CMailItem* item = MailItemOf(*setup);
    if (!item) return S_OK;
    if (CMailFolder* folder = MailFolderOf(*setup)) folder->m_pending.erase(item->m_messageId);
    if (!m_store->m_mapi) return E_FAIL;
    ULONG result = m_store->m_mapi->DeleteMail(item->m_messageId);
    if (result == SUCCESS_SUCCESS || result == MAPI_E_INVALID_MESSAGE) return S_OK;
    // The deletion failed: the message is gone only when the mail client says so.
    lpMapiMessage message = nullptr;
    ULONG read = m_store->m_mapi->ReadMail(item->m_messageId, MAPI_PEEK | MAPI_ENVELOPE_ONLY,
                                           &message);
    m_store->m_mapi->FreeBuffer(message);
    if (read == MAPI_E_INVALID_MESSAGE) return S_OK;
    ST_LOG("Message %s could not be deleted (%u)", item->m_messageId,
           static_cast<unsigned>(result));
    return E_FAIL;
}
