// Types and constants of the synchronization engine shared by the desktop and the device halves:
// object type names, object ids, the per-object setup record, data requests, status and
// notification codes, and the engine's result codes.
//
// Desktop providers work in ANSI, device providers in UTF-16: the records that carry text have an
// A form (CHAR) and a W form (WCHAR), and the unsuffixed name follows UNICODE.
#pragma once

#include <windows.h>

// Longest object type name, terminator included ("Message", "Address", …).
#define MAX_OBJTYPE_NAME 100
using OBJTYPENAMEA = CHAR[MAX_OBJTYPE_NAME];
using OBJTYPENAMEW = WCHAR[MAX_OBJTYPE_NAME];

// An object id on the device (a CEOID).
using OBJID = DWORD;

// Opaque object handles a desktop store hands out: every folder and item handle is an HREPLOBJ.
struct REPLOBJECT;
using HREPLOBJ = REPLOBJECT*;
using HREPLITEM = HREPLOBJ;
using HREPLFLD = HREPLOBJ;

struct IReplNotify;
struct IReplStore;

// ReportStatus codes (desktop IReplStore::ReportStatus and the device ReportStatus export).
#define RSC_BEGIN_SYNC 1
#define RSC_END_SYNC 2
#define RSC_BEGIN_CHECK 3
#define RSC_END_CHECK 4
#define RSC_DATE_CHANGED 5
#define RSC_RELEASE 6
#define RSC_REMOTE_SYNC 7
#define RSC_INTERRUPT 8
#define RSC_BEGIN_SYNC_OBJ 9
#define RSC_END_SYNC_OBJ 10
#define RSC_OBJ_TYPE_ENABLED 11
#define RSC_OBJ_TYPE_DISABLED 12

// REPLSETUP dwFlags.
#define RSF_CONFLICT_OBJECT 0x00000001
#define RSF_NEW_OBJECT 0x00000002
// Set with RSF_NEW_OBJECT while the first synchronization of a partnership combines the two sides.
#define RSF_COMBINE_OBJECT 0x00000008

// IReplNotify::OnItemNotify codes.
#define RNC_CREATED 1
#define RNC_MODIFIED 2
#define RNC_DELETED 3

// Results of the engine's calls. Success codes:
#define RWRN_LAST_PACKET static_cast<HRESULT>(0x00140001L)  // GetPacket: this was the last one
// Failures:
#define RERR_CANCEL static_cast<HRESULT>(0x80140003L)          // the user cancelled a dialog
#define RERR_RESTART static_cast<HRESULT>(0x80140004L)         // duplicates removed: compare again
#define RERR_IGNORE static_cast<HRESULT>(0x80140005L)          // no conflict: apply both changes
#define RERR_OBJECT_DELETED static_cast<HRESULT>(0x80140007L)  // object gone or out of scope
#define RERR_BAD_OBJECT static_cast<HRESULT>(0x80140008L)      // object cannot be read
#define RERR_DISCARD static_cast<HRESULT>(0x80140011L)         // SetPacket: delete the device copy
#define RERR_SKIP_OBJECT static_cast<HRESULT>(0x80140012L)     // SetPacket: keep it changed, retry
#define RERR_GET_PACKET_FAILED static_cast<HRESULT>(0x80140101L)  // GetPacket could not build it

// What one object operation is about: filled by the engine and given to the object handler's
// Setup, Reset and DeleteObj. The store, folder and item fields are the desktop's; the object ids
// are the device's.
struct REPLSETUPA {
    UINT cbStruct;
    BOOL fRead;  // TRUE: GetPacket follows; FALSE: SetPacket or DeleteObj
    DWORD dwFlags;
    HRESULT hr;
    OBJTYPENAMEA szObjType;
    IReplNotify* pNotify;
    OBJID oid;
    OBJID oidNew;  // out: the id of an object the handler created
    IReplStore* pStore;
    HREPLFLD hFolder;
    HREPLITEM hItem;  // in/out: a handler that creates an item stores it here
};
struct REPLSETUPW {
    UINT cbStruct;
    BOOL fRead;
    DWORD dwFlags;
    HRESULT hr;
    OBJTYPENAMEW szObjType;
    IReplNotify* pNotify;
    OBJID oid;
    OBJID oidNew;
    IReplStore* pStore;
    HREPLFLD hFolder;
    HREPLITEM hItem;
};

// A custom data request from a desktop provider to the device provider of the same object type
// (IReplNotify::QueryDevice with QDC_SYNC_DATA). For a get request (fSet FALSE) the reply data
// comes back in lpData / cbData; on the desktop it is a GlobalAlloc block the caller frees with
// GlobalFree.
struct SDREQUESTA {
    OBJTYPENAMEA szObjType;
    BOOL fSet;
    UINT uCode;
    LPBYTE lpData;
    UINT cbData;
};
struct SDREQUESTW {
    OBJTYPENAMEW szObjType;
    BOOL fSet;
    UINT uCode;
    LPBYTE lpData;
    UINT cbData;
};

#ifdef UNICODE
using REPLSETUP = REPLSETUPW;
using SDREQUEST = SDREQUESTW;
#else
using REPLSETUP = REPLSETUPA;
using SDREQUEST = SDREQUESTA;
#endif
using PREPLSETUP = REPLSETUP*;
using PSDREQUEST = SDREQUEST*;

DEFINE_GUID(IID_IReplObjHandler, 0xA417BC10, 0x7BE1, 0x11CE, 0xAD, 0x82, 0x00, 0xAA, 0x00, 0x6E,
            0xC5, 0x59);

// Turns one object into packets and back.
struct IReplObjHandler : public IUnknown {
    STDMETHOD(Setup)(REPLSETUP* pSetup) PURE;
    STDMETHOD(Reset)(REPLSETUP* pSetup) PURE;
    // Next packet of the object being read; RWRN_LAST_PACKET with the last one.
    STDMETHOD(GetPacket)(LPBYTE* lppbData, DWORD* pcbData, DWORD cbRecommend) PURE;
    STDMETHOD(SetPacket)(LPBYTE lpbData, DWORD cbData) PURE;
    STDMETHOD(DeleteObj)(REPLSETUP* pSetup) PURE;
};
