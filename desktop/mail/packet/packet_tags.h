// Property tags and value type codes carried in property packets: the type codes the codec knows,
// the mail property set, the message-store folder tags a FolderCode names, and clear markers.
// The published names are macros, as the message-store and device-database headers define them;
// each is guarded so that including one of those headers as well stays harmless.
#pragma once

#include <windows.h>

// A tag packs the property identifier (high 16 bits) and the value type code (low 16 bits).
#ifndef PROP_TYPE
#define PROP_TYPE(tag) (static_cast<ULONG>(tag) & 0xFFFFu)
#endif
#ifndef PROP_ID
#define PROP_ID(tag) (static_cast<ULONG>(tag) >> 16)
#endif
#ifndef PROP_TAG
#define PROP_TAG(type, id) ((static_cast<ULONG>(id) << 16) | static_cast<ULONG>(type))
#endif

// Message-store value types.
#ifndef PT_I2
#define PT_I2 static_cast<ULONG>(0x0002)
#endif
#ifndef PT_LONG
#define PT_LONG static_cast<ULONG>(0x0003)
#endif
#ifndef PT_R4
#define PT_R4 static_cast<ULONG>(0x0004)
#endif
#ifndef PT_DOUBLE
#define PT_DOUBLE static_cast<ULONG>(0x0005)
#endif
#ifndef PT_BOOLEAN
#define PT_BOOLEAN static_cast<ULONG>(0x000B)
#endif
#ifndef PT_UNICODE
#define PT_UNICODE static_cast<ULONG>(0x001F)
#endif
#ifndef PT_SYSTIME
#define PT_SYSTIME static_cast<ULONG>(0x0040)
#endif
#ifndef PT_BINARY
#define PT_BINARY static_cast<ULONG>(0x0102)
#endif

// Device-database value types that differ from the message-store ones.
#ifndef CEVT_UI2
#define CEVT_UI2 static_cast<ULONG>(0x0012)
#endif
#ifndef CEVT_UI4
#define CEVT_UI4 static_cast<ULONG>(0x0013)
#endif
#ifndef CEVT_BLOB
#define CEVT_BLOB static_cast<ULONG>(0x0041)
#endif

// Added to a contact property's type code, it makes the bare tag that tells the receiver to empty
// that property (for example 0x001F becomes 0x041F).
constexpr ULONG kClearMarkerType = 0x0400;
constexpr ULONG ClearMarkerOf(ULONG tag) { return tag + kClearMarkerType; }

// The mail property set, in the order the mail writers add them.
#ifndef PR_MESSAGE_DELIVERY_TIME
#define PR_MESSAGE_DELIVERY_TIME PROP_TAG(PT_SYSTIME, 0x0E06)
#endif
#ifndef PR_SUBJECT_W
#define PR_SUBJECT_W PROP_TAG(PT_UNICODE, 0x0037)
#endif
#ifndef PR_SENDER_EMAIL_ADDRESS_W
#define PR_SENDER_EMAIL_ADDRESS_W PROP_TAG(PT_UNICODE, 0x0C1F)
#endif
#ifndef PR_SENDER_NAME_W
#define PR_SENDER_NAME_W PROP_TAG(PT_UNICODE, 0x0C1A)
#endif
#ifndef PR_DISPLAY_TO_W
#define PR_DISPLAY_TO_W PROP_TAG(PT_UNICODE, 0x0E04)
#endif
#ifndef PR_DISPLAY_CC_W
#define PR_DISPLAY_CC_W PROP_TAG(PT_UNICODE, 0x0E03)
#endif
#ifndef PR_DISPLAY_BCC_W
#define PR_DISPLAY_BCC_W PROP_TAG(PT_UNICODE, 0x0E02)
#endif
#ifndef PR_ATTACH_NUM
#define PR_ATTACH_NUM PROP_TAG(PT_LONG, 0x0E21)
#endif
#ifndef PR_ATTACH_DATA_BIN
#define PR_ATTACH_DATA_BIN PROP_TAG(PT_BINARY, 0x3701)
#endif
#ifndef PR_BODY_W
#define PR_BODY_W PROP_TAG(PT_UNICODE, 0x1000)
#endif
// Whole size of the desktop message: every attachment file plus twice the body length in bytes.
#define TAG_WHOLE_MESSAGE_SIZE PROP_TAG(PT_LONG, 0x8111)
#ifndef PR_MESSAGE_SIZE
#define PR_MESSAGE_SIZE PROP_TAG(PT_LONG, 0x0E08)
#endif
#ifndef PR_HEADER_FOLDER_ENTRYID
#define PR_HEADER_FOLDER_ENTRYID PROP_TAG(PT_BINARY, 0x3E0A)
#endif
#ifndef PR_MESSAGE_FLAGS
#define PR_MESSAGE_FLAGS PROP_TAG(PT_LONG, 0x0E07)
#endif
#ifndef PR_MSG_STATUS
#define PR_MSG_STATUS PROP_TAG(PT_LONG, 0x0E17)
#endif
#ifndef PR_ENTRYID
#define PR_ENTRYID PROP_TAG(PT_BINARY, 0x0FFF)
#endif

// The message-store folder entry-ID properties whose tags a FolderCode carries.
#ifndef PR_IPM_SUBTREE_ENTRYID
#define PR_IPM_SUBTREE_ENTRYID PROP_TAG(PT_BINARY, 0x35E0)
#endif
#ifndef PR_CE_IPM_INBOX_ENTRYID
#define PR_CE_IPM_INBOX_ENTRYID PROP_TAG(PT_BINARY, 0x8106)
#endif
#ifndef PR_IPM_OUTBOX_ENTRYID
#define PR_IPM_OUTBOX_ENTRYID PROP_TAG(PT_BINARY, 0x35E2)
#endif
#ifndef PR_IPM_WASTEBASKET_ENTRYID
#define PR_IPM_WASTEBASKET_ENTRYID PROP_TAG(PT_BINARY, 0x35E3)
#endif
#ifndef PR_CE_IPM_DRAFTS_ENTRYID
#define PR_CE_IPM_DRAFTS_ENTRYID PROP_TAG(PT_BINARY, 0x8104)
#endif
#ifndef PR_IPM_SENTMAIL_ENTRYID
#define PR_IPM_SENTMAIL_ENTRYID PROP_TAG(PT_BINARY, 0x35E4)
#endif
