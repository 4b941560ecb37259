// Serving a pending change: the body and attachments the device's user asked for go to the
// device as files, each announced by a data request, and the message's status tells the device
// what it now holds.
#include <cstring>

#include "attachment_conversion.h"
#include "device_file.h"
#include "incoming_packet.h"
#include "mail_folder.h"
#include "mail_item.h"
#include "mail_requests.h"
#include "mail_text.h"
#include "outgoing_packet.h"
#include "st_log_file.h"
#include "store.h"

namespace {

HRESULT Deliver(IReplNotify* notify, const AttachmentRecord& record) {
    BYTE wire[kAttachmentRecordSize];
    record.Store(wire);
    return SetMailRequest(notify, MAIL_REQUEST_DELIVER, wire, kAttachmentRecordSize);
}

// The whole body as the device's new body; TRUE when it arrived (an empty body needs nothing).
bool DeliverBody(IReplNotify* notify, LPCSTR messageId, LPCSTR text) {
    if (!text || !*text) return true;
    const DWORD written = WriteBodyFile(messageId, text, static_cast<DWORD>(std::strlen(text)));
    if (!written) return false;
    AttachmentRecord record;
    record.state = kAttachmentPresent;
    record.size = written;
    record.number = 0;
    record.SetFileName(AnsiToWide(messageId).c_str());
    return SUCCEEDED(Deliver(notify, record));
}

}  // namespace

void CMailFolder::ServePending(const CMailItem& item) {
    auto found = m_pending.find(item.m_messageId);
    if (found == m_pending.end()) return;
    CSTLogScope scope("CMailFolder::ServePending");
    PendingChange change = std::move(found->second);
    m_pending.erase(found);
    if (!m_store || !m_store->m_mapi) return;

    lpMapiMessage message = nullptr;
    ULONG read = m_store->m_mapi->ReadMail(item.m_messageId, MAPI_PEEK, &message);
    if (read != SUCCESS_SUCCESS || !message) {
        ST_LOG("Message %s could not be read for the device (%u)", item.m_messageId,
               static_cast<unsigned>(read));
        m_store->m_mapi->FreeBuffer(message);
        return;
    }
    const ULONG files = message->lpFiles ? message->nFileCount : 0;
    DWORD status = change.status;
    const bool wholeMessage = status & MSG_STATUS_WANT_BODY;
    if (wholeMessage || ((status & MSG_STATUS_WANT_ATTACHMENTS) && files)) {
        IReplNotify* notify = m_store->m_notify;
        SetMailRequest(notify, MAIL_REQUEST_SELECT, change.entryId.data(),
                       static_cast<UINT>(change.entryId.size()));
        if (wholeMessage && DeliverBody(notify, item.m_messageId, message->lpszNoteText))
            status &= ~(MSG_STATUS_WANT_BODY | MSG_STATUS_PARTIAL);

        size_t delivered = 0;
        bool requestedMissing = false;
        for (size_t i = 0; i < change.attachments.size(); ++i) {
            AttachmentRecord& record = change.attachments[i];
            const bool requested = record.state == kAttachmentPresent || wholeMessage;
            if (i >= files) {
                requestedMissing = requestedMissing || requested;
                continue;
            }
            if (!requested) continue;
            LPCSTR path = message->lpFiles[i].lpszPathName;
            WCHAR devicePath[MAX_PATH] = {};
            const DWORD size = path ? ConvertToDevice(notify, path, devicePath, record.fileName) : 0;
            if (size) {
                record.state = kAttachmentPresent;
                record.size = size;
            }
            if (size && SUCCEEDED(Deliver(notify, record)))
                ++delivered;
            else
                requestedMissing = true;
        }
        // The device keeps asking until every attachment it asked for arrived.
        if (!requestedMissing) status &= ~MSG_STATUS_WANT_ATTACHMENTS;
        if (!change.attachments.empty() && delivered == change.attachments.size())
            status &= ~MSG_STATUS_ATTACH_MISSING;

        BYTE data[4] = {BYTE(status), BYTE(status >> 8), BYTE(status >> 16), BYTE(status >> 24)};
        SetMailRequest(notify, MAIL_REQUEST_END, data, sizeof data);
    }
    // The mail client wrote every attachment to a temporary file for this read.
    for (ULONG i = 0; i < files; ++i)
        if (message->lpFiles[i].lpszPathName) DeleteFileA(message->lpFiles[i].lpszPathName);
    m_store->m_mapi->FreeBuffer(message);
}
