#include "mail_item.h"

#include <cstring>

#include "handle_bytes.h"

namespace {

// The decimal number at the start of an identifier; saturates instead of wrapping.
ULONGLONG IdNumber(const char* id) {
    ULONGLONG value = 0;
    for (; *id >= '0' && *id <= '9'; ++id) {
        unsigned digit = static_cast<unsigned>(*id - '0');
        if (value > (~0ULL - digit) / 10) return ~0ULL;
        value = value * 10 + digit;
    }
    return value;
}

}  // namespace

CMailItem::CMailItem() : m_messageId{}, m_received{}, m_unread(0) {}

void CMailItem::Free() { delete this; }

UINT CMailItem::ToBytes(LPBYTE buffer) {
    UINT header = CReplObject::ToBytes(buffer);
    if (buffer) {
        BYTE* out = buffer + header;
        PutDword(out, m_received.dwLowDateTime);
        PutDword(out + 4, m_received.dwHighDateTime);
        std::memcpy(out + 8, m_messageId, MAIL_ID_SIZE);
        PutDword(out + 8 + MAIL_ID_SIZE, m_unread);
    }
    return MAIL_ITEM_HANDLE_SIZE;
}

BOOL CMailItem::FromBytes(const BYTE* payload, UINT size) {
    CHandleReader reader(payload, size);
    if (!reader.ReadDword(m_received.dwLowDateTime) ||
        !reader.ReadDword(m_received.dwHighDateTime) ||
        !reader.ReadBytes(m_messageId, MAIL_ID_SIZE))
        return FALSE;
    // A field without a terminator yields its first 63 characters.
    m_messageId[MAIL_ID_SIZE - 1] = '\0';
    if (m_version == HANDLE_VERSION && !reader.ReadDword(m_unread)) return FALSE;
    return TRUE;
}

BOOL CMailItem::CopyFrom(CReplObject* source) {
    auto* from = static_cast<CMailItem*>(source);
    m_version = from->m_version;
    std::memcpy(m_messageId, from->m_messageId, MAIL_ID_SIZE);
    m_received = from->m_received;
    m_unread = from->m_unread;
    return TRUE;
}

int CMailItem::Compare(CItem* other) {
    ULONGLONG mine = IdNumber(m_messageId);
    ULONGLONG theirs = IdNumber(static_cast<CMailItem*>(other)->m_messageId);
    if (mine < theirs) return -1;
    return mine > theirs ? 1 : 0;
}

BOOL CMailItem::SetReceived(LPCSTR dateReceived) {
    if (!dateReceived) return FALSE;
    WCHAR text[MAIL_ID_SIZE];
    // The text is ANSI; a date never needs more than the buffer holds.
    if (!MultiByteToWideChar(CP_ACP, 0, dateReceived, -1, text, MAIL_ID_SIZE)) return FALSE;
    DATE date;
    SYSTEMTIME fields;
    FILETIME received;
    if (FAILED(VarDateFromStr(text, LOCALE_SYSTEM_DEFAULT, 0, &date)) ||
        !VariantTimeToSystemTime(date, &fields) || !SystemTimeToFileTime(&fields, &received))
        return FALSE;
    m_received = received;
    return TRUE;
}

void CMailItem::SetMessageId(LPCSTR id) {
    std::memset(m_messageId, 0, MAIL_ID_SIZE);
    if (id) std::strncpy(m_messageId, id, MAIL_ID_SIZE - 1);
}
