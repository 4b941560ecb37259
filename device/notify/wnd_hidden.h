// The notification service's one object: the hidden window on the service thread and everything
// the service holds while it runs — the journal volume and journals, the contacts watch, the
// MAPI session with the account's message store and its advise sink, the special folders and the
// two journal locks.
#pragma once

#include <cemapi.h>
#include <windows.h>

#include <vector>

#include "ce_db.h"
#include "ce_db_volume.h"
#include "kt_notification.h"
#include "mail_advise_sink.h"
#include "window_impl.h"

// The account's special folders, in the order the store properties are asked for.
enum SpecialFolder { kFolderRoot = 0, kFolderInbox = 1, kFolderOutbox = 2, kFolderDeleted = 3 };
constexpr int kSpecialFolderCount = 4;

// Where a message lies, as the folder rule needs it.
struct MessageLocation {
    ULONG flags = 0;
    ULONG status = 0;
    int folder = -1;  // kFolderInbox, kFolderOutbox, kFolderDeleted, or -1 for none of them
};

class CWndHidden : public CWindowImpl {
public:
    CWndHidden();
    ~CWndHidden() override;

    // The service thread's body: waits for the shell (or a stop request), creates the window,
    // runs its message loop. `parameter` is the service object.
    static DWORD WINAPI ServiceThread(LPVOID parameter);

    // Starts the service thread; false when it runs already or cannot start.
    bool StartThread();
    // Stops the service thread, whatever it is doing, and waits for it to end.
    void StopThread();

    // Journals a batch of message store notifications under the mail lock (advise sink).
    void OnMailNotify(ULONG count, LPNOTIFICATION notifications);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Window creation and destruction: the service's start-up and shut-down.
    LRESULT StartUp();
    void ShutDown();
    // Ends the MAPI session and frees what it opened.
    void EndMail();

    // Contacts (contacts_watcher.cpp).
    HRESULT PrepareContactsJournal();
    LRESULT ContactChange(UINT message, WPARAM wParam, LPARAM lParam);

    // Mail (mail_watcher.cpp).
    // Opens the session's store of the account named "FriendlyName"; false when there is none.
    bool OpenAccountStore();
    HRESULT PrepareMailJournal();
    // Lists the messages of class "IPM.Note" of one special folder; false when the folder or its
    // contents cannot be read completely.
    bool ListFolderMessages(int folder, std::vector<SBinary>& messages);
    HRESULT LocateMessage(const SBinary& entry, const SBinary* parent, MessageLocation& location);
    CEOID FindMailRecord(const SBinary& entry);
    bool SameEntry(const SBinary& a, const SBinary& b);
    void HandleMailNotification(const NOTIFICATION& notification);
    USHORT FolderRuleState(const MessageLocation& location) const;
    void FreeSpecialFolders();

    CCeDBVolume m_volume;
    CCeDB m_contactsJournal;
    CCeDB m_mailJournal;
    CKTNotification m_contactsWatch;
    LPMAPISESSION m_session = nullptr;
    DWORD m_mapiInitialized = 0;
    LPMDB m_store = nullptr;
    CMailAdviseSink m_adviseSink;
    SBinary m_specialFolders[kSpecialFolderCount] = {};
    ULONG m_adviseConnection = 0;
    HANDLE m_contactsLock = nullptr;
    HANDLE m_mailLock = nullptr;
    HANDLE m_thread = nullptr;
    // Set by StopThread: the service thread gives up waiting for the shell, or closes its window.
    HANDLE m_stop = nullptr;
};

// The module instance, remembered when the DLL is attached.
HINSTANCE NotifyModule();
