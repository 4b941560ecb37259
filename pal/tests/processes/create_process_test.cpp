#include <windows.h>

#include <filesystem>
#include <fstream>

#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"
#include "program_fixtures.h"

namespace pal {
namespace {

using testing::ExitCodeAfterEnd;
using testing::RecordedDword;
using testing::RecordedText;

constexpr const char16_t* kRecorder = u"\\Windows\\Recorder.exe";

class CreateProcessTest : public testing::DeviceTest {
protected:
    void SetUp() override { testing::InstallProgram("pal_program_recorder", kRecorder); }

    // Starts a program and returns its exit code once it has ended.
    DWORD Run(LPCWSTR application, LPCWSTR commandLine) {
        PROCESS_INFORMATION info = {};
        EXPECT_TRUE(CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, nullptr, &info))
            << GetLastError();
        DWORD code = ExitCodeAfterEnd(info.hProcess);
        testing::CloseBoth(info);
        return code;
    }
};

TEST_F(CreateProcessTest, ProgramRunsInItsOwnProcessWithTheArgumentsAsGiven) {
    testing::SetRecorderExitCode(42);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(kRecorder, u"/email", nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               nullptr, &info));
    EXPECT_NE(info.dwProcessId, GetCurrentProcessId());
    EXPECT_NE(info.dwThreadId, GetCurrentThreadId());
    EXPECT_EQ(ExitCodeAfterEnd(info.hProcess), 42u);
    // The main thread ends with WinMain's result too.
    EXPECT_EQ(WaitForSingleObject(info.hThread, INFINITE), WAIT_OBJECT_0);
    DWORD threadCode = 0;
    EXPECT_TRUE(GetExitCodeThread(info.hThread, &threadCode));
    EXPECT_EQ(threadCode, 42u);

    // On the device the command line given with an application name is all WinMain sees.
    EXPECT_EQ(RecordedText(u"CommandLine"), u"/email");
    EXPECT_EQ(RecordedText(u"ModuleFileName"), kRecorder);
    EXPECT_EQ(RecordedText(u"InstanceFileName"), kRecorder);
    EXPECT_EQ(RecordedDword(u"InstanceIsExecutable"), 1u);
    EXPECT_EQ(RecordedDword(u"HasPreviousInstance"), 0u);
    EXPECT_EQ(RecordedDword(u"ProcessId"), info.dwProcessId);
    testing::CloseBoth(info);
}

TEST_F(CreateProcessTest, ProgramNamedByTheCommandLineSeesOnlyWhatFollowsIt) {
    testing::InstallProgram("pal_program_recorder", u"\\Program Files\\Velumex App\\Rec.exe");
    // Quoted because of the space; ".exe" is added to the name.
    Run(nullptr, u"  \"\\Program Files\\Velumex App\\Rec\"   one  \"two three\"");
    EXPECT_EQ(RecordedText(u"CommandLine"), u"one  \"two three\"");
    EXPECT_EQ(RecordedText(u"ModuleFileName"), u"\\Program Files\\Velumex App\\Rec.exe");

    // Unquoted, the name ends at the first blank; the name's case is not the file's.
    Run(nullptr, u"\\windows\\recorder.exe\t/x");
    EXPECT_EQ(RecordedText(u"CommandLine"), u"/x");
    EXPECT_EQ(RecordedText(u"ModuleFileName"), u"\\windows\\recorder.exe");

    // No arguments at all.
    Run(nullptr, u"\"\\Windows\\Recorder.exe\"");
    EXPECT_EQ(RecordedText(u"CommandLine"), u"");
    Run(kRecorder, nullptr);
    EXPECT_EQ(RecordedText(u"CommandLine"), u"");
}

TEST_F(CreateProcessTest, EachRunIsANewProcessWithItsOwnExitCode) {
    testing::SetRecorderExitCode(7);
    EXPECT_EQ(Run(kRecorder, nullptr), 7u);
    DWORD first = *RecordedDword(u"ProcessId");
    testing::SetRecorderExitCode(0xC0000005);
    EXPECT_EQ(Run(kRecorder, nullptr), 0xC0000005u);
    EXPECT_NE(*RecordedDword(u"ProcessId"), first);
}

TEST_F(CreateProcessTest, NoProcessInformationIsAccepted) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, u"NoInfoGo");
    testing::InstallProgram("pal_program_waiter", u"\\Windows\\Waiter.exe");
    ASSERT_TRUE(CreateProcessW(u"\\Windows\\Waiter.exe", u"NoInfoGo", nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, nullptr, nullptr));
    auto id = RecordedDword(u"AttachedTo");
    ASSERT_TRUE(id.has_value());
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, *id);
    ASSERT_NE(process, nullptr);
    EXPECT_TRUE(SetEvent(go));
    EXPECT_EQ(ExitCodeAfterEnd(process), 3u);
    EXPECT_TRUE(CloseHandle(process));
    EXPECT_TRUE(CloseHandle(go));
}

TEST_F(CreateProcessTest, MissingProgramsAndNonProgramsAreRefused) {
    auto refused = [](LPCWSTR application, LPCWSTR commandLine) {
        PROCESS_INFORMATION info = {};
        SetLastError(0);
        EXPECT_FALSE(CreateProcessW(application, commandLine, nullptr, nullptr, FALSE, 0, nullptr,
                                    nullptr, nullptr, &info));
        EXPECT_EQ(info.hProcess, nullptr);
        return GetLastError();
    };
    GetCurrentProcessId();  // the test's own process exists from here on
    size_t before = CurrentMachine().Processes().size();
    EXPECT_EQ(refused(u"\\Windows\\Missing.exe", nullptr),
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(refused(nullptr, u"\\Windows\\Missing /x"), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(refused(u"\\Nowhere\\Recorder.exe", nullptr),
              static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    DWORD error = 0;
    std::filesystem::create_directories(
        *ResolvePath(CurrentMachine(), u"\\Windows\\Folder.exe", error));
    EXPECT_EQ(refused(u"\\Windows\\Folder.exe", nullptr), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // A library without WinMain, and a file that is no library at all.
    testing::InstallProgram("pal_program_none", u"\\Windows\\Library.exe");
    EXPECT_EQ(refused(u"\\Windows\\Library.exe", nullptr),
              static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    std::ofstream(*ResolvePath(CurrentMachine(), u"\\Windows\\Text.exe", error)) << "not a program";
    EXPECT_EQ(refused(u"\\Windows\\Text.exe", nullptr), static_cast<DWORD>(ERROR_BAD_EXE_FORMAT));
    // Refused programs leave no process behind.
    EXPECT_EQ(CurrentMachine().Processes().size(), before);
}

TEST_F(CreateProcessTest, UnsupportedArgumentsAreRefused) {
    auto refused = [](LPCWSTR application, LPCWSTR commandLine, BOOL inherit, DWORD flags,
                      LPVOID environment, LPCWSTR directory) {
        PROCESS_INFORMATION info = {};
        SetLastError(0);
        EXPECT_FALSE(CreateProcessW(application, commandLine, nullptr, nullptr, inherit, flags,
                                    environment, directory, nullptr, &info));
        return GetLastError();
    };
    const DWORD invalid = ERROR_INVALID_PARAMETER;
    char environment[] = "A=1\0";
    EXPECT_EQ(refused(nullptr, nullptr, FALSE, 0, nullptr, nullptr), invalid);
    EXPECT_EQ(refused(nullptr, u"   ", FALSE, 0, nullptr, nullptr), invalid);
    EXPECT_EQ(refused(u"", u"/x", FALSE, 0, nullptr, nullptr), invalid);
    EXPECT_EQ(refused(kRecorder, nullptr, TRUE, 0, nullptr, nullptr), invalid);
    EXPECT_EQ(refused(kRecorder, nullptr, FALSE, 0x4 /* suspended */, nullptr, nullptr), invalid);
    EXPECT_EQ(refused(kRecorder, nullptr, FALSE, 0, environment, nullptr), invalid);
    EXPECT_EQ(refused(kRecorder, nullptr, FALSE, 0, nullptr, u"\\Windows"), invalid);
}

TEST_F(CreateProcessTest, ProgramLibrariesAreDetachedAsTheProcessEnds) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, u"DetachGo");
    testing::InstallProgram("pal_program_waiter", u"\\Windows\\Waiter.exe");
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(u"\\Windows\\Waiter.exe", u"DetachGo", nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, nullptr, &info));
    // DllMain ran in the new process before CreateProcessW returned.
    EXPECT_EQ(RecordedDword(u"AttachedTo"), info.dwProcessId);
    EXPECT_FALSE(RecordedDword(u"Detached").has_value());
    auto process = CurrentMachine().FindProcess(info.dwProcessId);
    ASSERT_NE(process, nullptr);

    EXPECT_TRUE(SetEvent(go));
    EXPECT_EQ(ExitCodeAfterEnd(info.hProcess), 3u);
    EXPECT_EQ(RecordedDword(u"Detached"), 1u);
    // The event handle the program left open was closed with it.
    EXPECT_EQ(process->Handles().Count(), 0u);
    EXPECT_TRUE(process->HasExited());
    testing::CloseBoth(info);
    EXPECT_TRUE(CloseHandle(go));
}

class DesktopProgramTest : public testing::DesktopTest {};

TEST_F(DesktopProgramTest, WinMainTakesTheAnsiLineAfterTheProgramName) {
    constexpr const char16_t* kPath = u"C:\\Program Files\\Velumex\\DeskRec.exe";
    testing::InstallProgram("pal_program_desktop_recorder", kPath);
    testing::SetRecorderExitCode(5);
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(kPath, u"\"C:\\Program Files\\Velumex\\DeskRec.exe\" /x caf\u00e9",
                               nullptr, nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(ExitCodeAfterEnd(info.hProcess), 5u);
    testing::CloseBoth(info);
    EXPECT_EQ(RecordedText(u"CommandLine"), u"/x caf\u00e9");
    EXPECT_EQ(RecordedText(u"ModuleFileName"), kPath);

    ASSERT_TRUE(CreateProcessW(nullptr, u"\"C:\\Program Files\\Velumex\\DeskRec\" -y", nullptr,
                               nullptr, FALSE, 0, nullptr, nullptr, nullptr, &info));
    EXPECT_EQ(ExitCodeAfterEnd(info.hProcess), 5u);
    testing::CloseBoth(info);
    EXPECT_EQ(RecordedText(u"CommandLine"), u"-y");
}

}  // namespace
}  // namespace pal
