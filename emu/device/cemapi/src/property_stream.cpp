#include "property_stream.h"

#include <algorithm>
#include <cstring>

namespace emu::cemapi {

PropertyStream::PropertyStream(std::vector<std::uint8_t> data, SaveFunction save, bool created,
                               IUnknown* owner)
    : m_data(std::move(data)), m_save(std::move(save)), m_dirty(created && m_save), m_owner(owner) {
    if (m_owner) m_owner->AddRef();
}

PropertyStream::~PropertyStream() {
    Commit(STGC_DEFAULT);
    if (m_owner) m_owner->Release();
}

bool PropertyStream::Answers(REFIID riid) const {
    return riid == IID_IStream || riid == IID_ISequentialStream;
}

STDMETHODIMP PropertyStream::Read(void* pv, ULONG cb, ULONG* pcbRead) {
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    size_t available = m_position < m_data.size() ? m_data.size() - m_position : 0;
    size_t count = std::min<size_t>(cb, available);
    if (count) std::memcpy(pv, m_data.data() + m_position, count);
    m_position += count;
    if (pcbRead) *pcbRead = static_cast<ULONG>(count);
    return S_OK;
}

STDMETHODIMP PropertyStream::Write(const void* pv, ULONG cb, ULONG* pcbWritten) {
    if (pcbWritten) *pcbWritten = 0;
    if (!m_save) return STG_E_ACCESSDENIED;
    if (!pv && cb) return STG_E_INVALIDPOINTER;
    try {
        if (m_position + cb > m_data.size()) m_data.resize(m_position + cb);
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    if (cb) std::memcpy(m_data.data() + m_position, pv, cb);
    m_position += cb;
    m_dirty = true;
    if (pcbWritten) *pcbWritten = cb;
    return S_OK;
}

STDMETHODIMP PropertyStream::Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin,
                                  ULARGE_INTEGER* plibNewPosition) {
    LONGLONG base;
    switch (dwOrigin) {
        case STREAM_SEEK_SET:
            base = 0;
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<LONGLONG>(m_position);
            break;
        case STREAM_SEEK_END:
            base = static_cast<LONGLONG>(m_data.size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    LONGLONG target = base + dlibMove.QuadPart;
    if (target < 0) return STG_E_INVALIDFUNCTION;
    m_position = static_cast<size_t>(target);
    if (plibNewPosition) plibNewPosition->QuadPart = static_cast<ULONGLONG>(target);
    return S_OK;
}

STDMETHODIMP PropertyStream::SetSize(ULARGE_INTEGER libNewSize) {
    if (!m_save) return STG_E_ACCESSDENIED;
    try {
        m_data.resize(static_cast<size_t>(libNewSize.QuadPart));
    } catch (const std::bad_alloc&) {
        return STG_E_MEDIUMFULL;
    }
    m_dirty = true;
    return S_OK;
}

STDMETHODIMP PropertyStream::CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                                    ULARGE_INTEGER* pcbWritten) {
    if (!pstm) return STG_E_INVALIDPOINTER;
    size_t available = m_position < m_data.size() ? m_data.size() - m_position : 0;
    size_t count = static_cast<size_t>(std::min<ULONGLONG>(cb.QuadPart, available));
    ULONG written = 0;
    HRESULT hr = count ? pstm->Write(m_data.data() + m_position, static_cast<ULONG>(count), &written)
                       : S_OK;
    m_position += count;
    if (pcbRead) pcbRead->QuadPart = count;
    if (pcbWritten) pcbWritten->QuadPart = written;
    return hr;
}

STDMETHODIMP PropertyStream::Commit(DWORD grfCommitFlags) {
    (void)grfCommitFlags;
    if (!m_dirty) return S_OK;
    HRESULT hr = m_save(m_data);
    if (SUCCEEDED(hr)) m_dirty = false;
    return hr;
}

STDMETHODIMP PropertyStream::Revert() { return S_OK; }

STDMETHODIMP PropertyStream::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP PropertyStream::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return STG_E_INVALIDFUNCTION;
}

STDMETHODIMP PropertyStream::Stat(STATSTG* pstatstg, DWORD grfStatFlag) {
    (void)grfStatFlag;
    if (!pstatstg) return STG_E_INVALIDPOINTER;
    *pstatstg = STATSTG{};
    pstatstg->type = STGTY_STREAM;
    pstatstg->cbSize.QuadPart = m_data.size();
    pstatstg->grfMode = m_save ? STGM_READWRITE : STGM_READ;
    return S_OK;
}

STDMETHODIMP PropertyStream::Clone(IStream** ppstm) {
    if (ppstm) *ppstm = nullptr;
    return STG_E_INVALIDFUNCTION;
}

}  // namespace emu::cemapi
