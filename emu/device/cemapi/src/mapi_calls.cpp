// MAPIInitialize, MAPILogonEx and MAPIUninitialize: each process of the device counts its own
// initialisations; its last MAPIUninitialize ends its advise registrations.
#include <cemapi.h>

#include <mutex>

#include "mapi_error.h"
#include "notification_hub.h"
#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"
#include "session_object.h"

namespace emu::cemapi {

namespace {

class MapiProcess : public pal::Component {
public:
    explicit MapiProcess(pal::Process&) {}
    std::mutex lock;
    int initialized = 0;
};

}  // namespace

}  // namespace emu::cemapi

using emu::cemapi::MapiProcess;

HRESULT MAPIInitialize(LPVOID lpMapiInit) {
    (void)lpMapiInit;
    auto& state = pal::CurrentProcess().Get<MapiProcess>();
    std::lock_guard<std::mutex> guard(state.lock);
    ++state.initialized;
    return S_OK;
}

void MAPIUninitialize() {
    pal::Process& process = pal::CurrentProcess();
    auto& state = process.Get<MapiProcess>();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.initialized == 0 || --state.initialized > 0) return;
    }
    emu::cemapi::HubOf(pal::CurrentMachine()).UnadviseProcess(process.Id());
}

HRESULT MAPILogonEx(ULONG_PTR ulUIParam, LPWSTR lpszProfileName, LPWSTR lpszPassword, FLAGS flFlags,
                    LPMAPISESSION* lppSession) {
    (void)ulUIParam;
    (void)lpszProfileName;
    (void)lpszPassword;
    (void)flFlags;
    if (!lppSession) return MAPI_E_INVALID_PARAMETER;
    *lppSession = nullptr;
    auto& state = pal::CurrentProcess().Get<MapiProcess>();
    {
        std::lock_guard<std::mutex> guard(state.lock);
        if (state.initialized == 0) return MAPI_E_NOT_INITIALIZED;
    }
    return emu::cemapi::Guarded([&] {
        *lppSession = new emu::cemapi::SessionObject(pal::CurrentMachine());
        return S_OK;
    });
}
