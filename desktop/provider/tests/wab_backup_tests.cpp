// Backups of the address-book file: names, the cap, the counter within one second, and what is
// left alone when the book or its folder is missing.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal_testing/temp_world.h"
#include "wab_backup.h"

namespace trellium_testing {
namespace {

constexpr char kBook[] = "C:\\Books\\User.wab";

class WabBackupTest : public pal::testing::DesktopTest {
protected:
    WabBackupTest() {
        // 6 December 2026, 16:19:35 UTC on the desktop's clock.
        m_world.Desktop().FreezeClock(134094131750000000ull);
        CreateDirectoryA("C:\\Books", nullptr);
        Write(kBook, "book");
    }
    void Write(const char* path, const std::string& text) {
        HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(file);
    }
    void SetMax(DWORD limit) {
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Quorvane\\Velumex", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, "MaxBackups", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&limit), 4);
        RegCloseKey(key);
    }
    std::vector<std::string> Backups() {
        std::vector<std::string> names;
        WIN32_FIND_DATAA found = {};
        HANDLE search = FindFirstFileA("C:\\Books\\VelumexBackup.*", &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(WabBackupTest, BackupsInOneSecondAreCountedAndCappedByDeletingTheOldest) {
    SYSTEMTIME local = {};
    GetLocalTime(&local);
    char stem[64];
    std::snprintf(stem, sizeof stem, "VelumexBackup.%.2d%.2d%.4d_%.2d%.2d%.2d_", local.wDay,
                  local.wMonth, local.wYear, local.wHour, local.wMinute, local.wSecond);
    SetMax(3);
    BackUpAddressBook(kBook);
    BackUpAddressBook(kBook);
    BackUpAddressBook(kBook);
    std::vector<std::string> three = {std::string(stem) + "000.bak", std::string(stem) + "001.bak",
                                      std::string(stem) + "002.bak"};
    EXPECT_EQ(Backups(), three);
    // A stranger created before all of them is the oldest and goes first.
    m_world.Desktop().FreezeClock(125000000000000000ull);
    Write("C:\\Books\\VelumexBackup.01011999_000000_000.bak", "old");
    m_world.Desktop().FreezeClock(134094131760000000ull);
    BackUpAddressBook(kBook);
    std::vector<std::string> after = Backups();
    EXPECT_EQ(after.size(), 4u);
    EXPECT_EQ(std::count(after.begin(), after.end(), "VelumexBackup.01011999_000000_000.bak"), 0);
}

TEST_F(WabBackupTest, NothingHappensWithoutBackupsBookOrFolder) {
    SetMax(0);
    BackUpAddressBook(kBook);
    EXPECT_TRUE(Backups().empty());
    SetMax(1);
    Write("C:\\Books\\VelumexBackup.01011999_000000_000.bak", "old");
    // The only backup is kept when there is no book to copy, or no folder to find it in.
    BackUpAddressBook("C:\\Books\\Missing.wab");
    BackUpAddressBook("User.wab");
    BackUpAddressBook("");
    EXPECT_EQ(Backups().size(), 1u);
    BackUpAddressBook(kBook);
    EXPECT_EQ(Backups().size(), 1u);
    EXPECT_NE(Backups()[0], "VelumexBackup.01011999_000000_000.bak");
}

}  // namespace
}  // namespace trellium_testing
