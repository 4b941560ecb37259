#include "pal/files.h"
#include "pal/storage.h"

HRESULT StgOpenStorage(const WCHAR* pwcsName, IStorage* pstgPriority, DWORD grfMode, SNB snbExclude,
                       DWORD reserved, IStorage** ppstgOpen) {
    (void)pstgPriority;
    (void)grfMode;
    (void)snbExclude;
    (void)reserved;
    if (!ppstgOpen) return STG_E_INVALIDPOINTER;
    *ppstgOpen = nullptr;
    if (!pwcsName) return STG_E_INVALIDNAME;
    if (GetFileAttributesW(pwcsName) == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_PATH_NOT_FOUND ? STG_E_PATHNOTFOUND : STG_E_FILENOTFOUND;
    return STG_E_INVALIDFUNCTION;
}

HRESULT StgCreateDocfile(const WCHAR* pwcsName, DWORD grfMode, DWORD reserved,
                         IStorage** ppstgOpen) {
    (void)pwcsName;
    (void)grfMode;
    (void)reserved;
    if (!ppstgOpen) return STG_E_INVALIDPOINTER;
    *ppstgOpen = nullptr;
    return STG_E_INVALIDFUNCTION;
}
