#include "apartment.h"

#include "pal/com.h"

namespace {

// COM state of a thread: how many successful initialisations are still to be balanced, and the
// concurrency model they chose.
struct Apartment {
    int count = 0;
    bool multithreaded = false;
};

thread_local Apartment t_apartment;

constexpr DWORD kKnownFlags =
    COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE | COINIT_SPEED_OVER_MEMORY;

}  // namespace

namespace pal {

bool IsComInitialized() { return t_apartment.count > 0; }

}  // namespace pal

HRESULT CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
    if (pvReserved || (dwCoInit & ~kKnownFlags)) return E_INVALIDARG;
    bool multithreaded = !(dwCoInit & COINIT_APARTMENTTHREADED);
    if (t_apartment.count > 0) {
        if (t_apartment.multithreaded != multithreaded) return RPC_E_CHANGED_MODE;
        ++t_apartment.count;
        return S_FALSE;
    }
    t_apartment = {1, multithreaded};
    return S_OK;
}

HRESULT CoInitialize(LPVOID pvReserved) {
    return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    if (t_apartment.count > 0) --t_apartment.count;
}
