// What both object handlers share: reference counting, and the type's lock held from a Setup
// for writing to its Reset.
#pragma once

#include <device_sync.h>
#include <windows.h>

class CObjHandler : public IReplObjHandler {
public:
    // `lock` is the store's named mutex; the handler does not own the handle.
    explicit CObjHandler(HANDLE lock) : m_lock(lock) {}
    virtual ~CObjHandler() = default;

    // No other interface is offered: E_NOINTERFACE with a null result.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    // At zero the handler frees itself.
    STDMETHODIMP_(ULONG) Release() override;
    // Reading: remembers the setup. Writing: remembers it and waits without limit for the lock.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    // Writing: releases the lock taken by Setup.
    STDMETHODIMP Reset(REPLSETUP* setup) override;

protected:
    REPLSETUP m_readSetup{};
    REPLSETUP m_writeSetup{};

private:
    HANDLE m_lock;
    LONG m_references = 1;
    bool m_locked = false;
};
