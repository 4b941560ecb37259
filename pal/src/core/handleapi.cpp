#include "pal/handleapi.h"

#include "pal/runtime/context.h"
#include "pal/runtime/process.h"

BOOL CloseHandle(HANDLE hObject) {
    pal::Process& process = pal::CurrentProcess();
    auto object = process.Handles().Get(hObject);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->OnHandleClosing(process, hObject);
    object->OnHandleClosed(process);
    process.Handles().Remove(hObject);
    return TRUE;
}
