#include <windows.h>

#include "fixture_modules.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"
#include "probe.h"

namespace pal {
namespace {

using testing::Install;

std::u16string FileName(HMODULE module) {
    WCHAR buffer[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, buffer, MAX_PATH);
    return std::u16string(buffer, length);
}

// Bare names are searched in a process whose executable lives in C:\App.
class Search : public testing::DesktopTest {
protected:
    Search() : m_process(CurrentMachine().CreateProcess(u"C:\\App\\Host.exe")) {
        m_processContext.emplace(CurrentMachine(), m_process);
    }
    ~Search() override { m_processContext.reset(); }

    // The path a bare name loads from, unloading it again.
    std::u16string LoadedFrom(const char16_t* name) {
        HMODULE module = LoadLibraryW(name);
        if (!module) return u"error " + U16(std::to_string(GetLastError()));
        std::u16string path = FileName(module);
        FreeLibrary(module);
        return path;
    }

    std::shared_ptr<Process> m_process;
    std::optional<ScopedContext> m_processContext;
};

TEST_F(Search, ExecutableFolderThenSystemThenWindows) {
    EXPECT_EQ(LoadedFrom(u"Plain.dll"), u"error 126");
    Install("pal_fixture_plain", u"C:\\Windows\\Plain.dll");
    EXPECT_EQ(LoadedFrom(u"plain"), u"C:\\Windows\\plain.dll");
    Install("pal_fixture_plain", u"C:\\Windows\\System32\\Plain.dll");
    EXPECT_EQ(LoadedFrom(u"PLAIN.DLL"), u"C:\\Windows\\System32\\PLAIN.DLL");
    Install("pal_fixture_plain", u"C:\\App\\Plain.dll");
    EXPECT_EQ(LoadedFrom(u"Plain.dll"), u"C:\\App\\Plain.dll");
    // Neither the current directory nor other folders are searched.
    Install("pal_fixture_plain", u"C:\\Elsewhere\\Other.dll");
    CurrentProcess().SetCurrentDirectory(u"C:\\Elsewhere");
    EXPECT_EQ(LoadedFrom(u"Other.dll"), u"error 126");
    EXPECT_EQ(LoadedFrom(u"Other"), u"error 126");
    // A trailing dot asks for a file without extension.
    Install("pal_fixture_plain", u"C:\\App\\NoExt");
    EXPECT_EQ(LoadedFrom(u"NoExt."), u"C:\\App\\NoExt");
    EXPECT_EQ(LoadedFrom(u"NoExt"), u"error 126");
}

TEST_F(Search, RelativePathsStartAtTheCurrentDirectory) {
    Install("pal_fixture_plain", u"C:\\Elsewhere\\Sub\\Plain.dll");
    CurrentProcess().SetCurrentDirectory(u"C:\\Elsewhere");
    EXPECT_EQ(LoadedFrom(u"Sub\\Plain.dll"), u"C:\\Elsewhere\\Sub\\Plain.dll");
}

TEST_F(Search, ALoadedModuleOfThatNameComesFirst) {
    Install("pal_fixture_plain", u"C:\\Other\\Plain.dll");
    Install("pal_fixture_plain", u"C:\\App\\Plain.dll");
    HMODULE other = LoadLibraryW(u"C:\\Other\\Plain.dll");
    HMODULE byName = LoadLibraryW(u"plain.dll");
    EXPECT_EQ(byName, other);
    // Two references now: the first free leaves it loaded.
    FreeLibrary(byName);
    EXPECT_EQ(GetModuleHandleW(u"Plain.dll"), other);
    FreeLibrary(other);
    EXPECT_EQ(LoadedFrom(u"Plain.dll"), u"C:\\App\\Plain.dll");
}

TEST_F(Search, TheCallingModulesFolderComesBeforeTheExecutables) {
    Install("pal_fixture_counter", u"C:\\Lib\\Counter.dll");
    Install("pal_fixture_plain", u"C:\\Lib\\Plain.dll");
    Install("pal_fixture_plain", u"C:\\App\\Plain.dll");
    HMODULE counter = LoadLibraryW(u"C:\\Lib\\Counter.dll");
    auto loadFromCounter =
        reinterpret_cast<HMODULE (*)(LPCSTR)>(GetProcAddress(counter, "LoadFromCounter"));
    ASSERT_NE(loadFromCounter, nullptr);
    HMODULE fromLib = loadFromCounter("Plain.dll");
    EXPECT_EQ(FileName(fromLib), u"C:\\Lib\\Plain.dll");
    FreeLibrary(fromLib);
    EXPECT_EQ(LoadedFrom(u"Plain.dll"), u"C:\\App\\Plain.dll");
}

TEST(DeviceSearch, BareNamesFallBackToTheWindowsFolder) {
    testing::TempWorld world;
    ScopedContext context(world.Device());
    Install("pal_fixture_plain", u"\\Windows\\Plain.dll");
    HMODULE module = LoadLibraryW(u"plain");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(FileName(module), u"\\Windows\\plain.dll");
    EXPECT_EQ(LoadLibraryW(u"C:\\Windows\\Plain.dll"), nullptr);
}

// Calls the counter's Increment in `process` of `machine`, loading it from `path`.
int IncrementIn(Machine& machine, std::shared_ptr<Process> process, const char16_t* path) {
    ScopedContext context(machine, std::move(process));
    HMODULE module = LoadLibraryW(path);
    if (!module) return -1;
    return reinterpret_cast<int (*)()>(GetProcAddress(module, "Increment"))();
}

TEST(Sharing, ProcessesOfAMachineShareALibraryAndMachinesDoNot) {
    probe::Clear();
    testing::TempWorld world;
    Machine& desktop = world.Desktop();
    Machine& device = world.Device();
    InstallModule(desktop, testing::FixtureFile("pal_fixture_counter"), u"C:\\Lib\\Counter.dll");
    InstallModule(device, testing::FixtureFile("pal_fixture_counter"), u"\\Windows\\Counter.dll");
    auto first = desktop.CreateProcess(u"C:\\App\\One.exe");
    auto second = desktop.CreateProcess(u"C:\\App\\Two.exe");
    EXPECT_EQ(IncrementIn(desktop, first, u"C:\\Lib\\Counter.dll"), 1);
    EXPECT_EQ(IncrementIn(desktop, second, u"C:\\Lib\\Counter.dll"), 2);
    EXPECT_EQ(IncrementIn(device, nullptr, u"\\Windows\\Counter.dll"), 1);
    EXPECT_EQ(IncrementIn(desktop, first, u"C:\\Lib\\Counter.dll"), 3);
    // Each process attached once, with a handle of its own.
    auto calls = probe::Calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].processPath, u"C:\\App\\One.exe");
    EXPECT_EQ(calls[1].processPath, u"C:\\App\\Two.exe");
    EXPECT_NE(calls[0].instance, calls[1].instance);
    EXPECT_EQ(calls[2].modulePath, u"\\Windows\\Counter.dll");
}

}  // namespace
}  // namespace pal
