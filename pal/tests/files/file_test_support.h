// Helpers for the file tests: whole-file writes and reads through the file calls themselves.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "pal/files.h"
#include "pal/handleapi.h"
#include "pal_testing/temp_world.h"

namespace pal::testing {

// The calling thread's last error is `code`.
#define EXPECT_LAST_ERROR(code) EXPECT_EQ(GetLastError(), static_cast<DWORD>(code))

// Creates (or replaces) a file holding `bytes`.
inline void PutFile(const char16_t* path, const std::string& bytes) {
    HANDLE file =
        CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << "error " << GetLastError();
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
    ASSERT_EQ(written, bytes.size());
    ASSERT_TRUE(CloseHandle(file));
}

// The whole content of a file, or "<error N>" when it cannot be opened.
inline std::string GetFile(const char16_t* path) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<error " + std::to_string(GetLastError()) + ">";
    std::string bytes;
    char buffer[7];  // small on purpose: reads cross many buffer boundaries
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

inline ULONGLONG AsValue(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace pal::testing
