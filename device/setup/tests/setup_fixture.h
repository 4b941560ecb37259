// A device with the products the installation meets (contacts, the Inbox, the synchronization
// engine's keys), and helpers to run the launcher and wait for it.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "emu/configmgr/accounts.h"
#include "emu/inbox/inbox.h"
#include "emu/poom/contacts.h"
#include "emu/services/service_host.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/paths.h"
#include "pal_testing/temp_world.h"
#include "velumex_package.h"

class SetupTest : public ::testing::Test {
protected:
    explicit SetupTest(DWORD osMajor = 5) : m_world(pal::WorldOptions{osMajor, 0}) {
        emu::poom::Install(Device());
        inbox::InstallInbox(Device());
        pal::ScopedContext context(Device());
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Windows CE Services\\Synchronization\\Objects", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    }
    ~SetupTest() override { emu::services::ShutDown(Device()); }

    pal::Machine& Device() { return m_world.Device(); }
    std::filesystem::path Host(std::u16string_view path) {
        DWORD error = 0;
        return *pal::ResolvePath(Device(), path, error);
    }
    void SetValue(HKEY root, const char16_t* key, const char16_t* name, const std::u16string& text) {
        pal::ScopedContext context(Device());
        HKEY handle = nullptr;
        ASSERT_EQ(RegCreateKeyExW(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * 2));
        RegCloseKey(handle);
    }
    std::u16string GetValue(HKEY root, const char16_t* key, const char16_t* name) {
        pal::ScopedContext context(Device());
        WCHAR value[256] = {};
        DWORD size = sizeof(value) - 2;
        HKEY handle = nullptr;
        if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return u"<missing>";
        LONG status = RegQueryValueExW(handle, name, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(value), &size);
        RegCloseKey(handle);
        return status == ERROR_SUCCESS ? std::u16string(value) : u"<missing>";
    }
    bool KeyExists(HKEY root, const char16_t* key) {
        pal::ScopedContext context(Device());
        HKEY handle = nullptr;
        if (RegOpenKeyExW(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return false;
        RegCloseKey(handle);
        return true;
    }
    bool ServiceRunning() {
        for (const auto& service : emu::services::RegisteredServices(Device()))
            if (service.key == u"KTNotif") return service.running;
        return false;
    }
    std::u16string ReadUtf16(std::u16string_view path) {
        std::ifstream in(Host(path), std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return std::u16string(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
    }

    // Runs the launcher with `commandLine` until it ends.
    void RunLauncher(const char16_t* commandLine) {
        pal::InstallModule(Device(), std::filesystem::path(VELUMEX_MODULE_DIR) / "KTstart.so",
                           velumex_setup::kLauncherPath);
        pal::ScopedContext context(Device());
        PROCESS_INFORMATION info{};
        ASSERT_TRUE(CreateProcessW(velumex_setup::kLauncherPath, commandLine, nullptr, nullptr,
                                   FALSE, 0, nullptr, nullptr, nullptr, &info));
        ASSERT_EQ(WaitForSingleObject(info.hProcess, 60000), WAIT_OBJECT_0);
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    // Waits until no launcher at `path` runs any more.
    void WaitForLauncher(std::u16string_view path = velumex_setup::kLauncherPath) {
        pal::ScopedContext context(Device());
        for (int attempt = 0; attempt < 6000; ++attempt) {
            bool running = false;
            HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32W entry{};
            entry.dwSize = sizeof(entry);
            for (BOOL more = Process32FirstW(snapshot, &entry); more;
                 more = Process32NextW(snapshot, &entry))
                running = running || std::u16string_view(entry.szExeFile) == path;
            CloseToolhelp32Snapshot(snapshot);
            if (!running) return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "the launcher did not end";
    }

    pal::testing::TempWorld m_world;
};
