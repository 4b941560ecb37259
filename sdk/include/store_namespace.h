// The desktop mail client's store-notification interface: a store namespace (IStoreNamespace)
// opened in-process through COM, whose special folders (IStoreFolder) post window messages about
// their messages to every window registered with them.
//
// Only the calls programs of this system make are declared by name; the interfaces' other slots
// are reserved placeholders (a caller never uses them; the client answers E_NOTIMPL), kept so
// that every named call sits at its slot.
//
// Messages posted to a registered window, with their wParam:
//   STORE_NOTIFY_NEW_MESSAGE      the new message's identifier
//   STORE_NOTIFY_DELETED          pointer to the deleted message's identifier (a STOREMSGID)
//   STORE_NOTIFY_MARKED_READ      STORE_NOTIFY_ALL_MESSAGES when every message of the folder was
//   STORE_NOTIFY_MARKED_UNREAD    marked, else pointer to the marked message's identifier
// The client keeps each identifier a pointer names valid at least until the window unregisters.
// Identifiers are the same numbers Simple MAPI gives the messages as decimal text.
#pragma once

#include <windows.h>

DEFINE_GUID(CLSID_StoreNamespace, 0xE70C92A9, 0x4BFD, 0x11D1, 0x8A, 0x95, 0x00, 0xC0, 0x4F, 0xB9,
            0x51, 0xF3);
DEFINE_GUID(IID_IStoreNamespace, 0xE70C92AA, 0x4BFD, 0x11D1, 0x8A, 0x95, 0x00, 0xC0, 0x4F, 0xB9,
            0x51, 0xF3);
DEFINE_GUID(IID_IStoreFolder, 0xBF7F4EDF, 0x7CA5, 0x422B, 0xB0, 0x54, 0x07, 0x71, 0x36, 0xC1, 0x8C,
            0x6A);

// A message identifier as the notifications carry it.
typedef ULONG_PTR STOREMSGID;

// Special folders OpenSpecialFolder opens.
#define STORE_FOLDER_INBOX 0

// Window messages posted to registered windows.
#define STORE_NOTIFY_NEW_MESSAGE 0x0A72
#define STORE_NOTIFY_DELETED 0x0A73
#define STORE_NOTIFY_MARKED_READ 0x0A75
#define STORE_NOTIFY_MARKED_UNREAD 0x0A76
// wParam of a marking message that concerns every message of the folder.
#define STORE_NOTIFY_ALL_MESSAGES 0xFFFFFFFFu

struct IStoreFolder;

struct IStoreNamespace : public IUnknown {
    // Slot 3. Opens the namespace for a program whose main window is hwndOwner (may be null);
    // dwReserved must be 0. Every other call needs it first (E_UNEXPECTED otherwise).
    STDMETHOD(Initialize)(HWND hwndOwner, DWORD dwReserved) PURE;
    STDMETHOD(Reserved4)() PURE;
    // Slot 5. Opens a special folder (STORE_FOLDER_INBOX); *ppFolder holds one reference.
    STDMETHOD(OpenSpecialFolder)(LONG sfType, DWORD dwReserved, IStoreFolder** ppFolder) PURE;
};

struct IStoreFolder : public IUnknown {
    STDMETHOD(Reserved3)() PURE;
    STDMETHOD(Reserved4)() PURE;
    STDMETHOD(Reserved5)() PURE;
    STDMETHOD(Reserved6)() PURE;
    STDMETHOD(Reserved7)() PURE;
    STDMETHOD(Reserved8)() PURE;
    STDMETHOD(Reserved9)() PURE;
    STDMETHOD(Reserved10)() PURE;
    STDMETHOD(Reserved11)() PURE;
    STDMETHOD(Reserved12)() PURE;
    STDMETHOD(Reserved13)() PURE;
    STDMETHOD(Reserved14)() PURE;
    STDMETHOD(Reserved15)() PURE;
    STDMETHOD(Reserved16)() PURE;
    // Slot 17. From now on the folder's changes are posted to hwnd (dwReserved must be 0).
    STDMETHOD(RegisterNotification)(DWORD dwReserved, HWND hwnd) PURE;
    // Slot 18. Ends the posting to hwnd.
    STDMETHOD(UnregisterNotification)(DWORD dwReserved, HWND hwnd) PURE;
};
