// The device's Pocket Outlook object model: the application object, folders, item collections,
// contacts and the item property interface, as far as the device parts use them. Item identifiers
// are the CEOIDs of the items' records in their database ("Contacts Database" for contacts).
//
// The interfaces declare the published methods the system calls, in their slot order; each
// derives directly from IUnknown here.
#pragma once

#include <windows.h>

#include "cedb.h"

// The application class and its interfaces.
DEFINE_GUID(CLSID_Application, 0x05058F23, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A,
            0x43, 0x35);
DEFINE_GUID(IID_IPOutlookApp, 0x05058F22, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
            0x35);
DEFINE_GUID(IID_IPOutlookApp2, 0xAF7D0DC7, 0x3D35, 0x424B, 0xAA, 0x60, 0x27, 0xA3, 0x8B, 0x8B, 0x62,
            0x9E);
DEFINE_GUID(IID_IItem, 0xFB8998D0, 0x38F0, 0x4D12, 0xAC, 0x56, 0x4E, 0xC8, 0xFC, 0xE9, 0xF3, 0xD5);
DEFINE_GUID(IID_IFolder, 0x05058F0A, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
            0x35);
DEFINE_GUID(IID_IPOutlookItemCollection, 0xF06748C0, 0x21A5, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8,
            0x7A, 0x43, 0x35);
DEFINE_GUID(IID_IContact, 0x7F804E40, 0x2FC4, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
            0x35);

// Default folders (GetDefaultFolder).
#define olFolderContacts 10

// Item properties. Folder notifications: which changes Pocket Outlook posts to the window the
// application logged on with.
#define PIMPR_FOLDERNOTIFICATIONS static_cast<CEPROPID>(0x10010013)
#define PIMFOLDERNOTIFICATION_REMOTE 0x1
#define PIMFOLDERNOTIFICATION_LOCAL 0x2

// Posted to the logged-on window for changes made by other programs; wParam is the item's
// identifier, lParam its folder (olFolderContacts).
#define PIM_ITEM_CREATED_REMOTE 0x8105
#define PIM_ITEM_DELETED_REMOTE 0x8106
#define PIM_ITEM_CHANGED_REMOTE 0x8107

struct IPOutlookItemCollection;

// An item's properties by CEDB property identifier.
struct IItem : public IUnknown {
    // Reads the listed properties into one buffer (as CeReadRecordPropsEx does).
    STDMETHOD(GetProps)(const CEPROPID* rgPropID, ULONG ulFlags, WORD cProps, CEPROPVAL** prgVals,
                        ULONG* pcbBuffer, HANDLE hHeap) PURE;
    // Sets properties; a folder takes PIMPR_FOLDERNOTIFICATIONS.
    STDMETHOD(SetProps)(const CEPROPVAL* rgVals, WORD cProps) PURE;
};

struct IContact : public IUnknown {
    // The contact's identifier.
    STDMETHOD(get_Oid)(long* poid) PURE;
};

struct IPOutlookItemCollection : public IUnknown {
    // The item at a 1-based position; E_INVALIDARG past the end.
    STDMETHOD(Item)(int iIndex, IUnknown** ppPOOMObj) PURE;
    STDMETHOD(get_Count)(int* pnCount) PURE;
};

struct IFolder : public IUnknown {
    // The folder's items as they are now.
    STDMETHOD(get_Items)(IPOutlookItemCollection** ppolItems) PURE;
};

struct IPOutlookApp : public IUnknown {
    // Starts a session; notifications go to hWnd (0: none).
    STDMETHOD(Logon)(long hWnd) PURE;
    STDMETHOD(Logoff)() PURE;
    STDMETHOD(GetDefaultFolder)(int olFolder, IFolder** ppIFolder) PURE;
    // The item with that identifier; E_INVALIDARG with a null item when there is none.
    STDMETHOD(GetItemFromOid)(long oid, IUnknown** ppPOOMObj) PURE;
};

// The application object of Windows Mobile 5 and later: the same calls, with folder
// notifications to the logged-on window.
struct IPOutlookApp2 : public IPOutlookApp {};
