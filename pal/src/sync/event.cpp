// Event objects: manual-reset events stay set until reset and release every waiter; auto-reset
// events release one waiter and reset with it.

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"
#include "pal/sync.h"
#include "sync_object.h"

namespace pal {

namespace {

class Event : public SyncObject {
public:
    Event(bool manualReset, bool signaled) : m_manualReset(manualReset), m_signaled(signaled) {}

    bool IsSignaledFor(DWORD) const override { return m_signaled; }
    bool Acquire(DWORD) override {
        if (!m_manualReset) m_signaled = false;
        return false;
    }
    void SetLocked(bool signaled) {
        m_signaled = signaled;
        if (signaled) WakeWaitersLocked();
    }

private:
    const bool m_manualReset;
    bool m_signaled;  // guarded by the wait lock
};

BOOL SetEventState(HANDLE handle, bool signaled) {
    auto event = CurrentProcess().Handles().GetAs<Event>(handle);
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    auto waits = LockWaits();
    event->SetLocked(signaled);
    return TRUE;
}

}  // namespace

}  // namespace pal

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR lpName) {
    return pal::CreateSyncObject(lpName, pal::IsA<pal::Event>, [&] {
        return std::make_shared<pal::Event>(bManualReset != FALSE, bInitialState != FALSE);
    });
}

HANDLE CreateEventA(LPSECURITY_ATTRIBUTES lpEventAttributes, BOOL bManualReset, BOOL bInitialState,
                    LPCSTR lpName) {
    if (!lpName) return CreateEventW(lpEventAttributes, bManualReset, bInitialState, nullptr);
    std::u16string name = pal::Cp1252ToUtf16(lpName);
    return CreateEventW(lpEventAttributes, bManualReset, bInitialState, name.c_str());
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR lpName) {
    return pal::OpenSyncObject(lpName, pal::IsA<pal::Event>);
}

BOOL SetEvent(HANDLE hEvent) { return pal::SetEventState(hEvent, true); }

BOOL ResetEvent(HANDLE hEvent) { return pal::SetEventState(hEvent, false); }
