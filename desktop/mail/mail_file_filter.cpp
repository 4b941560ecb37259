#include "mail_file_filter.h"

#include <string>

#include "mail_stream.h"

namespace {

// The exclusive read a source is opened with, and the exclusive create-and-write of a
// destination (STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_WRITE).
constexpr DWORD kSourceMode = STGM_READ | STGM_SHARE_EXCLUSIVE;
constexpr DWORD kDestinationMode = STGM_CREATE | STGM_SHARE_EXCLUSIVE | STGM_WRITE;

std::u16string Wide(const std::string& text) {
    int units = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0) return {};
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), units);
    wide.resize(static_cast<size_t>(units - 1));
    return wide;
}

}  // namespace

CMailFileFilter::CMailFileFilter(LPCSTR sourcePath) : m_source(sourcePath ? sourcePath : "") {}

CMailFileFilter::~CMailFileFilter() {
    // A destination the filter left open is released until it goes, which closes its file.
    if (m_lastDestination)
        while (m_lastDestination->Release()) {
        }
}

STDMETHODIMP CMailFileFilter::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ICeFileFilterSite) {
        *ppv = static_cast<ICeFileFilterSite*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CMailFileFilter::AddRef() { return ++m_references; }

STDMETHODIMP_(ULONG) CMailFileFilter::Release() {
    ULONG count = --m_references;
    if (!count) delete this;
    return count;
}

STDMETHODIMP CMailFileFilter::OpenSourceFile(int nHowToOpenFile, LPVOID* ppObj) {
    if (!ppObj) return E_POINTER;
    *ppObj = nullptr;
    if (nHowToOpenFile == CFF_OPEN_STREAM) {
        CMailStream* stream = nullptr;
        HRESULT hr = CMailStream::Open(m_source.c_str(), kSourceMode, &stream);
        if (SUCCEEDED(hr)) *ppObj = static_cast<IStream*>(stream);
        return hr;
    }
    if (nHowToOpenFile == CFF_OPEN_STORAGE) {
        IStorage* storage = nullptr;
        HRESULT hr =
            StgOpenStorage(Wide(m_source).c_str(), nullptr, kSourceMode, nullptr, 0, &storage);
        if (SUCCEEDED(hr)) *ppObj = storage;
        return hr;
    }
    return E_INVALIDARG;
}

STDMETHODIMP CMailFileFilter::OpenDestinationFile(int nHowToOpenFile, LPCTSTR pszFullpath,
                                                  LPVOID* ppObj) {
    if (!ppObj) return E_POINTER;
    *ppObj = nullptr;
    std::string path = pszFullpath ? pszFullpath : m_destination;
    IUnknown* object = nullptr;
    HRESULT hr;
    if (nHowToOpenFile == CFF_OPEN_STREAM) {
        CMailStream* stream = nullptr;
        hr = CMailStream::Open(path.c_str(), kDestinationMode, &stream);
        if (SUCCEEDED(hr)) {
            *ppObj = static_cast<IStream*>(stream);
            object = stream;
        }
    } else if (nHowToOpenFile == CFF_OPEN_STORAGE) {
        IStorage* storage = nullptr;
        hr = StgCreateDocfile(Wide(path).c_str(), kDestinationMode, 0, &storage);
        if (SUCCEEDED(hr)) {
            *ppObj = storage;
            object = storage;
        }
    } else {
        return E_INVALIDARG;
    }
    m_mode = nHowToOpenFile;
    if (object) Remember(object);
    return hr;
}

void CMailFileFilter::Remember(IUnknown* object) {
    object->AddRef();
    Forget();
    m_lastDestination = object;
}

void CMailFileFilter::Forget() {
    if (m_lastDestination) m_lastDestination->Release();
    m_lastDestination = nullptr;
}

STDMETHODIMP CMailFileFilter::CloseSourceFile(LPUNKNOWN pObj) {
    if (!pObj) return E_POINTER;
    pObj->Release();
    return S_OK;
}

STDMETHODIMP CMailFileFilter::CloseDestinationFile(BOOL bKeepFile, LPUNKNOWN pObj) {
    if (!pObj) return E_POINTER;
    LPOLESTR name = nullptr;
    STATSTG stat = {};
    HRESULT hr;
    if (m_mode == CFF_OPEN_STORAGE) {
        IStorage* storage = nullptr;
        if (FAILED(pObj->QueryInterface(IID_IStorage, reinterpret_cast<void**>(&storage))))
            return E_INVALIDARG;
        hr = storage->Stat(&stat, STATFLAG_DEFAULT);
        storage->Release();
    } else {
        IStream* stream = nullptr;
        if (FAILED(pObj->QueryInterface(IID_IStream, reinterpret_cast<void**>(&stream))))
            return E_INVALIDARG;
        hr = stream->Stat(&stat, STATFLAG_DEFAULT);
        stream->Release();
    }
    name = stat.pwcsName;
    if (FAILED(hr) || !name) {
        CoTaskMemFree(name);
        return E_OUTOFMEMORY;
    }
    ULONG left = pObj->Release();
    // Only the site's own reference is left: the file closes now.
    if (pObj == m_lastDestination && left == 1) Forget();
    hr = S_OK;
    if (!bKeepFile && !DeleteFileW(name)) hr = HRESULT_FROM_WIN32(GetLastError());
    CoTaskMemFree(name);
    return hr;
}

STDMETHODIMP CMailFileFilter::ReportProgress(UINT) { return S_OK; }

STDMETHODIMP CMailFileFilter::ReportLoss(DWORD, LPCTSTR, va_list) { return S_OK; }
