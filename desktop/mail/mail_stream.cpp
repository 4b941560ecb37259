#include "mail_stream.h"

#include <new>
#include <vector>

namespace {

// Storage flags a flat file cannot honour.
constexpr DWORD kUnsupportedFlags = STGM_SIMPLE | STGM_DELETEONRELEASE | STGM_NOSCRATCH |
                                    STGM_PRIORITY | STGM_CONVERT | STGM_TRANSACTED;
constexpr DWORD kShareMask = 0x70;
// CopyTo moves data through a buffer of this size.
constexpr DWORD kCopyPiece = 0x10000;

HRESULT LastError() {
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

}  // namespace

HRESULT CMailStream::Open(LPCSTR path, DWORD flags, CMailStream** stream) {
    if (!stream) return STG_E_INVALIDPOINTER;
    *stream = nullptr;
    if (!path) return STG_E_INVALIDNAME;
    if (flags & kUnsupportedFlags) return STG_E_INVALIDFLAG;
    DWORD access = (flags & 3) ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    DWORD share = 0;
    switch (flags & kShareMask) {
        case STGM_SHARE_DENY_WRITE:
            share = FILE_SHARE_READ;
            break;
        case STGM_SHARE_DENY_READ:
            share = FILE_SHARE_WRITE;
            break;
        case STGM_SHARE_DENY_NONE:
            share = FILE_SHARE_READ | FILE_SHARE_WRITE;
            break;
        default:
            break;
    }
    DWORD creation = (flags & STGM_CREATE) ? CREATE_ALWAYS : OPEN_EXISTING;
    HANDLE file =
        CreateFileA(path, access, share, nullptr, creation, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    *stream = new (std::nothrow) CMailStream(file, access, path);
    if (!*stream) {
        CloseHandle(file);
        return STG_E_INSUFFICIENTMEMORY;
    }
    return S_OK;
}

CMailStream::CMailStream(HANDLE file, DWORD access, std::string name)
    : m_file(file), m_access(access), m_name(std::move(name)) {}

CMailStream::~CMailStream() { CloseHandle(m_file); }

STDMETHODIMP CMailStream::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ISequentialStream || riid == IID_IStream) {
        *ppv = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMailStream::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) CMailStream::Release() {
    ULONG count = --m_references;
    if (!count) delete this;
    return count;
}

STDMETHODIMP CMailStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (pcbRead) *pcbRead = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (!cb) return E_INVALIDARG;
    DWORD done = 0;
    if (!ReadFile(m_file, pv, cb, &done, nullptr)) return S_FALSE;
    if (pcbRead) *pcbRead = done;
    return S_OK;
}

STDMETHODIMP CMailStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (pcbWritten) *pcbWritten = 0;
    if (!pv) return STG_E_INVALIDPOINTER;
    if (!cb) return E_INVALIDARG;
    DWORD done = 0;
    if (!WriteFile(m_file, pv, cb, &done, nullptr)) return S_FALSE;
    if (pcbWritten) *pcbWritten = done;
    return S_OK;
}

STDMETHODIMP CMailStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                               ULARGE_INTEGER* plibNewPosition) {
    if (dwOrigin > STREAM_SEEK_END) return STG_E_INVALIDFUNCTION;
    LONG high = dlibMove.HighPart;
    // STREAM_SEEK_* and FILE_BEGIN / FILE_CURRENT / FILE_END have the same values.
    DWORD low = SetFilePointer(m_file, static_cast<LONG>(dlibMove.LowPart), &high, dwOrigin);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return LastError();
    if (plibNewPosition) {
        plibNewPosition->LowPart = low;
        plibNewPosition->HighPart = static_cast<DWORD>(high);
    }
    return S_OK;
}

STDMETHODIMP CMailStream::SetSize(ULARGE_INTEGER libNewSize) {
    LONG high = 0;
    DWORD low = SetFilePointer(m_file, 0, &high, FILE_CURRENT);
    if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return LastError();
    LONG sizeHigh = static_cast<LONG>(libNewSize.HighPart);
    HRESULT hr = S_OK;
    DWORD moved =
        SetFilePointer(m_file, static_cast<LONG>(libNewSize.LowPart), &sizeHigh, FILE_BEGIN);
    if (moved == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return LastError();
    if (!SetEndOfFile(m_file)) hr = LastError();
    // Back to where the caller was, whether or not the cut succeeded.
    SetFilePointer(m_file, static_cast<LONG>(low), &high, FILE_BEGIN);
    return hr;
}

STDMETHODIMP CMailStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                 ULARGE_INTEGER* pcbWritten) {
    if (pcbRead) pcbRead->QuadPart = 0;
    if (pcbWritten) pcbWritten->QuadPart = 0;
    if (!pstm) return STG_E_INVALIDPOINTER;
    if (cb.HighPart) return STG_E_INSUFFICIENTMEMORY;
    std::vector<BYTE> buffer;
    DWORD remaining = cb.LowPart;
    if (remaining) {
        try {
            buffer.resize(remaining < kCopyPiece ? remaining : kCopyPiece);
        } catch (const std::bad_alloc&) {
            return STG_E_INSUFFICIENTMEMORY;
        }
    }
    ULONGLONG read = 0;
    ULONGLONG written = 0;
    HRESULT hr = S_OK;
    while (remaining) {
        DWORD piece = remaining < buffer.size() ? remaining : static_cast<DWORD>(buffer.size());
        DWORD got = 0;
        if (!ReadFile(m_file, buffer.data(), piece, &got, nullptr)) {
            hr = E_FAIL;
            break;
        }
        if (!got) break;
        read += got;
        ULONG put = 0;
        if (FAILED(pstm->Write(buffer.data(), got, &put)) || put != got) {
            written += put;
            hr = E_FAIL;
            break;
        }
        written += put;
        remaining -= got;
    }
    if (pcbRead) pcbRead->QuadPart = read;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
}

STDMETHODIMP CMailStream::Commit(DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailStream::Revert() { return E_NOTIMPL; }

STDMETHODIMP CMailStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) { return E_NOTIMPL; }

STDMETHODIMP CMailStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    *pstatstg = STATSTG{};
    DWORD high = 0;
    DWORD low = GetFileSize(m_file, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return LastError();
    if (!GetFileTime(m_file, &pstatstg->ctime, &pstatstg->atime, &pstatstg->mtime))
        return LastError();
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.LowPart = low;
    pstatstg->cbSize.HighPart = high;
    pstatstg->grfMode = m_access;
    if (grfStatFlag & STATFLAG_NONAME) return S_OK;
    int units = MultiByteToWideChar(CP_ACP, 0, m_name.c_str(), -1, nullptr, 0);
    auto* name = static_cast<LPOLESTR>(CoTaskMemAlloc(static_cast<SIZE_T>(units) * sizeof(WCHAR)));
    if (units <= 0 || !name) {
        CoTaskMemFree(name);
        return STG_E_INSUFFICIENTMEMORY;
    }
    MultiByteToWideChar(CP_ACP, 0, m_name.c_str(), -1, name, units);
    pstatstg->pwcsName = name;
    return S_OK;
}

STDMETHODIMP CMailStream::Clone(IStream** ppstm) {
    if (!ppstm) return STG_E_INVALIDPOINTER;
    *ppstm = nullptr;
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), m_file, GetCurrentProcess(), &copy, 0, FALSE,
                         DUPLICATE_SAME_ACCESS))
        return LastError();
    auto* clone = new (std::nothrow) CMailStream(copy, m_access, m_name);
    if (!clone) {
        CloseHandle(copy);
        return STG_E_INSUFFICIENTMEMORY;
    }
    *ppstm = clone;
    return S_OK;
}
