// File-conversion filters for tests: a class registered on the desktop in process whose
// conversions follow a script, recording what each call received.
#pragma once

#include <file_filter.h>
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "pal/runtime/com_registry.h"

namespace trellium_testing {

// What one NextConvertFile call made of its arguments.
struct FilterCall {
    int n = 0;
    CFF_CONVERTINFO info = {};
    CFF_SOURCEFILE source = {};
    CFF_DESTINATIONFILE destination = {};
};

// One step per conversion n: write `content` through the site and answer `result`, or (empty
// content) answer `result` alone. Past the script: HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS).
struct FilterStep {
    HRESULT result = S_OK;
    std::string content;
    PF_ERROR error = 0;
};

class ScriptedFilter : public ICeFileFilter {
public:
    ScriptedFilter(std::vector<FilterStep> script, std::vector<FilterCall>* calls)
        : m_script(std::move(script)), m_calls(calls) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
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
    STDMETHODIMP NextConvertFile(int n, CFF_CONVERTINFO* pci, CFF_SOURCEFILE* psf,
                                 CFF_DESTINATIONFILE* pdf, volatile BOOL*,
                                 PF_ERROR* perr) override {
        m_calls->push_back({n, *pci, *psf, *pdf});
        if (n >= static_cast<int>(m_script.size())) return HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);
        const FilterStep& step = m_script[static_cast<size_t>(n)];
        *perr = step.error;
        if (!step.content.empty()) {
            IStream* stream = nullptr;
            HRESULT hr = pci->pffs->OpenDestinationFile(CFF_OPEN_STREAM, nullptr,
                                                        reinterpret_cast<LPVOID*>(&stream));
            if (FAILED(hr)) return hr;
            ULONG put = 0;
            stream->Write(step.content.data(), static_cast<ULONG>(step.content.size()), &put);
            pci->pffs->CloseDestinationFile(TRUE, stream);
        }
        return step.result;
    }
    STDMETHODIMP FilterOptions(HWND) override { return E_NOTIMPL; }
    STDMETHODIMP FormatMessage(DWORD, DWORD, DWORD, LPTSTR, DWORD, va_list*, DWORD*) override {
        return E_NOTIMPL;
    }

private:
    virtual ~ScriptedFilter() = default;
    std::vector<FilterStep> m_script;
    std::vector<FilterCall>* m_calls;
    std::atomic<ULONG> m_references{1};
};

class ScriptedFilterFactory : public IClassFactory {
public:
    ScriptedFilterFactory(std::vector<FilterStep> script, std::vector<FilterCall>* calls)
        : m_script(std::move(script)), m_calls(calls) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
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
    STDMETHODIMP CreateInstance(IUnknown*, REFIID riid, void** ppv) override {
        auto* filter = new ScriptedFilter(m_script, m_calls);
        HRESULT hr = filter->QueryInterface(riid, ppv);
        filter->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    virtual ~ScriptedFilterFactory() = default;
    std::vector<FilterStep> m_script;
    std::vector<FilterCall>* m_calls;
    std::atomic<ULONG> m_references{1};
};

// Registers a scripted class as `classText` on `desktop`; its calls go to `calls`.
inline void RegisterScriptedFilter(pal::Machine& desktop, const char16_t* classText,
                                   std::vector<FilterStep> script, std::vector<FilterCall>* calls) {
    CLSID clsid = {};
    CLSIDFromString(classText, &clsid);
    auto* factory = new ScriptedFilterFactory(std::move(script), calls);
    pal::RegisterClassObject(desktop, clsid, factory);
    factory->Release();
}

}  // namespace trellium_testing
