// A desktop mail message as ActiveSync holds it: the mail client's message identifier, the time
// the message was received and its unread flag (the change stamp of a message).
#pragma once

#include "repl_object.h"

// Bytes of the identifier field: at most 63 characters and a terminator.
constexpr UINT MAIL_ID_SIZE = 64;
// Handle bytes of a mail item: header, time (8), identifier (64), unread flag (4).
constexpr UINT MAIL_ITEM_HANDLE_SIZE = HANDLE_HEADER_SIZE + 8 + MAIL_ID_SIZE + 4;

class CMailItem : public CItem {
public:
    CMailItem();
    ObjectKind GetKind() override { return OBJECT_KIND_MAIL_ITEM; }
    void Free() override;
    UINT ToBytes(LPBYTE buffer) override;
    // Version 2 carries the unread flag; older handles end before it and leave it 0.
    BOOL FromBytes(const BYTE* payload, UINT size) override;
    BOOL CopyFrom(CReplObject* source) override;
    // Identifiers are decimal numbers issued by the mail client: smaller number first.
    int Compare(CItem* other) override;

    // Sets the identifier, cut to 63 characters.
    void SetMessageId(LPCSTR id);
    // Sets the received time from the mail client's date-received text (local calendar fields,
    // taken as they stand, without time-zone conversion). FALSE, leaving the time unchanged, when
    // the text is missing or no valid date.
    BOOL SetReceived(LPCSTR dateReceived);

    char m_messageId[MAIL_ID_SIZE];
    FILETIME m_received;
    DWORD m_unread;
};
