// Reference counting and QueryInterface for the emulation's objects: an object answers IUnknown
// and the interface identifiers it lists, and deletes itself with its last reference.
#pragma once

#include <cemapi.h>

#include <atomic>
#include <initializer_list>

namespace emu::cemapi {

template <class Interface>
class ComObject : public Interface {
public:
    virtual ~ComObject() = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
        if (!ppvObject) return E_POINTER;
        *ppvObject = nullptr;
        if (riid == IID_IUnknown || Answers(riid)) {
            *ppvObject = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++m_references; }
    STDMETHODIMP_(ULONG) Release() override {
        ULONG left = --m_references;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual bool Answers(REFIID riid) const = 0;

private:
    std::atomic<ULONG> m_references{1};
};

}  // namespace emu::cemapi
