// CSimpleMAPI: the desktop's one way into the mail client, through the Simple MAPI library the
// client registers. It loads the library, holds two sessions (one for enumerating and reading,
// one for sending and deleting) and offers the five operations the mail folder, the mail handler
// and the change watch need.
#pragma once

#include <mapi.h>
#include <windows.h>

// The result every operation answers when no usable library is loaded: a failure that is neither
// the end of the messages nor a vanished message.
#define SIMPLE_MAPI_NO_LIBRARY MAPI_E_FAILURE

// Bytes of a message identifier buffer: at most 63 characters and the terminator.
#define SIMPLE_MAPI_ID_SIZE 64

class CSimpleMAPI {
public:
    // Loads the library at `libraryPath` (ANSI, environment strings already expanded), resolves
    // its seven calls and logs on the send session, then the read session. A library that does
    // not load, or lacks one of the calls, leaves the object without a library; a logon that
    // fails leaves its session 0.
    explicit CSimpleMAPI(LPCSTR libraryPath);
    // Logs off the read session, then the send session, and unloads the library.
    virtual ~CSimpleMAPI();
    CSimpleMAPI(const CSimpleMAPI&) = delete;
    CSimpleMAPI& operator=(const CSimpleMAPI&) = delete;

    // Writes the Inbox message after `seed` (empty: the first) into `id` (SIMPLE_MAPI_ID_SIZE
    // bytes). SUCCESS_SUCCESS, MAPI_E_NO_MESSAGES after the last, or another failure.
    ULONG FindNext(LPCSTR seed, LPSTR id);
    // Reads a message; `flags` is MAPI_PEEK | MAPI_ENVELOPE_ONLY (envelope only) or MAPI_PEEK
    // (note text, and attachments in temporary files). MAPI_E_INVALID_MESSAGE when the message
    // no longer exists. A message handed out is released with FreeBuffer.
    ULONG ReadMail(LPCSTR id, FLAGS flags, lpMapiMessage* message);
    // Sends a message without a dialog, parented to `window`.
    ULONG SendMail(HWND window, lpMapiMessage message);
    // Deletes a message from the mail client.
    ULONG DeleteMail(LPCSTR id);
    // Releases a block ReadMail handed out; null is ignored.
    void FreeBuffer(LPVOID buffer);

private:
    HMODULE m_module;
    LHANDLE m_sendSession;
    LPMAPILOGON m_logon;
    LPMAPILOGOFF m_logoff;
    LPMAPIREADMAIL m_readMail;
    LPMAPIFREEBUFFER m_freeBuffer;
    LPMAPIFINDNEXT m_findNext;
    LPMAPISENDMAIL m_sendMail;
    LPMAPIDELETEMAIL m_deleteMail;
    LHANDLE m_readSession;
};
