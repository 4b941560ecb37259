#include <windows.h>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal_testing/temp_world.h"
#include "program_fixtures.h"

namespace pal {
namespace {

using testing::ExitCodeAfterEnd;

// A waiter program started on the device, released by its event.
class RunningProgramTest : public testing::DeviceTest {
protected:
    void SetUp() override {
        m_go = CreateEventW(nullptr, TRUE, FALSE, u"WaiterGo");
        testing::InstallProgram("pal_program_waiter", u"\\Windows\\wceload.exe");
        ASSERT_TRUE(CreateProcessW(u"\\Windows\\wceload.exe", u"WaiterGo", nullptr, nullptr, FALSE,
                                   0, nullptr, nullptr, nullptr, &m_info));
    }
    void TearDown() override {
        SetEvent(m_go);
        WaitForSingleObject(m_info.hProcess, INFINITE);
        testing::CloseBoth(m_info);
        CloseHandle(m_go);
    }

    HANDLE m_go = nullptr;
    PROCESS_INFORMATION m_info = {};
};

TEST_F(RunningProgramTest, HandlesWaitForTheProcessAndGiveItsExitCode) {
    DWORD code = 0;
    EXPECT_EQ(WaitForSingleObject(m_info.hProcess, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(GetExitCodeProcess(m_info.hProcess, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    HANDLE opened = OpenProcess(SYNCHRONIZE, FALSE, m_info.dwProcessId);
    HANDLE full = OpenProcess(PROCESS_ALL_ACCESS, FALSE, m_info.dwProcessId);
    ASSERT_NE(opened, nullptr);
    ASSERT_NE(full, nullptr);
    EXPECT_NE(opened, full);
    EXPECT_NE(opened, m_info.hProcess);
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(GetExitCodeProcess(full, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));

    EXPECT_TRUE(SetEvent(m_go));
    EXPECT_EQ(ExitCodeAfterEnd(opened), 3u);
    EXPECT_EQ(WaitForSingleObject(m_info.hProcess, 0), WAIT_OBJECT_0);
    EXPECT_EQ(ExitCodeAfterEnd(full), 3u);
    // Handles outlive the process; its id no longer opens anything.
    EXPECT_TRUE(CloseHandle(opened));
    EXPECT_TRUE(CloseHandle(full));
    SetLastError(0);
    EXPECT_EQ(OpenProcess(SYNCHRONIZE, FALSE, m_info.dwProcessId), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

class ProcessHandleTest : public testing::DeviceTest {};

TEST_F(ProcessHandleTest, BadIdsAndHandlesAreRefused) {
    SetLastError(0);
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, 0x7FFFFFF0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    DWORD code = 0;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(GetExitCodeProcess(event, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE self = OpenProcess(PROCESS_ALL_ACCESS, FALSE, GetCurrentProcessId());
    ASSERT_NE(self, nullptr);
    EXPECT_FALSE(GetExitCodeProcess(self, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(GetExitCodeProcess(self, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(CloseHandle(self));
    EXPECT_TRUE(CloseHandle(event));
}

}  // namespace
}  // namespace pal
