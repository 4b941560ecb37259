// The contacts folder's listener for address-book changes: every notification marks the folder
// changed, which the engine learns through IsFolderChanged. Embedded in the folder, so it is not
// reference counted.
#pragma once

#include <wab.h>

class CFolder;

class CMAPIAdviseSink : public IMAPIAdviseSink {
public:
    CMAPIAdviseSink() = default;
    void SetFolder(CFolder* folder) { m_folder = folder; }

    // No interface is answered: the book only ever calls OnNotify.
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 0; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }
    // Marks the folder changed; the notifications themselves are not examined.
    STDMETHODIMP_(ULONG) OnNotify(ULONG count, LPNOTIFICATION notifications) override;

private:
    CFolder* m_folder = nullptr;
};
