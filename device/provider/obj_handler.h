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
    // The engine's own record is kept, not a copy: a handler that creates an object hands its
    // identifier back through it (oidNew), and the record lives until the matching Reset.
    STDMETHODIMP Setup(REPLSETUP* setup) override;
    // Writing: releases the lock taken by Setup.
    STDMETHODIMP Reset(REPLSETUP* setup) override;

protected:
    // The engine's records of the last Setup for reading and for writing; null before one.
    REPLSETUP* m_readSetup = nullptr;
    REPLSETUP* m_writeSetup = nullptr;

private:
    HANDLE m_lock;
    LONG m_references = 1;
    bool m_locked = false;
};
