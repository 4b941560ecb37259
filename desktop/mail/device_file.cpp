#include "device_file.h"

#include <algorithm>
#include <new>
#include <vector>

#include "mail_text.h"

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

DWORD WriteBodyFile(LPCSTR messageId, LPCSTR text, DWORD length) {
    const DWORD units = length + 1;
    WCHAR* body = new (std::nothrow) WCHAR[units]();
    if (!body) return 0;
    if (length) MultiByteToWideChar(CP_THREAD_ACP, 0, text, static_cast<int>(length), body, length);
    WCHAR path[MAX_PATH];
    std::u16string name = AnsiToWide(messageId);
    const DWORD bytes = units * sizeof(WCHAR);
    BOOL written = DeviceTempFilePath(name.c_str(), path) &&
                   WriteDeviceFile(path, reinterpret_cast<const BYTE*>(body), bytes);
    delete[] body;
    return written ? bytes : 0;
}

DWORD CopyFromDevice(LPCWSTR devicePath, LPCSTR desktopPath) {
    HANDLE source = CeCreateFile(devicePath, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (source == INVALID_HANDLE_VALUE) return 0;
    HANDLE target = CreateFileA(desktopPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (target == INVALID_HANDLE_VALUE) {
        CeCloseHandle(source);
        return 0;
    }
    std::vector<BYTE> piece(DEVICE_WRITE_PIECE);
    DWORD total = 0;
    bool copied = true;
    for (;;) {
        DWORD read = 0;
        if (!CeReadFile(source, piece.data(), DEVICE_WRITE_PIECE, &read, nullptr)) {
            copied = false;
            break;
        }
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(target, piece.data(), read, &written, nullptr) || written != read ||
            total > ~DWORD{0} - read) {
            copied = false;
            break;
        }
        total += read;
    }
    CeCloseHandle(source);
    copied = CloseHandle(target) && copied && total > 0;
    if (!copied) DeleteFileA(desktopPath);
    return copied ? total : 0;
}
