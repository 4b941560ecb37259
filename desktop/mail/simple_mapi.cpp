#include "simple_mapi.h"

CSimpleMAPI::CSimpleMAPI(LPCSTR libraryPath)
    : m_module(NULL),
      m_sendSession(0),
      m_logon(NULL),
      m_logoff(NULL),
      m_readMail(NULL),
      m_freeBuffer(NULL),
      m_findNext(NULL),
      m_sendMail(NULL),
      m_deleteMail(NULL),
      m_readSession(0) {
    if (libraryPath == NULL || libraryPath[0] == '\0') return;
    // Maps the library into this process; null when the path names no loadable library.
    HMODULE module = LoadLibraryA(libraryPath);
    if (module == NULL) return;

    // Each call is found by its exported name; null when the library lacks it.
    m_logon = reinterpret_cast<LPMAPILOGON>(GetProcAddress(module, "MAPILogon"));
    m_logoff = reinterpret_cast<LPMAPILOGOFF>(GetProcAddress(module, "MAPILogoff"));
    m_readMail = reinterpret_cast<LPMAPIREADMAIL>(GetProcAddress(module, "MAPIReadMail"));
    m_freeBuffer = reinterpret_cast<LPMAPIFREEBUFFER>(GetProcAddress(module, "MAPIFreeBuffer"));
    m_findNext = reinterpret_cast<LPMAPIFINDNEXT>(GetProcAddress(module, "MAPIFindNext"));
    m_sendMail = reinterpret_cast<LPMAPISENDMAIL>(GetProcAddress(module, "MAPISendMail"));
    m_deleteMail = reinterpret_cast<LPMAPIDELETEMAIL>(GetProcAddress(module, "MAPIDeleteMail"));

    // A library without all seven calls would be called through a null pointer later; it is
    // treated as no library at all.
    if (m_logon == NULL || m_logoff == NULL || m_readMail == NULL || m_freeBuffer == NULL ||
        m_findNext == NULL || m_sendMail == NULL || m_deleteMail == NULL) {
        m_logon = NULL;
        m_logoff = NULL;
        m_readMail = NULL;
        m_freeBuffer = NULL;
        m_findNext = NULL;
        m_sendMail = NULL;
        m_deleteMail = NULL;
        // Drops the reference taken above, unloading the library.
        FreeLibrary(module);
        return;
    }
    m_module = module;

    // The logon results are not tested: a session that failed to open stays 0, whatever the
    // library left in the handle, and the operations report what the library answers for it.
    LHANDLE session = 0;
    if (m_logon(0, NULL, NULL, 0, 0, &session) == SUCCESS_SUCCESS) m_sendSession = session;
    session = 0;
    if (m_logon(0, NULL, NULL, 0, 0, &session) == SUCCESS_SUCCESS) m_readSession = session;
}

CSimpleMAPI::~CSimpleMAPI() {
    if (m_module == NULL) return;
    m_logoff(m_readSession, 0, 0, 0);
    m_logoff(m_sendSession, 0, 0, 0);
    // Drops this object's reference to the library.
    FreeLibrary(m_module);
}

ULONG CSimpleMAPI::FindNext(LPCSTR seed, LPSTR id) {
    if (m_module == NULL) return SIMPLE_MAPI_NO_LIBRARY;
    // A null message type walks the interpersonal messages: the Inbox.
    return m_findNext(m_readSession, 0, NULL, const_cast<LPSTR>(seed), 0, 0, id);
}

ULONG CSimpleMAPI::ReadMail(LPCSTR id, FLAGS flags, lpMapiMessage* message) {
    if (m_module == NULL) return SIMPLE_MAPI_NO_LIBRARY;
    return m_readMail(m_readSession, 0, const_cast<LPSTR>(id), flags, 0, message);
}

ULONG CSimpleMAPI::SendMail(HWND window, lpMapiMessage message) {
    if (m_module == NULL) return SIMPLE_MAPI_NO_LIBRARY;
    return m_sendMail(m_sendSession, reinterpret_cast<ULONG_PTR>(window), message, 0, 0);
}

ULONG CSimpleMAPI::DeleteMail(LPCSTR id) {
    if (m_module == NULL) return SIMPLE_MAPI_NO_LIBRARY;
    return m_deleteMail(m_sendSession, 0, const_cast<LPSTR>(id), 0, 0);
}

void CSimpleMAPI::FreeBuffer(LPVOID buffer) {
    if (m_module == NULL || buffer == NULL) return;
    m_freeBuffer(buffer);
}
