#include "obj_handler.h"

STDMETHODIMP CObjHandler::QueryInterface(REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CObjHandler::AddRef() {
    // Atomic: the engine may hand the handler between threads.
    return static_cast<ULONG>(InterlockedIncrement(&m_references));
}

STDMETHODIMP_(ULONG) CObjHandler::Release() {
    LONG left = InterlockedDecrement(&m_references);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
}

STDMETHODIMP CObjHandler::Setup(REPLSETUP* setup) {
    if (!setup) return E_POINTER;
    if (setup->fRead) {
        m_readSetup = setup;
        return S_OK;
    }
    m_writeSetup = setup;
    // Waits without limit; an abandoned lock is granted as well (WAIT_ABANDONED).
    if (m_lock && !m_locked && WaitForSingleObject(m_lock, INFINITE) != WAIT_FAILED)
        m_locked = true;
    return S_OK;
}

STDMETHODIMP CObjHandler::Reset(REPLSETUP* setup) {
    if (!setup) return E_POINTER;
    if (!setup->fRead && m_locked) {
        // Gives back the ownership Setup took.
        ReleaseMutex(m_lock);
        m_locked = false;
    }
    return S_OK;
}
