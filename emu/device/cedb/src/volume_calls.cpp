// CeMountDBVol, CeUnmountDBVol, CeFlushDBVol.
#include <cedb.h>

#include "api_guard.h"
#include "cedb_state.h"
#include "pal/runtime/context.h"
#include "pal/runtime/paths.h"

using namespace emu::cedb;

BOOL CeMountDBVol(PCEGUID pceguid, LPWSTR lpszVol, DWORD dwFlags) {
    return Guarded<BOOL>(FALSE, [&] {
        if (!pceguid || !lpszVol || !*lpszVol) throw CedbError(ERROR_INVALID_PARAMETER);
        DWORD error = 0;
        auto file = pal::ResolvePath(pal::CurrentMachine(), lpszVol, error);
        if (!file) throw CedbError(error);
        *pceguid = CurrentState().Mount(*file, dwFlags);
        return TRUE;
    });
}

BOOL CeUnmountDBVol(PCEGUID pceguid) {
    return Guarded<BOOL>(FALSE, [&] {
        if (!pceguid) throw CedbError(ERROR_INVALID_PARAMETER);
        CurrentState().Unmount(*pceguid);
        return TRUE;
    });
}

BOOL CeFlushDBVol(PCEGUID pceguid) {
    return Guarded<BOOL>(FALSE, [&] {
        if (!pceguid)
            CurrentState().SyncAll();
        else
            CurrentState().VolumeOf(pceguid)->Sync();
        return TRUE;
    });
}
