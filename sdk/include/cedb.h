// The device's property databases: volumes (the object store and mounted volume files),
// databases with up to four sort orders, records of typed properties, and change notifications
// posted to the windows that ask for them.
#pragma once

#include <windows.h>

#include <cstring>

#ifndef ERROR_SEEK
#define ERROR_SEEK 25L
#endif
#ifndef ERROR_DUP_NAME
#define ERROR_DUP_NAME 52L
#endif

// Creation dispositions of CeMountDBVol (the file-creation values).
#ifndef CREATE_NEW
#define CREATE_NEW 1
#endif
#ifndef CREATE_ALWAYS
#define CREATE_ALWAYS 2
#endif
#ifndef OPEN_EXISTING
#define OPEN_EXISTING 3
#endif
#ifndef OPEN_ALWAYS
#define OPEN_ALWAYS 4
#endif

// Identifier of a database or record; 0 is never an object.
using CEOID = DWORD;
using PCEOID = CEOID*;

// Identifier of a mounted volume. All zero: the object store; all ones: no volume.
struct CEGUID {
    DWORD Data1;
    DWORD Data2;
    DWORD Data3;
    DWORD Data4;
};
using PCEGUID = CEGUID*;

#define CREATE_SYSTEMGUID(pguid) (std::memset((pguid), 0, sizeof(CEGUID)))
#define CREATE_INVALIDGUID(pguid) (std::memset((pguid), 0xFF, sizeof(CEGUID)))
#define CHECK_SYSTEMGUID(pguid) \
    (!((pguid)->Data1 | (pguid)->Data2 | (pguid)->Data3 | (pguid)->Data4))
#define CHECK_INVALIDGUID(pguid) \
    (!static_cast<DWORD>(~((pguid)->Data1 & (pguid)->Data2 & (pguid)->Data3 & (pguid)->Data4)))

// A property identifier: the property's id in the high word, its value type in the low word.
using CEPROPID = DWORD;
using PCEPROPID = CEPROPID*;
#define TypeFromPropID(propid) LOWORD(propid)

// Value types.
#define CEVT_I2 2
#define CEVT_I4 3
#define CEVT_R8 5
#define CEVT_BOOL 11
#define CEVT_UI2 18
#define CEVT_UI4 19
#define CEVT_LPWSTR 31
#define CEVT_FILETIME 64
#define CEVT_BLOB 65

struct CEBLOB {
    DWORD dwCount;
    LPBYTE lpb;
};

union CEVALUNION {
    SHORT iVal;
    USHORT uiVal;
    LONG lVal;
    ULONG ulVal;
    FILETIME filetime;
    LPWSTR lpwstr;
    CEBLOB blob;
    BOOL boolVal;
    double dblVal;
};

// Property value flags: a requested property the record lacks; a property to remove on write.
#define CEDB_PROPNOTFOUND 0x0100
#define CEDB_PROPDELETE 0x0200

struct CEPROPVAL {
    CEPROPID propid;
    WORD wLenData;
    WORD wFlags;
    CEVALUNION val;
};
using PCEPROPVAL = CEPROPVAL*;

#define CEDB_MAXDBASENAMELEN 32
#define CEDB_MAXSORTORDER 4

struct SORTORDERSPEC {
    CEPROPID propid;
    DWORD dwFlags;
};

// Which members of a CEDBASEINFO are meaningful.
#define CEDB_VALIDNAME 0x0001
#define CEDB_VALIDTYPE 0x0002
#define CEDB_VALIDSORTSPEC 0x0004
#define CEDB_VALIDMODTIME 0x0008
#define CEDB_VALIDDBFLAGS 0x0010
#define CEDB_VALIDCREATE (CEDB_VALIDNAME | CEDB_VALIDTYPE | CEDB_VALIDSORTSPEC | CEDB_VALIDDBFLAGS)
#define CEDB_NOCOMPRESS 0x00010000

struct CEDBASEINFO {
    DWORD dwFlags;
    WCHAR szDbaseName[CEDB_MAXDBASENAMELEN];
    DWORD dwDbaseType;
    WORD wNumRecords;
    WORD wNumSortOrder;
    DWORD dwSize;
    FILETIME ftLastModified;
    SORTORDERSPEC rgSortSpecs[CEDB_MAXSORTORDER];
};
using PCEDBASEINFO = CEDBASEINFO*;

struct CEFILEINFO {
    DWORD dwAttributes;
    CEOID oidParent;
    WCHAR szFileName[MAX_PATH];
    FILETIME ftLastChanged;
    DWORD dwLength;
};

struct CEDIRINFO {
    DWORD dwAttributes;
    CEOID oidParent;
    WCHAR szDirName[MAX_PATH];
};

struct CERECORDINFO {
    CEOID oidParent;
};

#define OBJTYPE_INVALID 0
#define OBJTYPE_FILE 1
#define OBJTYPE_DIRECTORY 2
#define OBJTYPE_DATABASE 3
#define OBJTYPE_RECORD 4

struct CEOIDINFO {
    WORD wObjType;
    WORD wPad;
    union {
        CEFILEINFO infFile;
        CEDIRINFO infDirectory;
        CEDBASEINFO infDatabase;
        CERECORDINFO infRecord;
    };
};
using PCEOIDINFO = CEOIDINFO*;

// Notification requests: with CEDB_EXNOTIFICATION the window receives WM_DBNOTIFICATION with a
// CENOTIFICATION (allocated from hHeap, or the local heap when it is NULL) as lParam.
#define CEDB_EXNOTIFICATION 0x00000001

struct CENOTIFYREQUEST {
    DWORD dwSize;
    HWND hwnd;
    DWORD dwFlags;
    HANDLE hHeap;
    DWORD_PTR dwParam;
};
using PCENOTIFYREQUEST = CENOTIFYREQUEST*;

struct CENOTIFICATION {
    DWORD dwSize;
    DWORD_PTR dwParam;
    UINT uType;
    CEGUID guid;
    CEOID oid;
    CEOID oidParent;
};
using PCENOTIFICATION = CENOTIFICATION*;

#define WM_DBNOTIFICATION 0x03FD
#define DB_CEOID_CREATED 0x0401
#define DB_CEOID_DATABASE_DELETED 0x0402
#define DB_CEOID_RECORD_DELETED 0x0403
#define DB_CEOID_CHANGED 0x0406

// Open flags: every read moves the current position on to the next record.
#define CEDB_AUTOINCREMENT 0x00000001

// Seek types.
#define CEDB_SEEK_CEOID 0x00000001
#define CEDB_SEEK_BEGINNING 0x00000002
#define CEDB_SEEK_END 0x00000004
#define CEDB_SEEK_CURRENT 0x00000008
#define CEDB_SEEK_VALUEFIRSTEQUAL 0x00000020

// Read flags: the buffer may be allocated or grown by the call.
#define CEDB_ALLOWREALLOC 0x00000001

// Mounts the volume file at lpszVol with a file-creation disposition (CREATE_NEW, CREATE_ALWAYS,
// OPEN_EXISTING, OPEN_ALWAYS) and answers its CEGUID. A volume already mounted on the machine
// answers the same CEGUID and counts one more mount. FALSE with ERROR_FILE_NOT_FOUND
// (OPEN_EXISTING of a missing file), ERROR_FILE_EXISTS (CREATE_NEW of an existing one),
// ERROR_PATH_NOT_FOUND, ERROR_INVALID_DATA (not a volume) or ERROR_INVALID_PARAMETER.
BOOL CeMountDBVol(PCEGUID pceguid, LPWSTR lpszVol, DWORD dwFlags);
// Takes back one mount; the volume closes with its last mount. FALSE with
// ERROR_INVALID_PARAMETER for the object store or a CEGUID that is not mounted.
BOOL CeUnmountDBVol(PCEGUID pceguid);
// Makes everything written to the volume (NULL: every mounted volume and the object store)
// durable in its file. FALSE with ERROR_INVALID_PARAMETER for an unknown CEGUID.
BOOL CeFlushDBVol(PCEGUID pceguid);

// Creates a database (name required, type, up to four sort orders of sort flags 0) and answers
// its CEOID; 0 with ERROR_DUP_NAME when the volume has a database of that name (names compare
// without regard to case), ERROR_INVALID_PARAMETER for a bad description or volume.
CEOID CeCreateDatabaseEx(PCEGUID pceguid, CEDBASEINFO* lpCEDBInfo);
// Opens a database by name (its CEOID is stored through poid) or, with a NULL name, by *poid.
// propid picks one of its sort orders (0: records in CEOID order); CEDB_AUTOINCREMENT makes
// reads advance. With a request, WM_DBNOTIFICATION reports the changes made through other
// handles. INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND for a missing database,
// ERROR_INVALID_PARAMETER otherwise.
HANDLE CeOpenDatabaseEx(PCEGUID pceguid, PCEOID poid, LPWSTR lpszName, CEPROPID propid,
                        DWORD dwFlags, CENOTIFYREQUEST* pRequest);
// Moves the current position (CEDB_SEEK_CEOID, _BEGINNING: dwValue records on from the first,
// _END: dwValue records back from the last, _CURRENT, _VALUEFIRSTEQUAL with a CEPROPVAL* of the
// open sort property) and answers the record's CEOID and its index in the open order. 0 with
// ERROR_SEEK (no such record; the position stays) or ERROR_INVALID_PARAMETER.
CEOID CeSeekDatabase(HANDLE hDatabase, DWORD dwSeekType, DWORD_PTR dwValue, LPDWORD lpdwIndex);
// As CeSeekDatabase; value seeks take wNumVals 1.
CEOID CeSeekDatabaseEx(HANDLE hDatabase, DWORD dwSeekType, DWORD_PTR dwValue, WORD wNumVals,
                       LPDWORD lpdwIndex);
// Reads the listed properties (rgPropID NULL: all) of the record at the current position into
// one buffer: the CEPROPVAL array, then the strings and blobs it points to. A listed property
// the record lacks comes back flagged CEDB_PROPNOTFOUND. CEDB_ALLOWREALLOC allocates or grows
// *lplpBuffer from hHeap (NULL: the local heap). Answers the record's CEOID and its size in
// *lpcbBuffer; 0 with ERROR_NO_MORE_ITEMS past the last record, ERROR_INSUFFICIENT_BUFFER
// (the size needed in *lpcbBuffer) without CEDB_ALLOWREALLOC.
CEOID CeReadRecordPropsEx(HANDLE hDbase, DWORD dwFlags, LPWORD lpcPropID, CEPROPID* rgPropID,
                          LPBYTE* lplpBuffer, LPDWORD lpcbBuffer, HANDLE hHeap);
// Writes properties to a record (oidRecord 0: a new record), merging with those it has;
// CEDB_PROPDELETE removes one. Answers the record's CEOID; 0 with ERROR_INVALID_PARAMETER for
// an unknown record or a bad value type. The current position does not move.
CEOID CeWriteRecordProps(HANDLE hDbase, CEOID oidRecord, WORD cPropID, CEPROPVAL* rgPropVal);
// Deletes a record of the open database; FALSE with ERROR_INVALID_PARAMETER when it has none of
// that CEOID.
BOOL CeDeleteRecord(HANDLE hDatabase, CEOID oidRecord);
// Describes a database (OBJTYPE_DATABASE: name, type, sort orders, record count, size, last
// change) or a record (OBJTYPE_RECORD: its database). FALSE with OBJTYPE_INVALID and
// ERROR_INVALID_PARAMETER for an identifier the volume does not hold.
BOOL CeOidGetInfoEx(PCEGUID pceguid, CEOID oid, CEOIDINFO* oidInfo);
// Deletes a database with its records. FALSE with ERROR_INVALID_PARAMETER when oid is no
// database of the volume, ERROR_SHARING_VIOLATION while a handle to it is open.
BOOL CeDeleteDatabaseEx(PCEGUID pceguid, CEOID oid);
// Frees a notification received through pRequest (from its heap); FALSE with
// ERROR_INVALID_PARAMETER for a block that heap does not hold.
BOOL CeFreeNotification(PCENOTIFYREQUEST pRequest, PCENOTIFICATION pNotify);
