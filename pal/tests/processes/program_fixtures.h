// Installing the fixture programs into the test's world and reading what they recorded.
#pragma once

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pal/runtime/context.h"
#include "pal/runtime/module_install.h"

namespace pal::testing {

inline constexpr const char16_t* kFixtureKey = u"Software\\ProcessFixture";

// Installs the fixture module `name` at `windowsPath` of the current machine.
inline void InstallProgram(const std::string& name, std::u16string_view windowsPath) {
    InstallModule(CurrentMachine(), std::filesystem::path(VELUMEX_MODULE_DIR) / (name + ".so"),
                  windowsPath);
}

inline std::optional<std::u16string> RecordedText(const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kFixtureKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    WCHAR text[MAX_PATH * 2] = {};
    DWORD size = sizeof text - sizeof(WCHAR), type = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::u16string(text);
}

inline std::optional<DWORD> RecordedDword(const char16_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kFixtureKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD value = 0, size = sizeof value, type = 0;
    LONG result =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || type != REG_DWORD) return std::nullopt;
    return value;
}

// The exit code the recorder program returns.
inline void SetRecorderExitCode(DWORD code) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kFixtureKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, u"ExitCode", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&code),
                   sizeof code);
    RegCloseKey(key);
}

// The process's exit code once it has ended.
inline DWORD ExitCodeAfterEnd(HANDLE process) {
    EXPECT_EQ(WaitForSingleObject(process, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(process, &code));
    return code;
}

inline void CloseBoth(const PROCESS_INFORMATION& info) {
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(CloseHandle(info.hProcess));
}

struct Listed {
    DWORD id;
    DWORD parentId;
    DWORD threads;
    std::u16string exeFile;
};

// Every process a new snapshot lists, walked as a program would.
inline std::vector<Listed> ListProcesses() {
    std::vector<Listed> listed;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        listed.push_back(
            {entry.th32ProcessID, entry.th32ParentProcessID, entry.cntThreads, entry.szExeFile});
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
    return listed;
}

inline std::optional<Listed> FindListed(DWORD id) {
    for (auto& process : ListProcesses())
        if (process.id == id) return process;
    return std::nullopt;
}

}  // namespace pal::testing
