// Structured storage: the stream and storage interfaces, their records and flags, and the two
// calls that open and create compound files.
//
// The machines keep no compound files. A stream (IStream) is what components implement over
// their own data; StgOpenStorage and StgCreateDocfile fail cleanly (below), so that a caller
// asking for a compound file gets a clear error and never a half-made file.
#pragma once

#include "pal/com.h"
#include "pal/errors.h"
#include "pal/types.h"

// Storage results (STG_E_INVALIDFUNCTION and STG_E_FILENOTFOUND come with the error codes).
#define STG_E_PATHNOTFOUND static_cast<HRESULT>(0x80030003L)
#define STG_E_ACCESSDENIED static_cast<HRESULT>(0x80030005L)
#define STG_E_INVALIDHANDLE static_cast<HRESULT>(0x80030006L)
#define STG_E_INSUFFICIENTMEMORY static_cast<HRESULT>(0x80030008L)
#define STG_E_INVALIDPOINTER static_cast<HRESULT>(0x80030009L)
#define STG_E_SHAREVIOLATION static_cast<HRESULT>(0x80030020L)
#define STG_E_FILEALREADYEXISTS static_cast<HRESULT>(0x80030050L)
#define STG_E_INVALIDPARAMETER static_cast<HRESULT>(0x80030057L)
#define STG_E_MEDIUMFULL static_cast<HRESULT>(0x80030070L)
#define STG_E_INVALIDNAME static_cast<HRESULT>(0x800300FCL)
#define STG_E_INVALIDFLAG static_cast<HRESULT>(0x800300FFL)

// Access, sharing and creation modes (grfMode).
#define STGM_DIRECT 0x00000000L
#define STGM_TRANSACTED 0x00010000L
#define STGM_SIMPLE 0x08000000L
#define STGM_READ 0x00000000L
#define STGM_WRITE 0x00000001L
#define STGM_READWRITE 0x00000002L
#define STGM_SHARE_DENY_NONE 0x00000040L
#define STGM_SHARE_DENY_READ 0x00000030L
#define STGM_SHARE_DENY_WRITE 0x00000020L
#define STGM_SHARE_EXCLUSIVE 0x00000010L
#define STGM_PRIORITY 0x00040000L
#define STGM_DELETEONRELEASE 0x04000000L
#define STGM_NOSCRATCH 0x00100000L
#define STGM_CREATE 0x00001000L
#define STGM_CONVERT 0x00020000L
#define STGM_FAILIFTHERE 0x00000000L
#define STGM_NOSNAPSHOT 0x00200000L
#define STGM_DIRECT_SWMR 0x00400000L

// Element types (STATSTG::type).
#define STGTY_STORAGE 1
#define STGTY_STREAM 2
#define STGTY_LOCKBYTES 3
#define STGTY_PROPERTY 4

// Stat flags: STATFLAG_NONAME leaves pwcsName null.
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1
#define STATFLAG_NOOPEN 2

// Seek origins.
#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2

// Commit flags.
#define STGC_DEFAULT 0

DEFINE_GUID(IID_ISequentialStream, 0x0C733A30, 0x2A1C, 0x11CE, 0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44,
            0x77, 0x3D);
DEFINE_GUID(IID_IStream, 0x0000000C, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);
DEFINE_GUID(IID_IStorage, 0x0000000B, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x46);

// What Stat reports of a stream or storage. pwcsName, when given, is a CoTaskMemAlloc block the
// caller frees.
struct STATSTG {
    LPOLESTR pwcsName;
    DWORD type;  // STGTY_*
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

using SNB = LPOLESTR*;
struct IEnumSTATSTG;

struct ISequentialStream : public IUnknown {
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) PURE;
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) PURE;
};

struct IStream : public ISequentialStream {
    STDMETHOD(Seek)(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) PURE;
    STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) PURE;
    STDMETHOD(CopyTo)
    (IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead, ULARGE_INTEGER* pcbWritten) PURE;
    STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) PURE;
    STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
    STDMETHOD(Clone)(IStream** ppstm) PURE;
};
using LPSTREAM = IStream*;

struct IStorage : public IUnknown {
    STDMETHOD(CreateStream)
    (const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
     IStream** ppstm) PURE;
    STDMETHOD(OpenStream)
    (const OLECHAR* pwcsName, void* reserved1, DWORD grfMode, DWORD reserved2,
     IStream** ppstm) PURE;
    STDMETHOD(CreateStorage)
    (const OLECHAR* pwcsName, DWORD grfMode, DWORD reserved1, DWORD reserved2,
     IStorage** ppstg) PURE;
    STDMETHOD(OpenStorage)
    (const OLECHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude, DWORD reserved,
     IStorage** ppstg) PURE;
    STDMETHOD(CopyTo)
    (DWORD ciidExclude, const IID* rgiidExclude, SNB snbExclude, IStorage* pstgDest) PURE;
    STDMETHOD(MoveElementTo)
    (const OLECHAR* pwcsName, IStorage* pstgDest, const OLECHAR* pwcsNewName, DWORD grfFlags) PURE;
    STDMETHOD(Commit)(DWORD grfCommitFlags) PURE;
    STDMETHOD(Revert)() PURE;
    STDMETHOD(EnumElements)
    (DWORD reserved1, void* reserved2, DWORD reserved3, IEnumSTATSTG** ppenum) PURE;
    STDMETHOD(DestroyElement)(const OLECHAR* pwcsName) PURE;
    STDMETHOD(RenameElement)(const OLECHAR* pwcsOldName, const OLECHAR* pwcsNewName) PURE;
    STDMETHOD(SetElementTimes)
    (const OLECHAR* pwcsName, const FILETIME* pctime, const FILETIME* patime,
     const FILETIME* pmtime) PURE;
    STDMETHOD(SetClass)(REFCLSID clsid) PURE;
    STDMETHOD(SetStateBits)(DWORD grfStateBits, DWORD grfMask) PURE;
    STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) PURE;
};
using LPSTORAGE = IStorage*;

// Opens a compound file. No compound files exist here: STG_E_INVALIDPOINTER for a null
// ppstgOpen, STG_E_INVALIDNAME for a null name, STG_E_FILENOTFOUND / STG_E_PATHNOTFOUND when the
// file or its folder is missing, and STG_E_INVALIDFUNCTION for any existing file; *ppstgOpen is
// null and the file is untouched.
HRESULT StgOpenStorage(const WCHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage** ppstgOpen);
// Creates a compound file: STG_E_INVALIDPOINTER for a null ppstgOpen, otherwise always
// STG_E_INVALIDFUNCTION with *ppstgOpen null and nothing created or replaced.
HRESULT StgCreateDocfile(const WCHAR* pwcsName, DWORD grfMode, DWORD reserved,
                         IStorage** ppstgOpen);
