// The device half of the synchronization engine's provider interface: the C functions a device
// provider DLL exports, and the records the engine hands them. Device providers work in UTF-16.
//
// Record sizes: the engine fills cbStruct with the published sizes of the 32-bit layout
// (OBJTYPEINFO 384, OBJNOTIFY 780) and providers verify them. OBJNOTIFY holds pointers, so on this
// 64-bit build its sizeof differs from 780; cbStruct always carries the published size.
#pragma once

#include <windows.h>

#include "cedb.h"
#include "replication_types.h"

// Published record sizes (the values cbStruct carries).
#define CBSTRUCT_OBJTYPEINFO 384
#define CBSTRUCT_OBJNOTIFY 780

// OBJNOTIFY uFlags: what the notification is about.
#define ONF_RECORD 0x00000008        // a database record
#define ONF_CHANGED 0x00000010       // the object was created or changed
#define ONF_DELETED 0x00000020       // the object was deleted
#define ONF_CLEAR_CHANGE 0x00000040  // the engine is done with the object for this partnership

// FINDOBJINFO uFlags: the engine is done with the list it was given; the provider frees it.
#define FO_DONE_ONE_VOL 0x00000002

// What the engine asks about one object type (GetObjTypeInfo); the provider fills the rest.
struct OBJTYPEINFO {
    UINT cbStruct;
    OBJTYPENAMEW szObjType;
    UINT uFlags;
    WCHAR szName[80];  // the file or database that holds the objects
    UINT cObjects;
    UINT cbAllObj;
    FILETIME ftLastModified;
};
using POBJTYPEINFO = OBJTYPEINFO*;

// A change the engine saw on the device (ObjectNotify). The provider answers which of its
// objects changed (cOidChg) or were deleted (cOidDel), listed at poid.
struct OBJNOTIFY {
    UINT cbStruct;
    OBJTYPENAMEW szObjType;
    UINT uFlags;
    UINT uPartnerBit;
    CEOID oidObject;
    CEOIDINFO oidInfo;
    UINT cOidChg;
    UINT cOidDel;
    UINT* poid;
    LPBYTE lpbVolumeID;  // the CEGUID of the object's volume, or null
    UINT cbVolumeID;
};
using POBJNOTIFY = OBJNOTIFY*;

// The object list of one type (FindObjects): cUnChg unchanged ids, then cChg changed ones, in
// one block the provider allocates and frees again when called with FO_DONE_ONE_VOL.
struct FINDOBJINFO {
    UINT uFlags;
    OBJTYPENAMEW szObjType;
    UINT* poid;
    UINT cUnChg;
    UINT cChg;
    LPBYTE lpbVolumeID;
    UINT cbVolumeID;
};
using PFINDOBJINFO = FINDOBJINFO*;

// The provider's exports, by the names the engine looks up.
// InitObjType(type, handler out, partner bit 1 or 2); a null type: the provider is to be unloaded.
using PINITOBJTYPE = BOOL (*)(LPWSTR lpszObjType, IReplObjHandler** ppObjHandler, UINT uPartnerBit);
using POBJECTNOTIFY = BOOL (*)(POBJNOTIFY pNotify);
using PGETOBJTYPEINFO = BOOL (*)(POBJTYPEINFO pInfo);
using PFINDOBJECTS = HRESULT (*)(PFINDOBJINFO pFindInfo);
// ReportStatus(type, RSC_* code, parameter).
using PREPORTSTATUS = BOOL (*)(LPWSTR lpszObjType, UINT uCode, UINT uParam);
// The data-request export, "SyncData": a desktop provider's QDC_SYNC_DATA request.
using PSYNCDATA = HRESULT (*)(PSDREQUEST pRequest);
