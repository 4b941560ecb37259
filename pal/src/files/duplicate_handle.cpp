#include "file_object.h"
#include "pal/handleapi.h"
#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

namespace {

const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

HANDLE GetCurrentProcess() { return kCurrentProcess; }

BOOL DuplicateHandle(HANDLE hSourceProcessHandle, HANDLE hSourceHandle, HANDLE hTargetProcessHandle,
                     LPHANDLE lpTargetHandle, DWORD dwDesiredAccess, BOOL bInheritHandle,
                     DWORD dwOptions) {
    (void)dwDesiredAccess;
    (void)bInheritHandle;
    if (hSourceProcessHandle != kCurrentProcess || hTargetProcessHandle != kCurrentProcess)
        return Fail(ERROR_INVALID_HANDLE);
    if (!lpTargetHandle) return Fail(ERROR_INVALID_PARAMETER);
    *lpTargetHandle = nullptr;
    if (!(dwOptions & DUPLICATE_SAME_ACCESS)) return Fail(ERROR_NOT_SUPPORTED);
    pal::Process& process = pal::CurrentProcess();
    auto object = process.Handles().Get(hSourceHandle);
    if (!object) return Fail(ERROR_INVALID_HANDLE);
    if (!std::dynamic_pointer_cast<pal::files::FileObject>(object))
        return Fail(ERROR_NOT_SUPPORTED);
    *lpTargetHandle = process.Handles().Add(std::move(object));
    if (dwOptions & DUPLICATE_CLOSE_SOURCE) CloseHandle(hSourceHandle);
    SetLastError(NO_ERROR);
    return TRUE;
}
