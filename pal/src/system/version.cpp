#include <algorithm>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/system.h"

namespace {

template <class Info>
BOOL FillVersion(Info* info) {
    if (!info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (info->dwOSVersionInfoSize != sizeof(Info)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    pal::OsVersion os = pal::CurrentMachine().Config().os;
    info->dwMajorVersion = os.major;
    info->dwMinorVersion = os.minor;
    info->dwBuildNumber = os.build;
    info->dwPlatformId = os.platformId;
    std::fill(std::begin(info->szCSDVersion), std::end(info->szCSDVersion), 0);
    return TRUE;
}

}  // namespace

BOOL GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
    return FillVersion(lpVersionInformation);
}

BOOL GetVersionExW(LPOSVERSIONINFOW lpVersionInformation) {
    return FillVersion(lpVersionInformation);
}
