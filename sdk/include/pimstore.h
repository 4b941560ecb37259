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

// Default folders (GetDefaultFolder) and item classes (CreateItem).
#define olFolderContacts 10
#define olContactItem 2

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

// A date with no value: 1 January 4501.
#define POOM_NO_DATE 949998.0

// The contact's text properties with their property identifiers (identifier in the high 16
// bits, CEVT_LPWSTR in the low ones), in the order IContact declares them.
#define POOM_CONTACT_STRING_PROPERTIES(X)                                                     \
    X(AssistantName, 0x008F001F) X(AssistantTelephoneNumber, 0x00A1001F) X(Body, 0x101F001F)  \
    X(Business2TelephoneNumber, 0x0098001F) X(BusinessAddressCity, 0x00C2001F)               \
    X(BusinessAddressCountry, 0x00C5001F) X(BusinessAddressPostalCode, 0x00C4001F)           \
    X(BusinessAddressState, 0x00C3001F) X(BusinessAddressStreet, 0x00C1001F)                 \
    X(BusinessFaxNumber, 0x009B001F) X(BusinessTelephoneNumber, 0x0097001F)                  \
    X(CarTelephoneNumber, 0x009E001F) X(Categories, 0x101D001F) X(Children, 0x00A6001F)      \
    X(CompanyName, 0x008A001F) X(Department, 0x008B001F) X(Email1Address, 0x0090001F)        \
    X(Email2Address, 0x0091001F) X(Email3Address, 0x0092001F) X(FileAs, 0x0080001F)          \
    X(FirstName, 0x0082001F) X(Home2TelephoneNumber, 0x009A001F)                             \
    X(HomeAddressCity, 0x00D2001F) X(HomeAddressCountry, 0x00D5001F)                         \
    X(HomeAddressPostalCode, 0x00D4001F) X(HomeAddressState, 0x00D3001F)                     \
    X(HomeAddressStreet, 0x00D1001F) X(HomeFaxNumber, 0x009C001F)                            \
    X(HomeTelephoneNumber, 0x0099001F) X(JobTitle, 0x008C001F) X(LastName, 0x0084001F)       \
    X(MiddleName, 0x0083001F) X(MobileTelephoneNumber, 0x0096001F)                           \
    X(OfficeLocation, 0x008E001F) X(OtherAddressCity, 0x00E2001F)                            \
    X(OtherAddressCountry, 0x00E5001F) X(OtherAddressPostalCode, 0x00E4001F)                 \
    X(OtherAddressState, 0x00E3001F) X(OtherAddressStreet, 0x00E1001F)                       \
    X(PagerNumber, 0x009D001F) X(RadioTelephoneNumber, 0x009F001F) X(Spouse, 0x00A5001F)     \
    X(Suffix, 0x0085001F) X(Title, 0x0081001F) X(WebPage, 0x00A7001F)
// The contact's dates (CEVT_FILETIME identifiers); through IContact they are DATEs.
#define POOM_CONTACT_DATE_PROPERTIES(X) X(Anniversary, 0x00F10040) X(Birthday, 0x00F00040)

// An item's properties by CEDB property identifier.
struct IItem : public IUnknown {
    // Reads the listed properties into one buffer (as CeReadRecordPropsEx does: with
    // CEDB_ALLOWREALLOC the buffer is taken from, or grown in, `hHeap`); those the item lacks come
    // back flagged CEDB_PROPNOTFOUND.
    STDMETHOD(GetProps)(const CEPROPID* rgPropID, ULONG ulFlags, WORD cProps, CEPROPVAL** prgVals,
                        ULONG* pcbBuffer, HANDLE hHeap) PURE;
    // Sets properties (CEDB_PROPDELETE removes one); a folder takes PIMPR_FOLDERNOTIFICATIONS.
    // An item keeps them until Save.
    STDMETHOD(SetProps)(const CEPROPVAL* rgVals, WORD cProps) PURE;
    // Stores the item.
    STDMETHOD(Save)() PURE;
};

#define POOM_DECLARE_STRING_PROPERTY(Name, id) \
    STDMETHOD(get_##Name)(BSTR * pbstr) PURE;  \
    STDMETHOD(put_##Name)(BSTR bstr) PURE;
#define POOM_DECLARE_DATE_PROPERTY(Name, id) \
    STDMETHOD(get_##Name)(DATE * pdate) PURE; \
    STDMETHOD(put_##Name)(DATE date) PURE;

// A contact. Text comes out as a new BSTR the caller frees with SysFreeString (null when the
// property is empty); putting a null or empty string empties the property. A date that is not
// set reads as POOM_NO_DATE; putting POOM_NO_DATE removes it. Changes are kept until Save.
struct IContact : public IUnknown {
    // The contact's identifier; 0 until a new contact is saved.
    STDMETHOD(get_Oid)(long* poid) PURE;
    POOM_CONTACT_STRING_PROPERTIES(POOM_DECLARE_STRING_PROPERTY)
    POOM_CONTACT_DATE_PROPERTIES(POOM_DECLARE_DATE_PROPERTY)
    // Stores the contact (a new one gets its identifier); one change notification per call.
    STDMETHOD(Save)() PURE;
    // Deletes the stored contact.
    STDMETHOD(Delete)() PURE;
};

#undef POOM_DECLARE_STRING_PROPERTY
#undef POOM_DECLARE_DATE_PROPERTY

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
    // A new, unsaved item of a class (olContactItem), as its IContact.
    STDMETHOD(CreateItem)(int olItem, IUnknown** ppPOOMObj) PURE;
};

// The application object of Windows Mobile 5 and later: the same calls, with folder
// notifications to the logged-on window and items as IItem.
struct IPOutlookApp2 : public IPOutlookApp {
    // The item with that identifier as its IItem (dwFlags 0); E_INVALIDARG when there is none.
    STDMETHOD(GetItemFromOidEx)(long oidPIM, DWORD dwFlags, IItem** ppItem) PURE;
};
