#include "launcher_path.h"

#include <shellapi_ce.h>

BOOL JoinPath(LPCWSTR folder, LPCWSTR tail, LPWSTR path) {
    int folderLength = lstrlenW(folder);
    bool separator = folderLength > 0 && folder[folderLength - 1] != W('\\') && tail[0] != W('\\');
    if (folderLength + (separator ? 1 : 0) + lstrlenW(tail) >= MAX_PATH) return FALSE;
    lstrcpyW(path, folder);
    if (separator) lstrcatW(path, W("\\"));
    lstrcatW(path, tail);
    return TRUE;
}

BOOL LauncherPath(LPCWSTR installDirectory, LPWSTR path) {
    WCHAR programFiles[MAX_PATH] = {};
    if (SHGetSpecialFolderPath(nullptr, programFiles, CSIDL_PROGRAM_FILES, FALSE) &&
        JoinPath(programFiles, W("Velumex\\KTstart.exe"), path) &&
        GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return TRUE;
    // The package may have been installed elsewhere (a storage card): the launcher is then in
    // the package's own folder.
    if (installDirectory && installDirectory[0] && JoinPath(installDirectory, W("KTstart.exe"), path))
        return TRUE;
    return JoinPath(programFiles, W("Velumex\\KTstart.exe"), path);
}
