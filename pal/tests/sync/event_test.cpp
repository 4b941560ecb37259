#include "other_thread.h"
#include "pal/handleapi.h"
#include "pal/sync.h"
#include "pal/threads.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::DeviceTest;
using testing::Join;
using testing::Start;

class EventTest : public DesktopTest {};

TEST_F(EventTest, ManualResetReleasesEveryWaiterAndStaysSet) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::shared_ptr<Thread>> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.push_back(Start([&] { return WaitForSingleObject(event, INFINITE); }));
    EXPECT_TRUE(SetEvent(event));
    for (auto& waiter : waiters) EXPECT_EQ(Join(waiter), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
}

TEST_F(EventTest, AutoResetReleasesOneWaiterPerSet) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    LONG released = 0;
    std::vector<std::shared_ptr<Thread>> waiters;
    for (int i = 0; i < 3; ++i)
        waiters.push_back(Start([&] {
            DWORD result = WaitForSingleObject(event, INFINITE);
            InterlockedIncrement(&released);
            SetEvent(done);
            return result;
        }));
    for (LONG expected = 1; expected <= 3; ++expected) {
        EXPECT_TRUE(SetEvent(event));
        EXPECT_EQ(WaitForSingleObject(done, INFINITE), WAIT_OBJECT_0);
        // The set went with the one waiter it released.
        EXPECT_EQ(InterlockedCompareExchange(&released, 0, -1), expected);
        EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    }
    for (auto& waiter : waiters) EXPECT_EQ(Join(waiter), WAIT_OBJECT_0);
    CloseHandle(event);
    CloseHandle(done);
}

TEST_F(EventTest, InitialStateAndResetMode) {
    HANDLE manual = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    HANDLE automatic = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 5), WAIT_TIMEOUT);
    // Setting an already set auto-reset event does not store a second signal.
    SetEvent(automatic);
    SetEvent(automatic);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 0), WAIT_TIMEOUT);
    CloseHandle(manual);
    CloseHandle(automatic);
}

TEST_F(EventTest, ExistingNameKeepsItsModeAndState) {
    HANDLE first = CreateEventW(nullptr, FALSE, FALSE, u"Ready");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    HANDLE second = CreateEventA(nullptr, TRUE, TRUE, "Ready");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
    SetEvent(second);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);  // auto-reset, as first made it
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(EventTest, BadHandlesAndNamesFail) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"Gate");
    EXPECT_FALSE(SetEvent(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ResetEvent(reinterpret_cast<HANDLE>(0x4242)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(CreateEventW(nullptr, TRUE, FALSE, u"Gate"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u"Gate"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, u"gate"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CloseHandle(mutex);
}

class DeviceEventTest : public DeviceTest {};

TEST_F(DeviceEventTest, ServiceWaitsForTheShellEventWhenItExists) {
    constexpr LPCWSTR kShellReady = u"SYSTEM/ShellAPIReady";
    // Absent: the service goes on at once.
    EXPECT_EQ(OpenEventW(EVENT_ALL_ACCESS, FALSE, kShellReady), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    HANDLE shell = CreateEventW(nullptr, TRUE, FALSE, kShellReady);
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto service = Start([&]() -> DWORD {
        HANDLE ready = OpenEventW(EVENT_ALL_ACCESS, FALSE, kShellReady);
        if (!ready) return GetLastError();
        SetEvent(opened);
        DWORD result = WaitForSingleObject(ready, INFINITE);
        CloseHandle(ready);
        return result;
    });
    WaitForSingleObject(opened, INFINITE);
    EXPECT_FALSE(service->HasEnded());
    SetEvent(shell);
    EXPECT_EQ(Join(service), WAIT_OBJECT_0);
    CloseHandle(shell);
    CloseHandle(opened);
}

}  // namespace
}  // namespace pal
