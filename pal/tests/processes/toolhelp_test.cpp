// Device code: the Toolhelp names without suffix are the wide ones.
#define UNICODE
#include <windows.h>

#include <memory>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"
#include "pal/runtime/waitable.h"
#include "pal/text.h"
#include "pal_testing/temp_world.h"
#include "program_fixtures.h"

namespace pal {
namespace {

using testing::FindListed;
using testing::ListProcesses;

class ToolhelpTest : public testing::DeviceTest {};

// The file-name part of an image path, as a program walking the list takes it: after the last
// backslash, or the whole text when there is none.
const WCHAR* FileNamePart(const WCHAR* path) {
    const WCHAR* name = path;
    for (const WCHAR* at = path; *at; ++at)
        if (*at == u'\\') name = at + 1;
    return name;
}

TEST_F(ToolhelpTest, AProgramIsListedWithItsPathUntilItExits) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, u"ListedGo");
    testing::InstallProgram("pal_program_waiter", u"\\Windows\\wceload.exe");
    PROCESS_INFORMATION info = {};
    ASSERT_TRUE(CreateProcessW(u"\\Windows\\wceload.exe", u"ListedGo", nullptr, nullptr, FALSE, 0,
                               nullptr, nullptr, nullptr, &info));

    // Found the way a launcher looks for the installer: by the file name of its image.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL more = Process32First(snapshot, &entry); more && !found;
         more = Process32Next(snapshot, &entry))
        if (_wcsicmp(FileNamePart(entry.szExeFile), u"WCELOAD.EXE") == 0)
            found = entry.th32ProcessID;
    EXPECT_EQ(found, info.dwProcessId);
    EXPECT_EQ(std::u16string(entry.szExeFile), u"\\Windows\\wceload.exe");
    EXPECT_EQ(entry.th32ParentProcessID, GetCurrentProcessId());
    EXPECT_EQ(entry.cntThreads, 1u);

    EXPECT_TRUE(SetEvent(go));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    EXPECT_FALSE(FindListed(info.dwProcessId).has_value());
    // A snapshot keeps the list of its moment, and a walk can start again.
    ASSERT_TRUE(Process32First(snapshot, &entry));
    bool stillInOldSnapshot = entry.th32ProcessID == info.dwProcessId;
    while (Process32Next(snapshot, &entry))
        stillInOldSnapshot = stillInOldSnapshot || entry.th32ProcessID == info.dwProcessId;
    EXPECT_TRUE(stillInOldSnapshot);
    EXPECT_TRUE(CloseHandle(snapshot));
    testing::CloseBoth(info);
    EXPECT_TRUE(CloseHandle(go));
}

TEST_F(ToolhelpTest, ListsEveryRunningProcessInIdOrderWithItsThreads) {
    // An emulator's own program with a second thread.
    // Handles are per process: the program's threads open the events by name.
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, u"ToolhelpRelease");
    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, u"ToolhelpReady");
    auto process = CurrentMachine().CreateProcess(u"\\Windows\\Installer.exe");
    auto main = RunProcess(process, [] {
        std::shared_ptr<Waitable> helper = StartThread(CurrentMachine(), CurrentProcessPtr(), [] {
            WaitForSingleObject(CreateEventW(nullptr, TRUE, FALSE, u"ToolhelpRelease"), INFINITE);
            return 0u;
        });
        SetEvent(CreateEventW(nullptr, TRUE, FALSE, u"ToolhelpReady"));
        WaitForObjects({&helper, 1}, false, INFINITE);
        return 9u;
    });
    ASSERT_EQ(WaitForSingleObject(ready, INFINITE), WAIT_OBJECT_0);

    auto listed = ListProcesses();
    ASSERT_GE(listed.size(), 2u);  // the test's own process and the program
    for (size_t i = 1; i < listed.size(); ++i) EXPECT_LT(listed[i - 1].id, listed[i].id);
    auto program = FindListed(process->Id());
    ASSERT_TRUE(program.has_value());
    EXPECT_EQ(program->exeFile, u"\\Windows\\Installer.exe");
    EXPECT_EQ(program->threads, 2u);
    EXPECT_EQ(program->parentId, 0u);
    auto self = FindListed(GetCurrentProcessId());
    ASSERT_TRUE(self.has_value());
    EXPECT_GE(self->threads, 1u);

    // Opened before the release: an exited process can no longer be opened.
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process->Id());
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(SetEvent(release));
    EXPECT_EQ(testing::ExitCodeAfterEnd(handle), 9u);
    EXPECT_EQ(main->ExitCode(), 9u);
    EXPECT_FALSE(FindListed(process->Id()).has_value());
    EXPECT_TRUE(CloseHandle(handle));
    EXPECT_TRUE(CloseHandle(release));
    EXPECT_TRUE(CloseHandle(ready));
}

TEST_F(ToolhelpTest, MisuseIsRefused) {
    // Taken before anything else ran in this process: it lists the caller all the same.
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    ASSERT_NE(snapshot, INVALID_HANDLE_VALUE);
    SetLastError(0);
    EXPECT_EQ(CreateToolhelp32Snapshot(0x8 /* modules */, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | 0x4 /* threads */, 0),
              INVALID_HANDLE_VALUE);

    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry - sizeof(DWORD);
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_LENGTH));
    EXPECT_FALSE(Process32FirstW(snapshot, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    entry.dwSize = sizeof entry;
    EXPECT_FALSE(Process32FirstW(event, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(CloseToolhelp32Snapshot(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(event));

    // Walking past the end keeps failing; the walk can start over.
    EXPECT_TRUE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(entry.th32ProcessID, GetCurrentProcessId());
    while (Process32NextW(snapshot, &entry)) {
    }
    EXPECT_FALSE(Process32NextW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
    EXPECT_TRUE(Process32FirstW(snapshot, &entry));
    EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

}  // namespace
}  // namespace pal
