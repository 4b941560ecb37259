// CWndHidden: the mail folder's hidden change-watch window. It registers with the mail client's
// store for notifications about the Inbox and turns each one into an IReplNotify OnItemNotify call
// with a freshly built mail item, so that the engine learns of desktop mail changes as they happen.
//
// The window lives on the thread that creates it (the engine's store thread), whose message loop
// dispatches the notifications between store calls; it takes no lock.
#pragma once

#include <store_namespace.h>
#include <windows.h>

class CMailFolder;
class CMailItem;

class CWndHidden {
public:
    CWndHidden();
    ~CWndHidden() = default;
    CWndHidden(const CWndHidden&) = delete;
    CWndHidden& operator=(const CWndHidden&) = delete;

    // Creates the invisible popup window "Message" (no parent, empty rectangle) from a class of
    // its own, registered on first use. While it is created it opens the mail client's store
    // namespace, the Inbox, and registers for the Inbox's notifications; a step that fails leaves
    // the later ones undone, and the window exists in any case. m_owner must be set first.
    // FALSE when the window itself cannot be made.
    BOOL Create();
    // Destroys the window: it unregisters from the Inbox, then releases the folder and the
    // namespace. Nothing when the window does not exist.
    void Destroy();

    HWND m_hWnd;
    IStoreNamespace* m_namespace;
    IStoreFolder* m_inbox;
    CMailFolder* m_owner;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate();
    void OnDestroy();
    // Reads the message's envelope and reports it with `code`; nothing when it cannot be read.
    void NotifyMessage(UINT code, ULONGLONG id);
    // Reports every message the folder's enumeration delivers as modified.
    void NotifyEveryItem();
    // Reports a deleted message by its identifier alone.
    void NotifyDeleted(ULONGLONG id);
    // Hands `item` to the engine; TRUE when the engine took it (it is then the engine's).
    BOOL Notify(UINT code, CMailItem* item);
};
