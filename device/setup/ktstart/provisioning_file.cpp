#include "provisioning_file.h"

#include <cfgmgrapi.h>

#include <cstring>

namespace {

const WCHAR kProvisioningFile[] = W("\\VelumexSetup.xml");

// Reads the whole file into a zero-filled block two bytes larger than it; null when the file is
// too large or cannot be read whole. *size receives its length.
BYTE* ReadWholeFile(HANDLE file, DWORD* size) {
    *size = GetFileSize(file, nullptr);
    if (*size == INVALID_FILE_SIZE || *size > PROVISIONING_FILE_LIMIT) return nullptr;
    auto* data = static_cast<BYTE*>(LocalAlloc(LPTR, *size + 2));
    if (!data) return nullptr;
    DWORD total = 0;
    while (total < *size) {
        DWORD read = 0;
        if (!ReadFile(file, data + total, *size - total, &read, nullptr) || read == 0) {
            LocalFree(data);
            return nullptr;
        }
        total += read;
    }
    return data;
}

void Process(LPCWSTR text) {
    if (!text[0]) return;
    LPWSTR result = nullptr;
    DMProcessConfigXML(text, CFGFLAG_PROCESS, &result);
    delete[] result;
}

void ApplyText(const BYTE* data, DWORD size) {
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        // UTF-16LE: whole characters only; a trailing odd byte is dropped.
        DWORD units = (size - 2) / 2;
        auto* text = static_cast<LPWSTR>(LocalAlloc(LPTR, (units + 1) * sizeof(WCHAR)));
        if (!text) return;
        std::memcpy(text, data + 2, units * sizeof(WCHAR));
        Process(text);
        LocalFree(text);
        return;
    }
    int units = MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(data), static_cast<int>(size),
                                    nullptr, 0);
    if (units <= 0) return;
    auto* text = static_cast<LPWSTR>(LocalAlloc(LPTR, (units + 1) * sizeof(WCHAR)));
    if (!text) return;
    MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<LPCSTR>(data), static_cast<int>(size), text,
                        units);
    Process(text);
    LocalFree(text);
}

}  // namespace

void ApplyProvisioningFile() {
    if (GetFileAttributesW(kProvisioningFile) == INVALID_FILE_ATTRIBUTES) return;
    OSVERSIONINFO version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (GetVersionEx(&version) && version.dwMajorVersion >= 5) {
        HANDLE file = CreateFileW(kProvisioningFile, GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD size = 0;
            BYTE* data = ReadWholeFile(file, &size);
            CloseHandle(file);
            if (data) {
                ApplyText(data, size);
                LocalFree(data);
            }
        }
    }
    DeleteFileW(kProvisioningFile);
}
