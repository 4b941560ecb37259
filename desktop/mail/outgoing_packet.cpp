#include "outgoing_packet.h"

#include "attachment_record.h"
#include "mail_item.h"
#include "mail_text.h"
#include "packet_tags.h"

COutgoingPacket::COutgoingPacket(PacketWriter& writer, const MailSettings& settings,
                                 IReplNotify* notify)
    : m_writer(writer), m_settings(settings), m_notify(notify) {}

void COutgoingPacket::Build(const CMailItem& item, const MapiMessage& message) {
    m_writer.Add(PR_MESSAGE_DELIVERY_TIME, &item.m_received);
    AddText(PR_SUBJECT_W, AnsiToWide(message.lpszSubject));
    AddParties(message);
    ULONG attachments = message.lpFiles ? message.nFileCount : 0;
    if (attachments) AddAttachments(message);
    if (message.lpszNoteText && *message.lpszNoteText)
        AddBody(item.m_messageId, message.lpszNoteText);
    AddSummary(message, attachments);
}

void COutgoingPacket::AddText(ULONG tag, const std::u16string& text) {
    m_writer.Add(tag, text.c_str());
}

void COutgoingPacket::AddParties(const MapiMessage& message) {
    const MapiRecipDesc* from = message.lpOriginator;
    AddText(PR_SENDER_EMAIL_ADDRESS_W,
            from ? FormatMailAddress(from->lpszName, from->lpszAddress) : std::u16string());
    AddText(PR_SENDER_NAME_W, AnsiToWide(from ? from->lpszName : nullptr));

    // The originator may be listed among the recipients; it goes to no list.
    std::u16string lists[3];
    for (ULONG i = 0; message.lpRecips && i < message.nRecipCount; ++i) {
        const MapiRecipDesc& recipient = message.lpRecips[i];
        if (recipient.ulRecipClass < MAPI_TO || recipient.ulRecipClass > MAPI_BCC) continue;
        std::u16string& list = lists[recipient.ulRecipClass - MAPI_TO];
        if (!list.empty()) list += u';';
        list += FormatMailAddress(recipient.lpszName, recipient.lpszAddress);
    }
    const ULONG tags[3] = {PR_DISPLAY_TO_W, PR_DISPLAY_CC_W, PR_DISPLAY_BCC_W};
    for (int i = 0; i < 3; ++i)
        if (!lists[i].empty()) AddText(tags[i], lists[i]);
}

void COutgoingPacket::AddSummary(const MapiMessage& message, ULONG attachments) {
    m_writer.Add(TAG_WHOLE_MESSAGE_SIZE, &m_wholeSize);
    m_writer.Add(PR_MESSAGE_SIZE, &m_deliveredSize);

    // Every desktop message goes to the device's Inbox.
    BYTE code[kFolderCodeSize];
    FolderCode{0, PR_CE_IPM_INBOX_ENTRYID}.Store(code);
    PacketBinary folder = {kFolderCodeSize, code};
    m_writer.Add(PR_HEADER_FOLDER_ENTRYID, &folder);

    DWORD flags = (attachments ? OUTGOING_FLAG_HAS_ATTACHMENTS : 0) |
                  (message.flFlags & MAPI_UNREAD ? 0 : OUTGOING_FLAG_READ);
    m_writer.Add(PR_MESSAGE_FLAGS, &flags);

    const bool missing = m_deliveredCount < attachments;
    DWORD status = m_bodyCut ? MSG_STATUS_PARTIAL
                   : missing ? MSG_STATUS_COMPLETE | MSG_STATUS_PARTIAL
                             : MSG_STATUS_COMPLETE;
    if (missing) status |= MSG_STATUS_ATTACH_MISSING;
    m_writer.Add(PR_MSG_STATUS, &status);
}
