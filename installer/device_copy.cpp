#include "device_copy.h"

#include <rapi.h>

namespace {

constexpr DWORD kBlockSize = 1024;

}  // namespace

BOOL CopyFileToDeviceFile(LPCSTR localPath, LPCWSTR devicePath) {
    HANDLE local = CreateFileA(localPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (local == INVALID_HANDLE_VALUE) return FALSE;
    HANDLE remote = CeCreateFile(devicePath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (remote == INVALID_HANDLE_VALUE) {
        CloseHandle(local);
        return FALSE;
    }
    BOOL complete = FALSE;
    auto* block = static_cast<BYTE*>(LocalAlloc(LPTR, kBlockSize));
    if (block) {
        for (;;) {
            DWORD read = 0;
            if (!ReadFile(local, block, kBlockSize, &read, nullptr)) break;
            if (read == 0) {
                complete = TRUE;
                break;
            }
            DWORD written = 0;
            if (!CeWriteFile(remote, block, read, &written, nullptr) || written != read) break;
        }
        LocalFree(block);
    }
    CeCloseHandle(remote);
    CloseHandle(local);
    if (!complete) CeDeleteFile(devicePath);
    return complete;
}
