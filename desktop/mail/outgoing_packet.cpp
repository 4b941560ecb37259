#include "outgoing_packet.h"

#include <algorithm>

#include "attachment_record.h"
#include "mail_item.h"
#include "mail_text.h"
#include "packet_layout.h"
#include "packet_tags.h"

COutgoingPacket::COutgoingPacket(PacketWriter& writer, const MailSettings& settings,
                                 IReplNotify* notify)
    : m_writer(writer), m_settings(settings), m_notify(notify) {}

namespace {

// Packet bytes of one entry whose value takes `valueSize` bytes.
ULONG EntrySize(std::uint64_t valueSize) {
    return static_cast<ULONG>(kPacketTagSize + PaddedValueSize(valueSize));
}

}  // namespace

HRESULT COutgoingPacket::Build(const CMailItem& item, const MapiMessage& message) {
    Add(PR_MESSAGE_DELIVERY_TIME, &item.m_received);
    m_reserve = TailSize(item, message);
    AddText(PR_SUBJECT_W, AnsiToWide(message.lpszSubject));
    AddParties(message);
    // What follows is never cut: it was reserved.
    m_reserve = 0;
    ULONG attachments = message.lpFiles ? message.nFileCount : 0;
    // The body file is named by the message; no attachment may take that name.
    if (message.lpszNoteText && *message.lpszNoteText)
        m_deviceNames.push_back(AnsiToWide(item.m_messageId));
    if (attachments) AddAttachments(message);
    if (message.lpszNoteText && *message.lpszNoteText)
        AddBody(item.m_messageId, message.lpszNoteText);
    AddSummary(message, attachments);
    return m_result;
}

ULONG COutgoingPacket::TailSize(const CMailItem& item, const MapiMessage& message) const {
    ULONG size = 0;
    ULONG attachments = message.lpFiles ? message.nFileCount : 0;
    if (attachments) {
        ULONG records = attachments < OUTGOING_MAX_ATTACHMENTS ? attachments
                                                               : OUTGOING_MAX_ATTACHMENTS;
        size += EntrySize(4) + EntrySize(4 + std::uint64_t{records} * kAttachmentRecordSize);
    }
    if (message.lpszNoteText && *message.lpszNoteText)
        size += EntrySize(2 * (AnsiToWide(item.m_messageId).size() + 1));
    // Sizes, folder, flags and status.
    size += 4 * EntrySize(4) + EntrySize(4 + kFolderCodeSize);
    // The subject and the five address texts at their shortest, the empty string.
    size += 6 * EntrySize(2);
    return size;
}

void COutgoingPacket::Add(ULONG tag, LPCVOID value) {
    HRESULT result = m_writer.Add(tag, value);
    if (FAILED(result) && SUCCEEDED(m_result)) m_result = result;
}

void COutgoingPacket::AddText(ULONG tag, std::u16string text) {
    // This text's own shortest entry is no longer held back: it is counted in `used`.
    m_reserve -= std::min(m_reserve, EntrySize(2));
    const std::uint64_t used = std::uint64_t{m_writer.Length()} + m_reserve + kPacketTagSize + 2;
    const std::uint64_t room = used < kPacketLimit ? (kPacketLimit - used) / 2 : 0;
    if (text.size() > room) {
        text.resize(static_cast<size_t>(room));
        // Never half a surrogate pair at the cut.
        if (!text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) text.pop_back();
    }
    Add(tag, text.c_str());
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
    Add(TAG_WHOLE_MESSAGE_SIZE, &m_wholeSize);
    Add(PR_MESSAGE_SIZE, &m_deliveredSize);

    // Every desktop message goes to the device's Inbox.
    BYTE code[kFolderCodeSize];
    FolderCode{0, PR_CE_IPM_INBOX_ENTRYID}.Store(code);
    PacketBinary folder = {kFolderCodeSize, code};
    Add(PR_HEADER_FOLDER_ENTRYID, &folder);

    DWORD flags = (attachments ? OUTGOING_FLAG_HAS_ATTACHMENTS : 0) |
                  (message.flFlags & MAPI_UNREAD ? 0 : OUTGOING_FLAG_READ);
    Add(PR_MESSAGE_FLAGS, &flags);

    const bool missing = m_deliveredCount < attachments;
    DWORD status = m_bodyCut ? MSG_STATUS_PARTIAL
                   : missing ? MSG_STATUS_COMPLETE | MSG_STATUS_PARTIAL
                             : MSG_STATUS_COMPLETE;
    if (missing) status |= MSG_STATUS_ATTACH_MISSING;
    Add(PR_MSG_STATUS, &status);
}
