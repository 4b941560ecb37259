#include "pal/processes.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

HANDLE OpenProcess(DWORD, BOOL, DWORD dwProcessId) {
    auto process = pal::CurrentMachine().FindProcess(dwProcessId);
    if (!process) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return pal::CurrentProcess().Handles().Add(process);
}

BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode) {
    auto process = pal::CurrentProcess().Handles().GetAs<pal::Process>(hProcess);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = process->ExitCode();
    return TRUE;
}
