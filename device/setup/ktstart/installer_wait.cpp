#include "installer_wait.h"

namespace {

const WCHAR kInstallerImage[] = W("wceload.exe");
const DWORD kWaitSlice = 15000;

LPCWSTR FileNamePart(LPCWSTR path) {
    LPCWSTR name = path;
    for (LPCWSTR p = path; *p; ++p)
        if (*p == W('\\')) name = p + 1;
    return name;
}

// The installer's process id in *id, or 0 when it does not run; FALSE without a process list.
BOOL FindInstaller(DWORD* id) {
    *id = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return FALSE;
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32First(snapshot, &entry); more;
         more = Process32Next(snapshot, &entry)) {
        if (_wcsicmp(FileNamePart(entry.szExeFile), kInstallerImage) == 0) {
            *id = entry.th32ProcessID;
            break;
        }
    }
    CloseToolhelp32Snapshot(snapshot);
    return TRUE;
}

// Presses OK on the installer's message box, when one is up.
void DismissInstallerDialog(DWORD installerId) {
    HWND foreground = GetForegroundWindow();
    for (HWND window = GetWindow(foreground, GW_HWNDFIRST); window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == foreground) continue;
        WCHAR className[32] = {};
        GetClassNameW(window, className, 32);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (_wcsicmp(className, W("Dialog")) == 0 && owner == installerId) {
            SendMessageW(window, WM_COMMAND, IDOK, 0);
            break;
        }
    }
}

}  // namespace

BOOL WaitForInstaller() {
    DWORD id = 0;
    if (!FindInstaller(&id)) return FALSE;
    if (!id) return TRUE;
    HANDLE installer = OpenProcess(PROCESS_ALL_ACCESS, FALSE, id);
    if (!installer) return TRUE;
    while (WaitForSingleObject(installer, kWaitSlice) == WAIT_TIMEOUT) DismissInstallerDialog(id);
    CloseHandle(installer);
    return TRUE;
}
