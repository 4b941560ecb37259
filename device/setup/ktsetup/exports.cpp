// The package installer's hooks around installation and removal. Each answers 0 (continue, or
// done) whatever happened.
#include <cedb.h>
#include <cfgmgrapi.h>
#include <service.h>
#include <setup_hooks.h>
#include <windows.h>

#include "../setup_names.h"
#include "launcher_path.h"

namespace {

HINSTANCE g_instance = nullptr;
const UINT kRemovalTemplate = 102;

void StopService() {
    WCHAR deviceName[] = SERVICE_DEVICE_NAME;
    HANDLE service = GetServiceHandle(deviceName, nullptr, nullptr);
    if (service != nullptr && service != INVALID_HANDLE_VALUE) DeregisterService(service);
}

void DeleteJournals() {
    CEGUID volume;
    WCHAR volumeFile[] = W("\\kestrin.vol");
    if (CeMountDBVol(&volume, volumeFile, OPEN_EXISTING)) {
        const WCHAR* names[] = {W("_notif_KT"), W("_notif_KTMSG")};
        for (const WCHAR* name : names) {
            WCHAR buffer[CEDB_MAXDBASENAMELEN] = {};
            lstrcpynW(buffer, name, CEDB_MAXDBASENAMELEN);
            CEOID oid = 0;
            HANDLE db = CeOpenDatabaseEx(&volume, &oid, buffer, 0, 0, nullptr);
            if (db == INVALID_HANDLE_VALUE) continue;
            CloseHandle(db);
            CeDeleteDatabaseEx(&volume, oid);
        }
        CeUnmountDBVol(&volume);
    }
    DeleteFileW(volumeFile);
}

}  // namespace

PAL_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_instance = instance;
    return TRUE;
}

PAL_EXPORT codeINSTALL_INIT Install_Init(HWND, BOOL, BOOL, LPCWSTR) {
    StopService();
    return codeINSTALL_INIT_CONTINUE;
}

PAL_EXPORT codeINSTALL_EXIT Install_Exit(HWND, LPCWSTR installDirectory, WORD, WORD, WORD, WORD,
                                         WORD) {
    WCHAR launcher[MAX_PATH] = {};
    if (LauncherPath(installDirectory, launcher))
        CreateProcessW(launcher, W("/email"), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                       nullptr, nullptr);
    return codeINSTALL_EXIT_DONE;
}

PAL_EXPORT codeUNINSTALL_INIT Uninstall_Init(HWND, LPCWSTR) {
    StopService();
    OSVERSIONINFO version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionEx(&version) && version.dwMajorVersion >= 5) return codeUNINSTALL_INIT_CONTINUE;
    auto templateText =
        reinterpret_cast<LPCWSTR>(LoadStringW(g_instance, kRemovalTemplate, nullptr, 0));
    if (templateText) {
        WCHAR document[1024] = {};
        wsprintfW(document, templateText, ACCOUNT_GUID);
        LPWSTR result = nullptr;
        DMProcessConfigXML(document, CFGFLAG_PROCESS, &result);
        delete[] result;
    }
    return codeUNINSTALL_INIT_CONTINUE;
}

PAL_EXPORT codeUNINSTALL_EXIT Uninstall_Exit(HWND) {
    DeleteJournals();
    return codeUNINSTALL_EXIT_DONE;
}
