#include <windows.h>

#include "fixture_modules.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal_testing/temp_world.h"
#include "probe.h"

namespace pal {
namespace {

using testing::Install;

constexpr const char16_t* kCounter = u"C:\\Program Files\\Velumex\\Counter.dll";

class Library : public testing::DesktopTest {
protected:
    Library() {
        probe::Clear();
        Install("pal_fixture_counter", kCounter);
    }
};

std::u16string FileName(HMODULE module) {
    WCHAR buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    return std::u16string(buffer, length);
}

TEST_F(Library, DllMainAttachesOnceAndDetachesWhenTheLastReferenceGoes) {
    HMODULE first = LoadLibraryW(kCounter);
    ASSERT_NE(first, nullptr);
    HMODULE second = LoadLibraryA("c:\\PROGRAM FILES\\velumex\\.\\COUNTER.DLL");
    EXPECT_EQ(second, first);
    auto calls = probe::Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].reason, static_cast<DWORD>(DLL_PROCESS_ATTACH));
    EXPECT_EQ(calls[0].instance, first);
    EXPECT_FALSE(calls[0].reserved);
    // The module is known by its path while DllMain runs.
    EXPECT_EQ(calls[0].modulePath, kCounter);

    EXPECT_TRUE(FreeLibrary(first));
    EXPECT_EQ(probe::Calls().size(), 1u);
    EXPECT_EQ(GetModuleHandleW(u"counter"), first);
    EXPECT_TRUE(FreeLibrary(second));
    calls = probe::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_EQ(calls[1].modulePath, kCounter);
    EXPECT_FALSE(calls[1].reserved);
    EXPECT_EQ(GetModuleHandleW(u"counter"), nullptr);

    EXPECT_FALSE(FreeLibrary(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    // Loading again attaches again, with fresh globals.
    HMODULE again = LoadLibraryW(kCounter);
    auto increment = reinterpret_cast<int (*)()>(GetProcAddress(again, "Increment"));
    EXPECT_EQ(increment(), 1);
    EXPECT_EQ(probe::Calls().size(), 3u);
}

TEST_F(Library, ARefusingDllMainFailsTheLoadAndIsDetached) {
    Install("pal_fixture_refuser", u"C:\\Windows\\System32\\Refuser.dll");
    SetLastError(0);
    EXPECT_EQ(LoadLibraryW(u"Refuser.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DLL_INIT_FAILED));
    auto calls = probe::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].reason, static_cast<DWORD>(DLL_PROCESS_ATTACH));
    EXPECT_EQ(calls[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_EQ(calls[1].instance, calls[0].instance);
    EXPECT_EQ(GetModuleHandleW(u"Refuser.dll"), nullptr);
}

TEST_F(Library, MissingAndUnloadableFilesGiveTheirErrors) {
    DWORD error = 0;
    std::ofstream(*ResolvePath(CurrentMachine(), u"C:\\Windows\\Notes.dll", error))
        << "not a library";
    Install("pal_fixture_unresolved", u"C:\\Windows\\Unresolved.dll");
    struct Case {
        const char16_t* name;
        DWORD error;
    } cases[] = {
        {u"C:\\Program Files\\Velumex\\Missing.dll", ERROR_MOD_NOT_FOUND},
        {u"Missing.dll", ERROR_MOD_NOT_FOUND},
        {u"C:\\Windows", ERROR_MOD_NOT_FOUND},
        {u"C:\\Windows\\Notes.dll", ERROR_BAD_EXE_FORMAT},
        {u"Unresolved", ERROR_PROC_NOT_FOUND},
    };
    for (auto& c : cases) {
        SetLastError(0);
        EXPECT_EQ(LoadLibraryW(c.name), nullptr) << U8(c.name);
        EXPECT_EQ(GetLastError(), c.error) << U8(c.name);
    }
    EXPECT_EQ(LoadLibraryA(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(Library, GetProcAddressFindsOnlyTheModulesOwnExports) {
    HMODULE module = LoadLibraryW(kCounter);
    ASSERT_NE(module, nullptr);
    auto increment = reinterpret_cast<int (*)()>(GetProcAddress(module, "Increment"));
    ASSERT_NE(increment, nullptr);
    EXPECT_EQ(increment(), 1);
    EXPECT_EQ(increment(), 2);
    // Unknown names, hidden functions, symbols of libraries it uses, ordinals.
    for (const char* name : {"Nope", "_Z6Hiddenv", "LoadLibraryA", "malloc"}) {
        SetLastError(0);
        EXPECT_EQ(GetProcAddress(module, name), nullptr) << name;
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND)) << name;
    }
    EXPECT_EQ(GetProcAddress(module, reinterpret_cast<LPCSTR>(1)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
    EXPECT_EQ(GetProcAddress(reinterpret_cast<HMODULE>(0x1234), "Increment"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(Library, GetModuleFileNameTruncatesWithATerminator) {
    HMODULE module = LoadLibraryW(kCounter);
    std::u16string path = kCounter;
    DWORD length = static_cast<DWORD>(path.size());
    WCHAR wide[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameW(module, wide, length + 1), length);
    EXPECT_EQ(std::u16string(wide), path);

    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(module, wide, length), length);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(std::u16string(wide), path.substr(0, length - 1));

    wide[0] = u'x';
    EXPECT_EQ(GetModuleFileNameW(module, wide, 0), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(wide[0], u'x');

    char narrow[4];
    EXPECT_EQ(GetModuleFileNameA(module, narrow, sizeof narrow), 4u);
    EXPECT_STREQ(narrow, "C:\\");

    SetLastError(0);
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), wide, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(Library, AnsiNamesUseTheDesktopCodePage) {
    Install("pal_fixture_plain", u"C:\\Programme\\\u00DCbung\\Plain.dll");
    HMODULE module = LoadLibraryA(
        "C:\\Programme\\\xDC"
        "bung\\plain");
    ASSERT_NE(module, nullptr);
    char narrow[MAX_PATH];
    DWORD length = GetModuleFileNameA(module, narrow, MAX_PATH);
    EXPECT_EQ(std::string(narrow, length),
              "C:\\Programme\\\xDC"
              "bung\\plain.dll");
    EXPECT_EQ(GetModuleHandleA("PLAIN.DLL"), module);
}

TEST_F(Library, GetModuleHandleFindsLoadedModulesWithoutAddingReferences) {
    auto process = CurrentMachine().CreateProcess(u"C:\\Tools\\Host.exe");
    ScopedContext context(CurrentMachine(), process);
    HMODULE exe = GetModuleHandleW(nullptr);
    ASSERT_NE(exe, nullptr);
    EXPECT_EQ(GetModuleHandleA(nullptr), exe);
    EXPECT_EQ(FileName(exe), u"C:\\Tools\\Host.exe");
    EXPECT_EQ(FileName(nullptr), u"C:\\Tools\\Host.exe");
    EXPECT_EQ(GetModuleHandleW(u"host.EXE"), exe);
    EXPECT_TRUE(FreeLibrary(exe));  // the executable stays
    EXPECT_EQ(GetModuleHandleW(nullptr), exe);
    EXPECT_EQ(GetProcAddress(nullptr, "Increment"), nullptr);

    EXPECT_EQ(GetModuleHandleW(u"Counter.dll"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
    HMODULE module = LoadLibraryW(kCounter);
    EXPECT_EQ(GetModuleHandleW(u"counter"), module);
    EXPECT_EQ(GetModuleHandleW(u"COUNTER.DLL"), module);
    EXPECT_EQ(GetModuleHandleW(u"c:\\program files\\velumex\\counter.dll"), module);
    EXPECT_EQ(GetModuleHandleW(u"C:\\Windows\\counter.dll"), nullptr);
    EXPECT_TRUE(DisableThreadLibraryCalls(module));
    EXPECT_FALSE(DisableThreadLibraryCalls(reinterpret_cast<HMODULE>(0x1234)));
    EXPECT_TRUE(FreeLibrary(module));  // one load, one free: unloaded
    EXPECT_EQ(GetModuleHandleW(u"counter"), nullptr);
    EXPECT_EQ(probe::Calls().size(), 2u);
}

TEST_F(Library, TearingDownAProcessDetachesItsLibraries) {
    auto process = CurrentMachine().CreateProcess(u"C:\\Tools\\Sync.exe");
    HMODULE module;
    {
        ScopedContext context(CurrentMachine(), process);
        module = LoadLibraryW(kCounter);
        LoadLibraryW(kCounter);
        ASSERT_NE(module, nullptr);
    }
    CurrentMachine().RemoveProcess(process->Id());
    process.reset();
    auto calls = probe::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_EQ(calls[1].instance, module);
    EXPECT_TRUE(calls[1].reserved);  // process termination
    // It ran in the dying process, which still knew the module.
    EXPECT_EQ(calls[1].processPath, u"C:\\Tools\\Sync.exe");
    EXPECT_EQ(calls[1].modulePath, kCounter);
}

// A terminating process detaches its libraries while its handles are still open, then closes
// them, leaves the machine and releases its waiters; so does every process of a machine that
// shuts down.
TEST_F(Library, EndingAProcessDetachesItsLibrariesBeforeItsHandlesClose) {
    auto process = CurrentMachine().CreateProcess(u"C:\\Tools\\Sync.exe");
    {
        ScopedContext context(CurrentMachine(), process);
        ASSERT_NE(LoadLibraryW(kCounter), nullptr);
        ASSERT_NE(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr);
    }
    EndProcess(*process, 3);
    auto calls = probe::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_TRUE(calls[1].reserved);
    EXPECT_EQ(calls[1].processPath, u"C:\\Tools\\Sync.exe");
    EXPECT_EQ(calls[1].openHandles, 1u);
    EXPECT_EQ(process->Handles().Count(), 0u);
    EXPECT_TRUE(process->HasExited());
    EXPECT_EQ(process->ExitCode(), 3u);
    EXPECT_EQ(CurrentMachine().FindProcess(process->Id()), nullptr);
}

TEST(MachineShutdown, DetachesLibrariesBeforeClosingHandles) {
    probe::Clear();
    testing::TempWorld world;
    auto process = world.Desktop().CreateProcess(u"C:\\Tools\\Sync.exe");
    {
        ScopedContext context(world.Desktop(), process);
        testing::Install("pal_fixture_counter", kCounter);
        ASSERT_NE(LoadLibraryW(kCounter), nullptr);
        ASSERT_NE(CreateEventW(nullptr, TRUE, FALSE, nullptr), nullptr);
    }
    process.reset();
    world.Desktop().Shutdown();
    auto calls = probe::Calls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].reason, static_cast<DWORD>(DLL_PROCESS_DETACH));
    EXPECT_EQ(calls[1].processPath, u"C:\\Tools\\Sync.exe");
    EXPECT_EQ(calls[1].openHandles, 1u);
}

}  // namespace
}  // namespace pal
