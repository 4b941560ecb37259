// A stream over one property's bytes. The bytes are read when the stream opens; what is written
// is saved (through the save function) on Commit and when the last reference goes, and only when
// something changed. A stream opened for creation starts empty and saves even when nothing is
// written, so the property it replaces is emptied.
#pragma once

#include <cemapi.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "com_object.h"

namespace emu::cemapi {

class PropertyStream final : public ComObject<IStream> {
public:
    using SaveFunction = std::function<HRESULT(const std::vector<std::uint8_t>&)>;
    // A read-only stream when `save` is empty. `owner` (may be null) is held until the stream goes.
    PropertyStream(std::vector<std::uint8_t> data, SaveFunction save, bool created,
                   IUnknown* owner);
    ~PropertyStream() override;

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* pcbRead) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* pcbWritten) override;
    STDMETHODIMP Seek(LARGE_INTEGER dlibMove, DWORD dwOrigin, ULARGE_INTEGER* plibNewPosition) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER libNewSize) override;
    STDMETHODIMP CopyTo(IStream* pstm, ULARGE_INTEGER cb, ULARGE_INTEGER* pcbRead,
                        ULARGE_INTEGER* pcbWritten) override;
    STDMETHODIMP Commit(DWORD grfCommitFlags) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP LockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER libOffset, ULARGE_INTEGER cb, DWORD dwLockType) override;
    STDMETHODIMP Stat(STATSTG* pstatstg, DWORD grfStatFlag) override;
    STDMETHODIMP Clone(IStream** ppstm) override;

protected:
    bool Answers(REFIID riid) const override;

private:
    std::vector<std::uint8_t> m_data;
    size_t m_position = 0;
    SaveFunction m_save;
    bool m_dirty;
    IUnknown* m_owner;
};

}  // namespace emu::cemapi
