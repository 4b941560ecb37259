#include "mail_handler.h"

#include "mail_folder.h"
#include "mail_item.h"
#include "outgoing_packet.h"
#include "repl_object.h"
#include "simple_mapi.h"
#include "st_log_file.h"
#include "store.h"

STDMETHODIMP CMailHandler::Setup(REPLSETUP* setup) {
    if (!setup) return E_POINTER;
    (setup->fRead ? m_readSetup : m_writeSetup) = setup;
    return S_OK;
}

STDMETHODIMP CMailHandler::Reset(REPLSETUP* setup) {
    if (!setup) return E_POINTER;
    if (!setup->fRead) return ReportMovedToDeleted(*setup);
    m_writer.Begin(0);
    return S_OK;
}

STDMETHODIMP CMailHandler::GetPacket(LPBYTE* data, DWORD* size, DWORD recommended) {
    CSTLogScope scope("CMailHandler::GetPacket");
    CReplObject* item = m_readSetup ? FromHandle(m_readSetup->hItem) : nullptr;
    CReplObject* folder = m_readSetup ? FromHandle(m_readSetup->hFolder) : nullptr;
    if (!item || item->GetKind() != OBJECT_KIND_MAIL_ITEM || !folder ||
        folder->GetKind() != OBJECT_KIND_MAIL_FOLDER)
        return E_UNEXPECTED;
    if (!data || !size) return E_POINTER;
    // A packet always has room for its count; it grows as properties are added.
    if (!m_writer.Begin(recommended ? recommended : sizeof(DWORD))) return E_OUTOFMEMORY;
    return ReadPacket(*static_cast<CMailItem*>(item), *static_cast<CMailFolder*>(folder), *data,
                      *size);
}

HRESULT CMailHandler::ReadPacket(const CMailItem& item, const CMailFolder& folder, LPBYTE& data,
                                 DWORD& size) {
    // Peek, full message: the note text, and the attachments in temporary files.
    lpMapiMessage message = nullptr;
    ULONG read = m_store->m_mapi ? m_store->m_mapi->ReadMail(item.m_messageId, MAPI_PEEK, &message)
                                 : SIMPLE_MAPI_NO_LIBRARY;
    if (read != SUCCESS_SUCCESS || !message) {
        ST_LOG("Message %s could not be read (%u)", item.m_messageId, static_cast<unsigned>(read));
        if (message) m_store->m_mapi->FreeBuffer(message);
        return RERR_GET_PACKET_FAILED;
    }
    HRESULT built =
        COutgoingPacket(m_writer, folder.m_settings, m_readSetup->pNotify).Build(item, *message);
    m_store->m_mapi->FreeBuffer(message);
    if (FAILED(built)) {
        // A packet missing a property it counts on is never handed out.
        ST_LOG("The packet of message %s could not be made (0x%08X)", item.m_messageId,
               static_cast<unsigned>(built));
        m_writer.Begin(0);
        return RERR_GET_PACKET_FAILED;
    }
    data = m_writer.Data();
    size = m_writer.Length();
    return RWRN_LAST_PACKET;
}
