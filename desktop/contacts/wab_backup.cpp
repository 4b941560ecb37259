#include "wab_backup.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr DWORD kDefaultMaxBackups = 8;
constexpr char kPattern[] = "VelumexBackup.????????_??????_???.bak";
constexpr int kCounterLimit = 1000;

DWORD ReadMaxBackups() {
    DWORD limit = kDefaultMaxBackups;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Velumex", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return limit;
    DWORD value = 0;
    DWORD type = 0;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, "MaxBackups", nullptr, &type, reinterpret_cast<LPBYTE>(&value),
                         &size) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        limit = value;
    RegCloseKey(key);
    return limit;
}

}  // namespace

void BackUpAddressBook(LPCSTR bookPath) {
    DWORD limit = ReadMaxBackups();
    if (limit == 0 || !bookPath) return;
    // Backups live in the book's own folder: without a folder, or without the book, there is
    // nothing to copy and nothing is deleted.
    const char* slash = std::strrchr(bookPath, '\\');
    if (!slash || !slash[1] || GetFileAttributesA(bookPath) == INVALID_FILE_ATTRIBUTES) return;
    size_t folder = static_cast<size_t>(slash - bookPath) + 1;
    char name[MAX_PATH];
    // A name that would not fit the buffer is never made.
    if (folder + sizeof kPattern > sizeof name) return;
    std::memcpy(name, bookPath, folder);
    std::strcpy(name + folder, kPattern);

    char oldest[MAX_PATH] = {};
    FILETIME oldestTime = {};
    DWORD count = 0;
    WIN32_FIND_DATAA found = {};
    HANDLE search = FindFirstFileA(name, &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            ++count;
            if (!oldest[0] || CompareFileTime(&found.ftCreationTime, &oldestTime) < 0) {
                oldestTime = found.ftCreationTime;
                size_t length = std::strlen(found.cFileName);
                if (folder + length < sizeof oldest) {
                    std::memcpy(oldest, bookPath, folder);
                    std::memcpy(oldest + folder, found.cFileName, length + 1);
                }
            }
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }

    SYSTEMTIME now = {};
    GetLocalTime(&now);
    for (int counter = 0; counter < kCounterLimit; ++counter) {
        std::snprintf(name + folder, sizeof name - folder,
                      "VelumexBackup.%.2d%.2d%.4d_%.2d%.2d%.2d_%.3d.bak", now.wDay, now.wMonth,
                      now.wYear, now.wHour, now.wMinute, now.wSecond, counter);
        if (GetFileAttributesA(name) == INVALID_FILE_ATTRIBUTES) break;
    }
    // The copy first: the oldest backup goes only once the new one exists, and never when it is
    // the very file just overwritten.
    if (!CopyFileA(bookPath, name, FALSE)) return;
    if (count >= limit && oldest[0] && lstrcmpiA(oldest, name) != 0) DeleteFileA(oldest);
}
