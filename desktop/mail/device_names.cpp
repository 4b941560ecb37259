#include "device_names.h"

#include <rapi.h>

BOOL IsBareFileName(LPCWSTR name) {
    if (!name || !*name) return FALSE;
    size_t length = 0;
    for (; name[length]; ++length) {
        if (length >= MAX_PATH - 1) return FALSE;
        WCHAR unit = name[length];
        if (unit == u'\\' || unit == u'/' || unit == u':') return FALSE;
    }
    if (name[0] == u'.' && (length == 1 || (length == 2 && name[1] == u'.'))) return FALSE;
    return TRUE;
}

BOOL IsDeviceTempFile(LPCWSTR path) {
    if (!path) return FALSE;
    WCHAR temp[MAX_PATH] = {};
    DWORD length = CeGetTempPath(MAX_PATH, temp);
    if (length == 0 || length >= MAX_PATH) return FALSE;
    // The directory with its separator, so that "\Temp2\x" is not taken for "\Temp\" + "2\x".
    if (temp[length - 1] != u'\\') {
        if (length + 1 >= MAX_PATH) return FALSE;
        temp[length++] = u'\\';
        temp[length] = 0;
    }
    if (wcslen(path) <= length || _wcsnicmp(path, temp, length) != 0) return FALSE;
    return IsBareFileName(path + length);
}
