#include <shellapi_ce.h>

BOOL SHGetSpecialFolderPath(HWND, LPWSTR lpszPath, int nFolder, BOOL fCreate) {
    if (!lpszPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LPCWSTR folder = nullptr;
    switch (nFolder) {
        case CSIDL_PROGRAMS: folder = u"\\Windows\\Start Menu\\Programs"; break;
        case CSIDL_PERSONAL: folder = u"\\My Documents"; break;
        case CSIDL_WINDOWS: folder = u"\\Windows"; break;
        case CSIDL_PROGRAM_FILES: folder = u"\\Program Files"; break;
        default: SetLastError(ERROR_INVALID_PARAMETER); return FALSE;
    }
    if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES &&
        (!fCreate || !CreateDirectoryW(folder, nullptr)))
        return FALSE;
    lstrcpyW(lpszPath, folder);
    return TRUE;
}
