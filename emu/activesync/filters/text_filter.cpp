// The engine's sample file-conversion filter: plain desktop text to device text (".vtx") and
// back, written against the published filter interfaces alone. The format is described in
// activesync/filters.h.
#include <file_filter.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

namespace {

DEFINE_GUID(CLSID_TextToDevice, 0x8D3A51C0, 0x4E2B, 0x4F7A, 0x9C, 0x61, 0x2B, 0x5E, 0x7A, 0x0D,
            0x1F, 0x01);
DEFINE_GUID(CLSID_DeviceToText, 0x8D3A51C0, 0x4E2B, 0x4F7A, 0x9C, 0x61, 0x2B, 0x5E, 0x7A, 0x0D,
            0x1F, 0x02);

const BYTE kMagic[4] = {'V', 'T', 'X', 1};
constexpr size_t kHeaderSize = 8;
constexpr ULONG kPiece = 0x8000;

std::atomic<LONG> g_objects{0};

HRESULT NoMoreOutputs() { return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS); }

// The whole content of a stream from its position.
HRESULT ReadAll(IStream* stream, std::vector<BYTE>& bytes) {
    BYTE buffer[kPiece];
    for (;;) {
        ULONG got = 0;
        HRESULT hr = stream->Read(buffer, kPiece, &got);
        if (hr != S_OK) return FAILED(hr) ? hr : E_FAIL;
        if (!got) return S_OK;
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

HRESULT WriteAll(IStream* stream, const std::vector<BYTE>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ULONG piece =
            bytes.size() - done < kPiece ? static_cast<ULONG>(bytes.size() - done) : kPiece;
        ULONG put = 0;
        HRESULT hr = stream->Write(bytes.data() + done, piece, &put);
        if (hr != S_OK || put != piece) return FAILED(hr) ? hr : E_FAIL;
        done += piece;
    }
    return S_OK;
}

// Desktop text to device text; false for an empty text.
bool ToDevice(const std::vector<BYTE>& text, std::vector<BYTE>& out) {
    if (text.empty()) return false;
    int units = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(text.data()),
                                    static_cast<int>(text.size()), nullptr, 0);
    std::u16string wide(static_cast<size_t>(units), u'\0');
    MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(text.data()),
                        static_cast<int>(text.size()), wide.data(), units);
    out.assign(kMagic, kMagic + 4);
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<BYTE>(units >> shift));
    for (char16_t unit : wide) {
        out.push_back(static_cast<BYTE>(unit));
        out.push_back(static_cast<BYTE>(unit >> 8));
    }
    return true;
}

// Device text to desktop text: ERROR_INVALID_DATA for a malformed file, ERROR_NO_MORE_ITEMS for
// an empty text, else NO_ERROR.
DWORD ToDesktop(const std::vector<BYTE>& device, std::vector<BYTE>& out) {
    if (device.size() < kHeaderSize || !std::equal(kMagic, kMagic + 4, device.begin()))
        return ERROR_INVALID_DATA;
    DWORD units =
        device[4] | device[5] << 8 | device[6] << 16 | static_cast<DWORD>(device[7]) << 24;
    if ((device.size() - kHeaderSize) / 2 != units || (device.size() - kHeaderSize) % 2)
        return ERROR_INVALID_DATA;
    if (!units) return ERROR_NO_MORE_ITEMS;
    std::u16string wide(units, u'\0');
    for (DWORD i = 0; i < units; ++i)
        wide[i] = static_cast<char16_t>(device[kHeaderSize + 2 * i] |
                                        device[kHeaderSize + 2 * i + 1] << 8);
    int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(units), nullptr, 0,
                                    nullptr, nullptr);
    out.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(units),
                        reinterpret_cast<LPSTR>(out.data()), bytes, nullptr, nullptr);
    return NO_ERROR;
}

class TextFilter : public ICeFileFilter {
public:
    TextFilter() { ++g_objects; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_ICeFileFilter) {
            *ppv = static_cast<ICeFileFilter*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG count = --m_references;
        if (!count) delete this;
        return count;
    }

    // One output per source: conversion 0 makes it, every later one answers that there are no
    // more. A source that converts to nothing makes no output.
    STDMETHODIMP NextConvertFile(int nConversion, CFF_CONVERTINFO* pci, CFF_SOURCEFILE* psf,
                                 CFF_DESTINATIONFILE* pdf, volatile BOOL* pbCancel,
                                 PF_ERROR* perr) override {
        if (!pci || !pci->pffs || !psf || !pdf || !perr) return E_POINTER;
        *perr = 0;
        if (nConversion > 0) return NoMoreOutputs();
        ICeFileFilterSite* site = pci->pffs;

        IStream* source = nullptr;
        HRESULT hr = site->OpenSourceFile(CFF_OPEN_STREAM, reinterpret_cast<LPVOID*>(&source));
        if (FAILED(hr)) return hr;
        std::vector<BYTE> input;
        hr = ReadAll(source, input);
        site->CloseSourceFile(source);
        if (FAILED(hr)) return hr;

        std::vector<BYTE> output;
        if (pci->bImport) {
            if (!ToDevice(input, output)) return NoMoreOutputs();
        } else {
            DWORD error = ToDesktop(input, output);
            if (error == ERROR_NO_MORE_ITEMS) return NoMoreOutputs();
            if (error) {
                *perr = static_cast<PF_ERROR>(error);
                return HRESULT_FROM_WIN32(error);
            }
        }
        if (pbCancel && *pbCancel) return E_ABORT;

        IStream* destination = nullptr;
        hr = site->OpenDestinationFile(CFF_OPEN_STREAM, nullptr,
                                       reinterpret_cast<LPVOID*>(&destination));
        if (FAILED(hr)) return hr;
        hr = WriteAll(destination, output);
        if (FAILED(hr)) {
            site->CloseDestinationFile(FALSE, destination);
            return hr;
        }
        site->ReportProgress(100);
        return site->CloseDestinationFile(TRUE, destination);
    }

    STDMETHODIMP FilterOptions(HWND) override { return E_NOTIMPL; }
    STDMETHODIMP FormatMessage(DWORD, DWORD, DWORD, LPTSTR, DWORD, va_list*, DWORD*) override {
        return E_NOTIMPL;
    }

private:
    virtual ~TextFilter() { --g_objects; }
    std::atomic<ULONG> m_references{1};
};

class TextFilterFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    // The factory is a static object of the library.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* filter = new (std::nothrow) TextFilter();
        if (!filter) return E_OUTOFMEMORY;
        HRESULT hr = filter->QueryInterface(riid, ppv);
        filter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TextFilterFactory g_factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (rclsid != CLSID_TextToDevice && rclsid != CLSID_DeviceToText)
        return CLASS_E_CLASSNOTAVAILABLE;
    return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_objects ? S_FALSE : S_OK; }
