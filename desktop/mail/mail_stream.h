// CMailStream: an IStream over a desktop file, handed to file-conversion filters by their site.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

class CMailStream : public IStream {
public:
    // Opens `path` by storage flags: any of STGM_SIMPLE, STGM_DELETEONRELEASE, STGM_NOSCRATCH,
    // STGM_PRIORITY, STGM_CONVERT or STGM_TRANSACTED → STG_E_INVALIDFLAG; read and write access
    // when STGM_WRITE or STGM_READWRITE is set, else read; STGM_SHARE_DENY_WRITE lets others read,
    // STGM_SHARE_DENY_READ lets them write, STGM_SHARE_DENY_NONE both, anything else neither;
    // STGM_CREATE creates or replaces the file, otherwise it must exist. A file that cannot be
    // opened gives the HRESULT of its Win32 error, a stream that cannot be had
    // STG_E_INSUFFICIENTMEMORY. The stream comes with one reference.
    static HRESULT Open(LPCSTR path, DWORD flags, CMailStream** stream);

    // IUnknown, ISequentialStream and IStream answer; the last Release closes the file.
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // Null buffer: STG_E_INVALIDPOINTER; count 0: E_INVALIDARG; a failing file call: S_FALSE
    // with nothing done; otherwise S_OK with the count done (less than asked at the end).
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    // Moves the file pointer (STREAM_SEEK_*, else STG_E_INVALIDFUNCTION) and answers the new
    // 64-bit position; a refused move gives the HRESULT of its Win32 error.
    STDMETHOD(Seek)
    (LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
    // Cuts or extends the file to the size; the position stays where it was.
    STDMETHOD(SetSize)(ULARGE_INTEGER libNewSize) override;
    // Copies up to cb bytes from the position into `pstm`: a count of 4 GB or more gives
    // STG_E_INSUFFICIENTMEMORY, a failing read or write E_FAIL; the counts report what was done.
    STDMETHOD(CopyTo)
    (IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
     ULARGE_INTEGER* pcbWritten) override;
    // Not supported on a plain file: E_NOTIMPL.
    STDMETHOD(Commit)(DWORD grfCommitFlags) override;
    STDMETHOD(Revert)() override;
    STDMETHOD(LockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    // STGTY_STREAM, the size, the file's three times and, as grfMode, the access the file was
    // opened with (GENERIC_READ, or GENERIC_READ | GENERIC_WRITE); the name in UTF-16 from
    // CoTaskMemAlloc unless STATFLAG_NONAME.
    STDMETHOD(Stat)(STATSTG* pstatstg, DWORD grfStatFlag) override;
    // A second stream over a duplicate of the file handle: same access, same name, and the same
    // file pointer.
    STDMETHOD(Clone)(IStream** ppstm) override;

private:
    CMailStream(HANDLE file, DWORD access, std::string name);
    virtual ~CMailStream();
    CMailStream(const CMailStream&) = delete;
    CMailStream& operator=(const CMailStream&) = delete;

    HANDLE m_file;
    DWORD m_access;
    std::string m_name;
    std::atomic<ULONG> m_references{1};
};
