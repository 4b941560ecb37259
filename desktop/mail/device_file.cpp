#include "device_file.h"

#include <algorithm>

BOOL WriteDevicePieces(HANDLE file, const BYTE* data, DWORD size, DeviceWriteCall write) {
    for (DWORD done = 0; done < size;) {
        const DWORD piece = std::min(size - done, DEVICE_WRITE_PIECE);
        DWORD written = 0;
        if (!write(file, data + done, piece, &written, nullptr) || written != piece) return FALSE;
        done += piece;
    }
    return TRUE;
}

BOOL WriteDeviceFile(LPCWSTR path, const BYTE* data, DWORD size) {
    // Write access, no sharing, replacing any file of that name.
    HANDLE file = CeCreateFile(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    BOOL written = WriteDevicePieces(file, data, size);
    return CeCloseHandle(file) && written;
}

BOOL DeviceTempFilePath(LPCWSTR name, LPWSTR path) {
    // The length of the directory without terminator, or the size needed when it does not fit.
    DWORD length = CeGetTempPath(MAX_PATH, path);
    if (length == 0 || length >= MAX_PATH) return FALSE;
    return PathAppendW(path, name);
}
