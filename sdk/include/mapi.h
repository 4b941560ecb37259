// Simple MAPI: the messaging calls a mail client publishes in its Simple MAPI library, with the
// message, recipient and attachment blocks they exchange. Text is ANSI (the desktop's code page).
// A caller loads the library at run time and resolves each call by its name ("MAPILogon", …)
// into the matching function-pointer type below.
#pragma once

#include <windows.h>

typedef ULONG FLAGS;
// A Simple MAPI session.
typedef ULONG_PTR LHANDLE;
typedef LHANDLE* LPLHANDLE;

// A file attachment. lpszPathName is the file holding the content (for a message read, a
// temporary file the library wrote); lpszFileName the name the recipient sees (null: the file
// name of lpszPathName); nPosition where the attachment sits in the note text (-1: nowhere).
typedef struct {
    ULONG ulReserved;
    ULONG flFlags;
    ULONG nPosition;
    LPSTR lpszPathName;
    LPSTR lpszFileName;
    LPVOID lpFileType;
} MapiFileDesc, *lpMapiFileDesc;

// flFlags of a MapiFileDesc.
#define MAPI_OLE 0x00000001
#define MAPI_OLE_STATIC 0x00000002

// A recipient, or the originator of a message.
typedef struct {
    ULONG ulReserved;
    ULONG ulRecipClass;
    LPSTR lpszName;
    LPSTR lpszAddress;
    ULONG ulEIDSize;
    LPVOID lpEntryID;
} MapiRecipDesc, *lpMapiRecipDesc;

// ulRecipClass.
#define MAPI_ORIG 0
#define MAPI_TO 1
#define MAPI_CC 2
#define MAPI_BCC 3

// A message. lpszDateReceived is "YYYY/MM/DD HH:MM" in local time.
typedef struct {
    ULONG ulReserved;
    LPSTR lpszSubject;
    LPSTR lpszNoteText;
    LPSTR lpszMessageType;
    LPSTR lpszDateReceived;
    LPSTR lpszConversationID;
    FLAGS flFlags;
    lpMapiRecipDesc lpOriginator;
    ULONG nRecipCount;
    lpMapiRecipDesc lpRecips;
    ULONG nFileCount;
    lpMapiFileDesc lpFiles;
} MapiMessage, *lpMapiMessage;

// flFlags of a MapiMessage.
#define MAPI_UNREAD 0x00000001
#define MAPI_RECEIPT_REQUESTED 0x00000002
#define MAPI_SENT 0x00000004

// MAPILogon flags.
#define MAPI_LOGON_UI 0x00000001
#define MAPI_NEW_SESSION 0x00000002
#define MAPI_FORCE_DOWNLOAD 0x00001000
#define MAPI_PASSWORD_UI 0x00020000
// MAPISendMail flags.
#define MAPI_DIALOG 0x00000008
// MAPIFindNext flags.
#define MAPI_UNREAD_ONLY 0x00000020
#define MAPI_GUARANTEE_FIFO 0x00000100
#define MAPI_LONG_MSGID 0x00004000
// MAPIReadMail flags.
#define MAPI_ENVELOPE_ONLY 0x00000040
#define MAPI_PEEK 0x00000080
#define MAPI_BODY_AS_FILE 0x00000200
#define MAPI_SUPPRESS_ATTACH 0x00000800

// Results.
#define SUCCESS_SUCCESS 0
#define MAPI_USER_ABORT 1
#define MAPI_E_USER_ABORT MAPI_USER_ABORT
#define MAPI_E_FAILURE 2
#define MAPI_E_LOGON_FAILURE 3
#define MAPI_E_LOGIN_FAILURE MAPI_E_LOGON_FAILURE
#define MAPI_E_DISK_FULL 4
#define MAPI_E_INSUFFICIENT_MEMORY 5
#define MAPI_E_ACCESS_DENIED 6
#define MAPI_E_TOO_MANY_SESSIONS 8
#define MAPI_E_TOO_MANY_FILES 9
#define MAPI_E_TOO_MANY_RECIPIENTS 10
#define MAPI_E_ATTACHMENT_NOT_FOUND 11
#define MAPI_E_ATTACHMENT_OPEN_FAILURE 12
#define MAPI_E_ATTACHMENT_WRITE_FAILURE 13
#define MAPI_E_UNKNOWN_RECIPIENT 14
#define MAPI_E_BAD_RECIPTYPE 15
#define MAPI_E_NO_MESSAGES 16
#define MAPI_E_INVALID_MESSAGE 17
#define MAPI_E_TEXT_TOO_LARGE 18
#define MAPI_E_INVALID_SESSION 19
#define MAPI_E_TYPE_NOT_SUPPORTED 20
#define MAPI_E_AMBIGUOUS_RECIPIENT 21
#define MAPI_E_MESSAGE_IN_USE 22
#define MAPI_E_NETWORK_FAILURE 23
#define MAPI_E_INVALID_EDITFIELDS 24
#define MAPI_E_INVALID_RECIPS 25
#define MAPI_E_NOT_SUPPORTED 26

// The calls, as resolved from the library. ulUIParam is the parent window (0: none).
// Opens a session.
typedef ULONG (*LPMAPILOGON)(ULONG_PTR ulUIParam, LPSTR lpszProfileName, LPSTR lpszPassword,
                             FLAGS flFlags, ULONG ulReserved, LPLHANDLE lplhSession);
// Closes a session.
typedef ULONG (*LPMAPILOGOFF)(LHANDLE lhSession, ULONG_PTR ulUIParam, FLAGS flFlags,
                              ULONG ulReserved);
// Writes the identifier of the message after the seed (null or empty seed: the first) into
// lpszMessageID: 64 bytes, or 512 with MAPI_LONG_MSGID. MAPI_E_NO_MESSAGES after the last.
typedef ULONG (*LPMAPIFINDNEXT)(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageType,
                                LPSTR lpszSeedMessageID, FLAGS flFlags, ULONG ulReserved,
                                LPSTR lpszMessageID);
// Reads a message into one block that the library allocates and MAPIFreeBuffer releases.
typedef ULONG (*LPMAPIREADMAIL)(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageID,
                                FLAGS flFlags, ULONG ulReserved, lpMapiMessage* lppMessage);
// Releases a block the library handed out.
typedef ULONG (*LPMAPIFREEBUFFER)(LPVOID pv);
// Sends a message.
typedef ULONG (*LPMAPISENDMAIL)(LHANDLE lhSession, ULONG_PTR ulUIParam, lpMapiMessage lpMessage,
                                FLAGS flFlags, ULONG ulReserved);
// Deletes a message.
typedef ULONG (*LPMAPIDELETEMAIL)(LHANDLE lhSession, ULONG_PTR ulUIParam, LPSTR lpszMessageID,
                                  FLAGS flFlags, ULONG ulReserved);
