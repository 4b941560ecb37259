// The device's message stores: a session over the stores of the device's mail accounts, their
// folders, messages, recipients and attachments, property values and tags, tables, property
// streams and advise sinks.
//
// Every published name that other headers of this tree may also define (the property tags and
// value types a packet carries, the recipient classes) is guarded, so that including those
// headers as well stays harmless; the values are the same.
#pragma once

#include <windows.h>

#include <cstddef>

// ---------------------------------------------------------------------------------------------
// Basic types

using FLAGS = ULONG;

// Arrays declared with one element and allocated at their real length.
#define MAPI_DIM 1

// Identifies a store, folder or message. The bytes after abFlags are the store's own; callers
// keep them whole, compare them with CompareEntryIDs and hand them back to OpenEntry.
struct ENTRYID {
    BYTE abFlags[4];
    BYTE ab[MAPI_DIM];
};
using LPENTRYID = ENTRYID*;

struct SBinary {
    ULONG cb;
    LPBYTE lpb;
};
using LPSBinary = SBinary*;

struct SBinaryArray {
    ULONG cValues;
    SBinary* lpbin;
};
// A list of entry identifiers (CopyMessages, DeleteMessages).
using ENTRYLIST = SBinaryArray;
using LPENTRYLIST = ENTRYLIST*;

using LPCIID = const IID*;

// ---------------------------------------------------------------------------------------------
// Property tags

#ifndef PROP_TYPE
#define PROP_TYPE(tag) (static_cast<ULONG>(tag) & 0xFFFFu)
#endif
#ifndef PROP_ID
#define PROP_ID(tag) (static_cast<ULONG>(tag) >> 16)
#endif
#ifndef PROP_TAG
#define PROP_TAG(type, id) ((static_cast<ULONG>(id) << 16) | static_cast<ULONG>(type))
#endif
#ifndef CHANGE_PROP_TYPE
#define CHANGE_PROP_TYPE(tag, type) ((static_cast<ULONG>(tag) & 0xFFFF0000u) | static_cast<ULONG>(type))
#endif

// Value types.
#ifndef PT_UNSPECIFIED
#define PT_UNSPECIFIED static_cast<ULONG>(0x0000)
#endif
#ifndef PT_NULL
#define PT_NULL static_cast<ULONG>(0x0001)
#endif
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
#ifndef PT_ERROR
#define PT_ERROR static_cast<ULONG>(0x000A)
#endif
#ifndef PT_BOOLEAN
#define PT_BOOLEAN static_cast<ULONG>(0x000B)
#endif
#ifndef PT_OBJECT
#define PT_OBJECT static_cast<ULONG>(0x000D)
#endif
#ifndef PT_I8
#define PT_I8 static_cast<ULONG>(0x0014)
#endif
#ifndef PT_STRING8
#define PT_STRING8 static_cast<ULONG>(0x001E)
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

// Object properties.
#ifndef PR_ENTRYID
#define PR_ENTRYID PROP_TAG(PT_BINARY, 0x0FFF)
#endif
#ifndef PR_OBJECT_TYPE
#define PR_OBJECT_TYPE PROP_TAG(PT_LONG, 0x0FFE)
#endif
#ifndef PR_PARENT_ENTRYID
#define PR_PARENT_ENTRYID PROP_TAG(PT_BINARY, 0x0E09)
#endif
#ifndef PR_DISPLAY_NAME_W
#define PR_DISPLAY_NAME_W PROP_TAG(PT_UNICODE, 0x3001)
#endif

// Folders of a store (store properties).
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

// Messages.
#ifndef PR_MESSAGE_CLASS_W
#define PR_MESSAGE_CLASS_W PROP_TAG(PT_UNICODE, 0x001A)
#endif
#ifndef PR_SUBJECT_W
#define PR_SUBJECT_W PROP_TAG(PT_UNICODE, 0x0037)
#endif
#ifndef PR_SENDER_NAME_W
#define PR_SENDER_NAME_W PROP_TAG(PT_UNICODE, 0x0C1A)
#endif
#ifndef PR_SENDER_EMAIL_ADDRESS_W
#define PR_SENDER_EMAIL_ADDRESS_W PROP_TAG(PT_UNICODE, 0x0C1F)
#endif
#ifndef PR_DISPLAY_BCC_W
#define PR_DISPLAY_BCC_W PROP_TAG(PT_UNICODE, 0x0E02)
#endif
#ifndef PR_DISPLAY_CC_W
#define PR_DISPLAY_CC_W PROP_TAG(PT_UNICODE, 0x0E03)
#endif
#ifndef PR_DISPLAY_TO_W
#define PR_DISPLAY_TO_W PROP_TAG(PT_UNICODE, 0x0E04)
#endif
#ifndef PR_MESSAGE_DELIVERY_TIME
#define PR_MESSAGE_DELIVERY_TIME PROP_TAG(PT_SYSTIME, 0x0E06)
#endif
#ifndef PR_MESSAGE_FLAGS
#define PR_MESSAGE_FLAGS PROP_TAG(PT_LONG, 0x0E07)
#endif
#ifndef PR_MESSAGE_SIZE
#define PR_MESSAGE_SIZE PROP_TAG(PT_LONG, 0x0E08)
#endif
#ifndef PR_MSG_STATUS
#define PR_MSG_STATUS PROP_TAG(PT_LONG, 0x0E17)
#endif
#ifndef PR_HASATTACH
#define PR_HASATTACH PROP_TAG(PT_BOOLEAN, 0x0E1B)
#endif
#ifndef PR_BODY_W
#define PR_BODY_W PROP_TAG(PT_UNICODE, 0x1000)
#endif

// Recipients (rows of a recipient table, entries of an ADRLIST).
#ifndef PR_RECIPIENT_TYPE
#define PR_RECIPIENT_TYPE PROP_TAG(PT_LONG, 0x0C15)
#endif
#ifndef PR_ADDRTYPE_W
#define PR_ADDRTYPE_W PROP_TAG(PT_UNICODE, 0x3002)
#endif
#ifndef PR_EMAIL_ADDRESS_W
#define PR_EMAIL_ADDRESS_W PROP_TAG(PT_UNICODE, 0x3003)
#endif
#ifndef PR_ROWID
#define PR_ROWID PROP_TAG(PT_LONG, 0x3000)
#endif

// Attachments. An attachment's PR_MSG_STATUS is its download state.
#ifndef PR_ATTACH_SIZE
#define PR_ATTACH_SIZE PROP_TAG(PT_LONG, 0x0E20)
#endif
#ifndef PR_ATTACH_NUM
#define PR_ATTACH_NUM PROP_TAG(PT_LONG, 0x0E21)
#endif
#ifndef PR_ATTACH_DATA_BIN
#define PR_ATTACH_DATA_BIN PROP_TAG(PT_BINARY, 0x3701)
#endif
#ifndef PR_ATTACH_FILENAME_W
#define PR_ATTACH_FILENAME_W PROP_TAG(PT_UNICODE, 0x3704)
#endif
#ifndef PR_ATTACH_METHOD
#define PR_ATTACH_METHOD PROP_TAG(PT_LONG, 0x3705)
#endif

// PR_ATTACH_METHOD values.
#define NO_ATTACHMENT 0
#define ATTACH_BY_VALUE 1

// PR_MESSAGE_FLAGS bits.
#define MSGFLAG_READ 0x00000001
#define MSGFLAG_UNMODIFIED 0x00000002
#define MSGFLAG_SUBMIT 0x00000004
#define MSGFLAG_UNSENT 0x00000008
#define MSGFLAG_HASATTACH 0x00000010
#define MSGFLAG_FROMME 0x00000020

// PR_MSG_STATUS bit by which the user asks for the rest of a message to be fetched.
#define MSGSTATUS_REMOTE_DOWNLOAD 0x00001000

// PR_RECIPIENT_TYPE values.
#ifndef MAPI_ORIG
#define MAPI_ORIG 0
#endif
#ifndef MAPI_TO
#define MAPI_TO 1
#endif
#ifndef MAPI_CC
#define MAPI_CC 2
#endif
#ifndef MAPI_BCC
#define MAPI_BCC 3
#endif

// ---------------------------------------------------------------------------------------------
// Property values

struct SPropTagArray {
    ULONG cValues;
    ULONG aulPropTag[MAPI_DIM];
};
using LPSPropTagArray = SPropTagArray*;

// A tag array of a fixed count, declared in place: SizedSPropTagArray(2, cols) = {2, {A, B}};
#define SizedSPropTagArray(count, name) \
    struct _SPropTagArray_##name {      \
        ULONG cValues;                  \
        ULONG aulPropTag[count];        \
    } name
#define CbNewSPropTagArray(count) (offsetof(SPropTagArray, aulPropTag) + (count) * sizeof(ULONG))

union _PV {
    SHORT i;      // PT_I2
    LONG l;       // PT_LONG
    ULONG ul;     // PT_LONG
    float flt;    // PT_R4
    double dbl;   // PT_DOUBLE
    USHORT b;     // PT_BOOLEAN
    FILETIME ft;  // PT_SYSTIME
    LPSTR lpszA;  // PT_STRING8
    SBinary bin;  // PT_BINARY
    LPWSTR lpszW; // PT_UNICODE
    LARGE_INTEGER li;  // PT_I8
    SCODE err;    // PT_ERROR
    LONG x;       // PT_NULL, PT_OBJECT
};

struct SPropValue {
    ULONG ulPropTag;
    ULONG dwAlignPad;
    union _PV Value;
};
using LPSPropValue = SPropValue*;

struct SPropProblem {
    ULONG ulIndex;
    ULONG ulPropTag;
    SCODE scode;
};
struct SPropProblemArray {
    ULONG cProblem;
    SPropProblem aProblem[MAPI_DIM];
};
using LPSPropProblemArray = SPropProblemArray*;

// A table row: its values in the table's column order. A column the row lacks comes back as
// PT_ERROR with MAPI_E_NOT_FOUND.
struct SRow {
    ULONG ulAdrEntryPad;
    ULONG cValues;
    LPSPropValue lpProps;
};
using LPSRow = SRow*;

struct SRowSet {
    ULONG cRows;
    SRow aRow[MAPI_DIM];
};
using LPSRowSet = SRowSet*;
#define CbNewSRowSet(count) (offsetof(SRowSet, aRow) + (count) * sizeof(SRow))

// An address list (ModifyRecipients): one entry per recipient, its values in a buffer of its own.
struct ADRENTRY {
    ULONG ulReserved1;
    ULONG cValues;
    LPSPropValue rgPropVals;
};
using LPADRENTRY = ADRENTRY*;

struct ADRLIST {
    ULONG cEntries;
    ADRENTRY aEntries[MAPI_DIM];
};
using LPADRLIST = ADRLIST*;
#define CbNewADRLIST(count) (offsetof(ADRLIST, aEntries) + (count) * sizeof(ADRENTRY))

// ---------------------------------------------------------------------------------------------
// Results

#define MAPI_E_CALL_FAILED E_FAIL
#define MAPI_E_NOT_ENOUGH_MEMORY E_OUTOFMEMORY
#define MAPI_E_INVALID_PARAMETER E_INVALIDARG
#define MAPI_E_INTERFACE_NOT_SUPPORTED E_NOINTERFACE
#define MAPI_E_NO_ACCESS E_ACCESSDENIED
#define MAPI_E_NO_SUPPORT static_cast<HRESULT>(0x80040102L)
#define MAPI_E_BAD_CHARWIDTH static_cast<HRESULT>(0x80040103L)
#define MAPI_E_UNKNOWN_FLAGS static_cast<HRESULT>(0x80040106L)
#define MAPI_E_INVALID_ENTRYID static_cast<HRESULT>(0x80040107L)
#define MAPI_E_INVALID_OBJECT static_cast<HRESULT>(0x80040108L)
#define MAPI_E_OBJECT_DELETED static_cast<HRESULT>(0x8004010AL)
#define MAPI_E_NOT_FOUND static_cast<HRESULT>(0x8004010FL)
#define MAPI_E_LOGON_FAILED static_cast<HRESULT>(0x80040111L)
#define MAPI_E_DISK_ERROR static_cast<HRESULT>(0x80040116L)
#define MAPI_E_CORRUPT_DATA static_cast<HRESULT>(0x8004011BL)
#define MAPI_E_BAD_VALUE static_cast<HRESULT>(0x80040301L)
#define MAPI_E_INVALID_TYPE static_cast<HRESULT>(0x80040302L)
#define MAPI_E_NOT_INITIALIZED static_cast<HRESULT>(0x80040605L)
// GetProps: some requested properties came back as PT_ERROR values.
#define MAPI_W_ERRORS_RETURNED static_cast<HRESULT>(0x00040380L)
// CopyMessages, DeleteMessages: some listed messages were not found in the folder.
#define MAPI_W_PARTIAL_COMPLETION static_cast<HRESULT>(0x00040680L)
#define MAPI_E_COMPUTED static_cast<HRESULT>(0x8004011AL)

// ---------------------------------------------------------------------------------------------
// Flags

// Strings of tables and properties in UTF-16.
#define MAPI_UNICODE 0x80000000
// Open calls: for modification; with the most access allowed; errors may be deferred.
#define MAPI_MODIFY 0x00000001
#define MAPI_DEFERRED_ERRORS 0x00000008
#define MAPI_BEST_ACCESS 0x00000010
// OpenProperty: create the property, discarding any value it had.
#define MAPI_CREATE 0x00000002
// CopyMessages: move instead of copy.
#define MAPI_MOVE 0x00000001

// Object types (PR_OBJECT_TYPE, OpenEntry's object type, notifications).
#define MAPI_STORE 1
#define MAPI_FOLDER 3
#define MAPI_MESSAGE 5
#define MAPI_ATTACH 7

// SaveChanges: writes are durable as they are made; these say how the object stays open.
#define KEEP_OPEN_READONLY 0x00000001
#define KEEP_OPEN_READWRITE 0x00000002
#define FORCE_SAVE 0x00000004

// ModifyRecipients.
#define MODRECIP_ADD 0x00000002
#define MODRECIP_MODIFY 0x00000004
#define MODRECIP_REMOVE 0x00000008

// Table positions (SeekRow) and QueryRows flags.
using BOOKMARK = ULONG_PTR;
#define BOOKMARK_BEGINNING static_cast<BOOKMARK>(0)
#define BOOKMARK_CURRENT static_cast<BOOKMARK>(1)
#define BOOKMARK_END static_cast<BOOKMARK>(2)
#define TBL_NOADVANCE 0x00000001

// ---------------------------------------------------------------------------------------------
// Notifications

#define fnevCriticalError 0x00000001
#define fnevNewMail 0x00000002
#define fnevObjectCreated 0x00000004
#define fnevObjectDeleted 0x00000008
#define fnevObjectModified 0x00000010
#define fnevObjectMoved 0x00000020
#define fnevObjectCopied 0x00000040

// What happened to one object. For a move, lpOldID/lpOldParentID name where it was (a message's
// entry identifier does not change when it moves, so lpOldID equals lpEntryID).
struct OBJECT_NOTIFICATION {
    ULONG cbEntryID;
    LPENTRYID lpEntryID;
    ULONG ulObjType;
    ULONG cbParentID;
    LPENTRYID lpParentID;
    ULONG cbOldID;
    LPENTRYID lpOldID;
    ULONG cbOldParentID;
    LPENTRYID lpOldParentID;
    LPSPropTagArray lpPropTagArray;
};

struct NOTIFICATION {
    ULONG ulEventType;  // one fnev* value
    ULONG ulAlignPad;
    union {
        OBJECT_NOTIFICATION obj;
    } info;
};
using LPNOTIFICATION = NOTIFICATION*;

// ---------------------------------------------------------------------------------------------
// Interfaces

struct IMAPIAdviseSink;
struct IMAPITable;
struct IMAPIProp;
struct IMAPIFolder;
struct IMsgStore;
struct IMessage;
struct IAttach;
struct IMAPISession;
using LPMAPIADVISESINK = IMAPIAdviseSink*;
using LPMAPITABLE = IMAPITable*;
using LPMAPIPROP = IMAPIProp*;
using LPMAPIFOLDER = IMAPIFolder*;
using LPMDB = IMsgStore*;
using LPMESSAGE = IMessage*;
using LPATTACH = IAttach*;
using LPMAPISESSION = IMAPISession*;

DEFINE_GUID(IID_IMAPIAdviseSink, 0x00020302, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x46);
DEFINE_GUID(IID_IMAPITable, 0x00020301, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IMAPIProp, 0x00020303, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IMsgStore, 0x00020306, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IMessage, 0x00020307, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IAttachment, 0x00020308, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IMAPIFolder, 0x0002030C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);

// Receives a store's notifications, on a thread the store keeps for its sinks; one call carries
// one or more notifications, in the order the changes were made.
struct IMAPIAdviseSink : public IUnknown {
    STDMETHOD_(ULONG, OnNotify)(ULONG cNotif, LPNOTIFICATION lpNotifications) PURE;
};

// Rows of a table: the stores of a session, the messages of a folder, the recipients or the
// attachments of a message. The rows are those present when the table was made.
struct IMAPITable : public IUnknown {
    // Chooses the columns (and their order) of the rows QueryRows returns.
    STDMETHOD(SetColumns)(LPSPropTagArray lpPropTagArray, ULONG ulFlags) PURE;
    STDMETHOD(GetRowCount)(ULONG ulFlags, ULONG* lpulCount) PURE;
    // Moves the position lRowCount rows from a bookmark; *lplRowsSought (may be null) answers
    // how many rows it moved.
    STDMETHOD(SeekRow)(BOOKMARK bkOrigin, LONG lRowCount, LONG* lplRowsSought) PURE;
    // Up to lRowCount rows from the position (moving on unless TBL_NOADVANCE); no row left gives
    // a set of 0 rows and S_OK. The set is freed with FreeProws.
    STDMETHOD(QueryRows)(LONG lRowCount, ULONG ulFlags, LPSRowSet* lppRows) PURE;
};

// Properties of an object. Values are written to the store as they are set: SaveChanges is
// accepted and has nothing left to do.
struct IMAPIProp : public IUnknown {
    STDMETHOD(SaveChanges)(ULONG ulFlags) PURE;
    // The listed properties (null list: all the object has) in one MAPIAllocateBuffer block; a
    // listed property the object lacks comes back as PT_ERROR / MAPI_E_NOT_FOUND and the call
    // answers MAPI_W_ERRORS_RETURNED.
    STDMETHOD(GetProps)
    (LPSPropTagArray lpPropTagArray, ULONG ulFlags, ULONG* lpcValues, LPSPropValue* lppPropArray) PURE;
    STDMETHOD(GetPropList)(ULONG ulFlags, LPSPropTagArray* lppPropTagArray) PURE;
    // A stream (IID_IStream) over a PT_BINARY or PT_UNICODE property (a Unicode property's stream
    // holds its UTF-16 text without a terminator). Writing needs MAPI_MODIFY or MAPI_CREATE;
    // MAPI_CREATE (or STGM_CREATE in the interface options) discards what the property held.
    STDMETHOD(OpenProperty)
    (ULONG ulPropTag, LPCIID lpiid, ULONG ulInterfaceOptions, ULONG ulFlags, LPUNKNOWN* lppUnk) PURE;
    STDMETHOD(SetProps)
    (ULONG cValues, LPSPropValue lpPropArray, LPSPropProblemArray* lppProblems) PURE;
    STDMETHOD(DeleteProps)
    (LPSPropTagArray lpPropTagArray, LPSPropProblemArray* lppProblems) PURE;
};

struct IMAPIContainer : public IMAPIProp {
    // The messages of a folder, one row each.
    STDMETHOD(GetContentsTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
};
using LPMAPICONTAINER = IMAPIContainer*;

struct IMAPIFolder : public IMAPIContainer {
    // A new message in this folder, of class "IPM.Note" until PR_MESSAGE_CLASS_W is set.
    STDMETHOD(CreateMessage)(LPCIID lpInterface, ULONG ulFlags, LPMESSAGE* lppMessage) PURE;
    // Copies the listed messages of this folder into lpDestFolder (an IMAPIFolder*), or moves them
    // with MAPI_MOVE; a moved message keeps its entry identifier.
    STDMETHOD(CopyMessages)
    (LPENTRYLIST lpMsgList, LPCIID lpInterface, LPVOID lpDestFolder, ULONG_PTR ulUIParam,
     LPVOID lpProgress, ULONG ulFlags) PURE;
    STDMETHOD(DeleteMessages)
    (LPENTRYLIST lpMsgList, ULONG_PTR ulUIParam, LPVOID lpProgress, ULONG ulFlags) PURE;
};

struct IMsgStore : public IMAPIProp {
    // Registers a sink for the events of ulEventMask on the object lpEntryID names (null: the
    // whole store); *lpulConnection (never 0) ends it through Unadvise.
    STDMETHOD(Advise)
    (ULONG cbEntryID, LPENTRYID lpEntryID, ULONG ulEventMask, LPMAPIADVISESINK lpAdviseSink,
     ULONG* lpulConnection) PURE;
    // Ends a registration; no call reaches its sink after Unadvise returns unless Unadvise runs on
    // the notification thread itself.
    STDMETHOD(Unadvise)(ULONG ulConnection) PURE;
    // *lpulResult TRUE when both identifiers name the same object; MAPI_E_INVALID_ENTRYID when
    // either is no identifier of a store.
    STDMETHOD(CompareEntryIDs)
    (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
     ULONG* lpulResult) PURE;
    // Opens a folder or message of this store (null identifier: the root of its folders).
    STDMETHOD(OpenEntry)
    (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
     LPUNKNOWN* lppUnk) PURE;
};

struct IMessage : public IMAPIProp {
    // One row per attachment: PR_ATTACH_NUM and the attachment's properties.
    STDMETHOD(GetAttachmentTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
    STDMETHOD(OpenAttach)
    (ULONG ulAttachmentNum, LPCIID lpInterface, ULONG ulFlags, LPATTACH* lppAttach) PURE;
    // A new attachment; attachments of a message are numbered 1, 2, … and numbers are not reused.
    STDMETHOD(CreateAttach)
    (LPCIID lpInterface, ULONG ulFlags, ULONG* lpulAttachmentNum, LPATTACH* lppAttach) PURE;
    STDMETHOD(DeleteAttach)
    (ULONG ulAttachmentNum, ULONG_PTR ulUIParam, LPVOID lpProgress, ULONG ulFlags) PURE;
    // One row per recipient: PR_ROWID and the recipient's properties.
    STDMETHOD(GetRecipientTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
    // MODRECIP_ADD appends the entries (each gets a PR_ROWID); MODRECIP_MODIFY replaces the rows
    // of the entries' PR_ROWID; MODRECIP_REMOVE deletes them; no flag replaces every recipient.
    STDMETHOD(ModifyRecipients)(ULONG ulFlags, LPADRLIST lpMods) PURE;
};

// An attachment: PR_ATTACH_NUM, its properties, and its content as the stream of
// PR_ATTACH_DATA_BIN.
struct IAttach : public IMAPIProp {};

struct IMAPISession : public IUnknown {
    // One row per message store of the device: PR_ENTRYID, PR_DISPLAY_NAME_W (the account's
    // name) and PR_OBJECT_TYPE.
    STDMETHOD(GetMsgStoresTable)(ULONG ulFlags, LPMAPITABLE* lppTable) PURE;
    STDMETHOD(OpenMsgStore)
    (ULONG_PTR ulUIParam, ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags,
     LPMDB* lppMDB) PURE;
    // Opens a store, folder or message of any store by its entry identifier.
    STDMETHOD(OpenEntry)
    (ULONG cbEntryID, LPENTRYID lpEntryID, LPCIID lpInterface, ULONG ulFlags, ULONG* lpulObjType,
     LPUNKNOWN* lppUnk) PURE;
    STDMETHOD(CompareEntryIDs)
    (ULONG cbEntryID1, LPENTRYID lpEntryID1, ULONG cbEntryID2, LPENTRYID lpEntryID2, ULONG ulFlags,
     ULONG* lpulResult) PURE;
    // Ends the session; objects opened through it stay usable until released.
    STDMETHOD(Logoff)(ULONG_PTR ulUIParam, ULONG ulFlags, ULONG ulReserved) PURE;
};

// ---------------------------------------------------------------------------------------------
// Calls

// Enters the calling process into the message stores (counted per process; each needs its
// MAPIUninitialize). lpMapiInit is ignored.
HRESULT MAPIInitialize(LPVOID lpMapiInit);
// Leaves them again; the last call of a process ends what it still has open.
void MAPIUninitialize();
// A session over the device's stores; MAPI_E_NOT_INITIALIZED before MAPIInitialize. The
// profile, password and flags are not used on the device.
HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPWSTR lpszProfileName, LPWSTR lpszPassword, FLAGS flFlags,
                    LPMAPISESSION* lppSession);

// A block of cbSize bytes; MAPI_E_NOT_ENOUGH_MEMORY (and *lppBuffer null) when none is left.
SCODE MAPIAllocateBuffer(ULONG cbSize, LPVOID* lppBuffer);
// A block tied to lpObject (a MAPIAllocateBuffer block), freed with it.
SCODE MAPIAllocateMore(ULONG cbSize, LPVOID lpObject, LPVOID* lppBuffer);
// Frees a MAPIAllocateBuffer block and every block tied to it; null is allowed.
ULONG MAPIFreeBuffer(LPVOID pv);
// Frees a row set and the values of each of its rows.
void FreeProws(LPSRowSet prows);
