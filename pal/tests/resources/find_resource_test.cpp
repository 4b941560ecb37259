#include <cstring>

#include "pal/runtime/machine.h"
#include "resources_fixture.h"

namespace pal::testing {
namespace {

using FindResourceTest = ResourcesTest;

TEST_F(FindResourceTest, FindsLoadsAndSizesResources) {
    HRSRC dialog = FindResourceA(m_module, MAKEINTRESOURCEA(IDD_MAIL_OPTIONS), RT_DIALOG);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(FindResourceA(m_module, "#138", RT_DIALOG), dialog);
    EXPECT_EQ(FindResourceW(m_module, MAKEINTRESOURCEW(138), MAKEINTRESOURCEW(5)), dialog);
    HGLOBAL loaded = LoadResource(m_module, dialog);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(LockResource(loaded), loaded);
    // Classic template: style DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION first.
    DWORD style;
    std::memcpy(&style, loaded, sizeof(style));
    EXPECT_EQ(style, 0x80C000C0u);
    EXPECT_GT(SizeofResource(m_module, dialog), 100u);

    HRSRC settings = FindResourceW(m_module, u"settings", MAKEINTRESOURCEW(10));
    ASSERT_NE(settings, nullptr);
    EXPECT_EQ(SizeofResource(m_module, settings), 8u);
    EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(m_module, settings))),
                 "english");
    HRSRC payload = FindResourceA(m_module, MAKEINTRESOURCEA(7), "Payload");
    ASSERT_NE(payload, nullptr);
    EXPECT_EQ(SizeofResource(m_module, payload), 2u);
}

TEST_F(FindResourceTest, TheMachineLanguageChoosesAmongCopies) {
    MachineConfig config = CurrentMachine().Config();
    config.locale = 0x0407;
    CurrentMachine().SetConfig(config);
    HRSRC settings = FindResourceA(m_module, "SETTINGS", RT_RCDATA);
    ASSERT_NE(settings, nullptr);
    EXPECT_STREQ(static_cast<const char*>(LockResource(LoadResource(m_module, settings))),
                 "deutsch");
}

TEST_F(FindResourceTest, MissingResourcesReportWhatIsMissing) {
    SetLastError(0);
    EXPECT_EQ(FindResourceA(m_module, MAKEINTRESOURCEA(138), RT_MENU), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_TYPE_NOT_FOUND});
    EXPECT_EQ(FindResourceA(m_module, MAKEINTRESOURCEA(139), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});
    EXPECT_EQ(FindResourceA(m_module, "NOSUCH", RT_RCDATA), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_NAME_NOT_FOUND});

    auto bogus = reinterpret_cast<HMODULE>(0x1234);
    EXPECT_EQ(FindResourceA(bogus, MAKEINTRESOURCEA(138), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});

    // A module without resources, and a process whose executable is not loaded.
    HMODULE bare = CurrentProcess()
                       .Get<ModuleTable>()
                       .Add(std::make_unique<Module>(nullptr, u"C:\\Bare.dll", "bare"))
                       ->Handle();
    EXPECT_EQ(FindResourceA(bare, MAKEINTRESOURCEA(138), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_DATA_NOT_FOUND});
    EXPECT_EQ(FindResourceA(nullptr, MAKEINTRESOURCEA(138), RT_DIALOG), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_RESOURCE_DATA_NOT_FOUND});

    // A resource handle must be one that FindResource gave for that module.
    HRSRC dialog = FindResourceA(m_module, MAKEINTRESOURCEA(138), RT_DIALOG);
    auto inside = reinterpret_cast<HRSRC>(reinterpret_cast<BYTE*>(dialog) + 4);
    EXPECT_EQ(LoadResource(m_module, inside), nullptr);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(SizeofResource(m_module, inside), 0u);
    EXPECT_EQ(SizeofResource(bare, dialog), 0u);
}

TEST_F(FindResourceTest, ANullModuleMeansTheProcessExecutable) {
    auto process = CurrentMachine().CreateProcess(u"C:\\Velumex\\Fixture.exe");
    ScopedContext inProcess(CurrentMachine(), process);
    LoadFixtureModule(u"C:\\Velumex\\Fixture.exe");
    HRSRC dialog = FindResourceA(nullptr, MAKEINTRESOURCEA(137), RT_DIALOG);
    ASSERT_NE(dialog, nullptr);
    EXPECT_NE(LoadResource(nullptr, dialog), nullptr);
}

}  // namespace
}  // namespace pal::testing
