// The desktop half of the synchronization engine's provider interface: the store a provider
// implements (IReplStore), its per-type object handlers (IReplObjHandler), the engine's callback
// (IReplNotify), and the records they exchange. Desktop providers work in ANSI.
//
// Record sizes: the engine fills cbStruct with the published sizes of the 32-bit layout
// (STOREINFO 480, OBJUIDATA 692, CONFINFO 1240) and providers verify them. On this 64-bit build
// the pointers and handles are wider, so sizeof differs from those values; cbStruct always
// carries the published size, never sizeof.
#pragma once

#include <windows.h>

#include "replication_types.h"

// Published record sizes (the values cbStruct carries).
#define CBSTRUCT_STOREINFO 480
#define CBSTRUCT_OBJUIDATA 692
#define CBSTRUCT_CONFINFO 1240

DEFINE_GUID(IID_IReplStore, 0xA417BC0F, 0x7BE1, 0x11CE, 0xAD, 0x82, 0x00, 0xAA, 0x00, 0x6E, 0xC5,
            0x59);
DEFINE_GUID(IID_IReplNotify, 0xA417BC11, 0x7BE1, 0x11CE, 0xAD, 0x82, 0x00, 0xAA, 0x00, 0x6E, 0xC5,
            0x59);
DEFINE_GUID(IID_IEnumReplItem, 0xA417BC12, 0x7BE1, 0x11CE, 0xAD, 0x82, 0x00, 0xAA, 0x00, 0x6E, 0xC5,
            0x59);

// IReplStore::Initialize flags.
#define ISF_SELECTED_DEVICE 0x00000001   // the store serves the partnership selected in the UI
#define ISF_REMOTE_CONNECTED 0x00000002  // connected remotely: no user interface may be shown

// STOREINFO uFlags.
#define SCF_SINGLE_THREAD 0x00000001  // every store call comes on one thread
#define SCF_SIMULATE_RTS 0x00000002   // the engine polls IsFolderChanged every uTimerRes ms

// IReplNotify::QueryDevice codes.
#define QDC_SEL_DEVICE_KEY 3  // *ppResult: HKEY of the selected partnership (caller closes it)
#define QDC_CON_DEVICE_KEY 4  // *ppResult: HKEY of the connected partnership (caller closes it)
#define QDC_SYNC_DATA 5       // ppResult is the SDREQUESTA itself, answered in place

// IReplStore::ActivateDialog codes.
#define OBJTYPE_DLG_OPTIONS 0

// What a store tells the engine about itself (GetStoreInfo).
struct STOREINFO {
    UINT cbStruct;  // 480
    UINT uFlags;    // SCF_*
    CHAR szProgId[256];
    CHAR szStoreDesc[200];
    UINT uTimerRes;     // ms between IsFolderChanged polls with SCF_SIMULATE_RTS
    UINT cbMaxStoreId;  // size of lpbStoreId
    UINT cbStoreId;     // out: size of the store identifier
    LPBYTE lpbStoreId;  // out: the store identifier
};
using PSTOREINFO = STOREINFO*;

// What the engine shows for an object type (GetObjTypeUIData).
struct OBJUIDATA {
    UINT cbStruct;  // 692
    HICON hIconLarge;
    HICON hIconSmall;
    CHAR szName[MAX_PATH];
    CHAR szSyncText[MAX_PATH];
    CHAR szTypeText[80];
    CHAR szPlTypeText[80];
};
using POBJUIDATA = OBJUIDATA*;

// A conflict between a desktop item and the device's copy (GetConflictInfo).
struct CONFINFO {
    UINT cbStruct;  // 1240
    HREPLFLD hFolder;
    HREPLITEM hLocalItem;
    HREPLITEM hRemoteItem;
    OBJTYPENAMEA szLocalName;
    CHAR szLocalDesc[512];
    OBJTYPENAMEA szRemoteName;
    CHAR szRemoteDesc[512];
};
using PCONFINFO = CONFINFO*;

// The engine's callback, given to IReplStore::Initialize.
struct IReplNotify : public IUnknown {
    // Shows a line of status text in the engine's window.
    STDMETHOD(SetStatusText)(LPSTR lpszText) PURE;
    // The engine's window, owner of any window the provider shows (uFlags: 0).
    STDMETHOD_(HWND, GetWindow)(UINT uFlags) PURE;
    // Reports a change of an item the store found itself (RNC_*); the engine takes the item.
    STDMETHOD(OnItemNotify)
    (UINT uCode, LPSTR lpszProgId, LPSTR lpszName, HREPLITEM hItem, ULONG ulFlags) PURE;
    // Asks about the device (QDC_*).
    STDMETHOD(QueryDevice)(UINT uCode, LPVOID* ppResult) PURE;
};

// Walks the items a dialog is about (ActivateDialog).
struct IEnumReplItem : public IUnknown {
    STDMETHOD(Next)(ULONG celt, HREPLITEM* phItem, ULONG* pceltFetched) PURE;
    STDMETHOD(Skip)(ULONG celt) PURE;
    STDMETHOD(Reset)() PURE;
    STDMETHOD(Clone)(IEnumReplItem** ppenum) PURE;
    STDMETHOD_(HREPLFLD, GetFolderHandle)() PURE;
};

// The store a desktop provider implements; slots in this order.
struct IReplStore : public IUnknown {
    STDMETHOD(Initialize)(IReplNotify* pNotify, UINT uFlags) PURE;
    STDMETHOD(GetStoreInfo)(PSTOREINFO pStoreInfo) PURE;
    STDMETHOD(ReportStatus)(HREPLFLD hFolder, HREPLITEM hItem, UINT uStatus, UINT uParam) PURE;
    STDMETHOD_(int, CompareStoreIDs)(LPBYTE lpbID1, UINT cbID1, LPBYTE lpbID2, UINT cbID2) PURE;
    STDMETHOD_(int, CompareItem)(HREPLITEM hItem1, HREPLITEM hItem2) PURE;
    STDMETHOD_(BOOL, IsItemChanged)(HREPLFLD hFolder, HREPLITEM hItem, HREPLITEM hItemComp) PURE;
    STDMETHOD_(BOOL, IsItemReplicated)(HREPLFLD hFolder, HREPLITEM hItem) PURE;
    STDMETHOD_(void, UpdateItem)(HREPLFLD hFolder, HREPLITEM hItemDst, HREPLITEM hItemSrc) PURE;
    STDMETHOD(GetFolderInfo)(LPSTR lpszObjType, HREPLFLD* phFolder, IUnknown** ppObjHandler) PURE;
    STDMETHOD(IsFolderChanged)(HREPLFLD hFolder, BOOL* pfChanged) PURE;
    STDMETHOD(FindFirstItem)(HREPLFLD hFolder, HREPLITEM* phItem, BOOL* pfExist) PURE;
    STDMETHOD(FindNextItem)(HREPLFLD hFolder, HREPLITEM* phItem, BOOL* pfExist) PURE;
    STDMETHOD(FindItemClose)(HREPLFLD hFolder) PURE;
    // Size of the object's bytes; a null lpb asks only the size.
    STDMETHOD_(UINT, ObjectToBytes)(HREPLOBJ hObject, LPBYTE lpb) PURE;
    STDMETHOD_(HREPLOBJ, BytesToObject)(LPBYTE lpb, UINT cb) PURE;
    STDMETHOD_(void, FreeObject)(HREPLOBJ hObject) PURE;
    STDMETHOD_(BOOL, CopyObject)(HREPLOBJ hObjectSrc, HREPLOBJ hObjectDst) PURE;
    STDMETHOD(IsValidObject)(HREPLFLD hFolder, HREPLITEM hItem, UINT uFlags) PURE;
    STDMETHOD(ActivateDialog)
    (UINT uDialog, HWND hwndParent, HREPLFLD hFolder, IEnumReplItem* penum) PURE;
    STDMETHOD(GetObjTypeUIData)(HREPLFLD hFolder, POBJUIDATA pData) PURE;
    STDMETHOD(GetConflictInfo)(PCONFINFO pConfInfo) PURE;
    STDMETHOD(RemoveDuplicates)(LPSTR lpszObjType, UINT uFlags) PURE;
};
