#include "other_thread.h"
#include "pal/handleapi.h"
#include "pal/sync.h"
#include "pal/threads.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::Join;
using testing::OnOtherThread;
using testing::Start;

constexpr LPCWSTR kMailLock = u"Message{C901BAA6-3A79-4d75-8395-CBF7AD3DDC89}";

class MutexTest : public DesktopTest {};

TEST_F(MutexTest, AnotherThreadTimesOutWhileOwnedAndGetsItAfterRelease) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(mutex, 10); }), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(OnOtherThread([&] {
                  DWORD result = WaitForSingleObject(mutex, INFINITE);
                  ReleaseMutex(mutex);
                  return result;
              }),
              WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST_F(MutexTest, ReleasedAsManyTimesAsAcquired) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    auto tryFromOther = [&] {
        return OnOtherThread([&] {
            DWORD result = WaitForSingleObject(mutex, 0);
            if (result == WAIT_OBJECT_0) ReleaseMutex(mutex);
            return result;
        });
    };
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryFromOther(), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(tryFromOther(), WAIT_OBJECT_0);
    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    CloseHandle(mutex);
}

TEST_F(MutexTest, ReleaseByANonOwnerFails) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    EXPECT_EQ(OnOtherThread([&]() -> DWORD {
                  if (ReleaseMutex(mutex)) return 0;
                  return GetLastError();
              }),
              static_cast<DWORD>(ERROR_NOT_OWNER));
    // The owner still holds it.
    EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(mutex, 0); }), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    EXPECT_FALSE(ReleaseMutex(event));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);
    CloseHandle(mutex);
}

TEST_F(MutexTest, OwnerThreadEndingAbandonsItToTheNextWaiter) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    auto owner = Start([&] {
        WaitForSingleObject(mutex, INFINITE);
        WaitForSingleObject(mutex, INFINITE);  // recursion does not keep it past the thread
        return 0u;
    });
    Join(owner);
    EXPECT_EQ(WaitForSingleObject(mutex, INFINITE), WAIT_ABANDONED);
    // The abandoning wait granted ownership: others wait, the owner recurses normally.
    EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(mutex, 0); }), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    CloseHandle(mutex);
}

TEST_F(MutexTest, ExitThreadAbandonsOwnedMutexes) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, u"ExitLock");
    EXPECT_EQ(Join(Start([&]() -> DWORD {
                  WaitForSingleObject(mutex, INFINITE);
                  ExitThread(3);
              })),
              3u);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_ABANDONED);
    ReleaseMutex(mutex);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

TEST_F(MutexTest, ClosingTheOwnersHandleNeitherReleasesNorAbandons) {
    HANDLE proceed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE closed = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finish = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // The owner creates the mail lock owned, closes its only handle while it still owns it, and
    // goes on running until told to end.
    auto owner = Start([&] {
        HANDLE handle = CreateMutexW(nullptr, TRUE, kMailLock);
        SetEvent(created);
        WaitForSingleObject(closed, INFINITE);
        CloseHandle(handle);
        SetEvent(proceed);
        WaitForSingleObject(finish, INFINITE);
        return 0u;
    });
    WaitForSingleObject(created, INFINITE);
    HANDLE service = OpenMutexW(SYNCHRONIZE, FALSE, kMailLock);
    ASSERT_NE(service, nullptr);
    SetEvent(closed);
    WaitForSingleObject(proceed, INFINITE);
    // The owner's handle is gone, its hold is not.
    EXPECT_EQ(WaitForSingleObject(service, 10), WAIT_TIMEOUT);
    // Only the owner's end gives it up, as abandoned.
    SetEvent(finish);
    Join(owner);
    EXPECT_EQ(WaitForSingleObject(service, 0), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(service));
    EXPECT_EQ(WaitForSingleObject(service, 0), WAIT_OBJECT_0);
    ReleaseMutex(service);
    CloseHandle(service);
    CloseHandle(proceed);
    CloseHandle(closed);
    CloseHandle(created);
    CloseHandle(finish);
}

TEST_F(MutexTest, ClosingAnyHandleFromAnotherThreadLeavesTheOwnerHoldingIt) {
    HANDLE first = CreateMutexW(nullptr, TRUE, kMailLock);
    HANDLE second = CreateMutexW(nullptr, FALSE, kMailLock);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(second, 0); }), WAIT_TIMEOUT);
    HANDLE waiter = nullptr;
    OnOtherThread([&] {
        waiter = OpenMutexW(SYNCHRONIZE, FALSE, kMailLock);
        return 0u;
    });
    EXPECT_EQ(OnOtherThread([&] { return static_cast<DWORD>(CloseHandle(second)); }),
              static_cast<DWORD>(TRUE));
    EXPECT_EQ(OnOtherThread([&] { return WaitForSingleObject(waiter, 0); }), WAIT_TIMEOUT);
    // The owner releases through any handle of the object it still has.
    EXPECT_TRUE(ReleaseMutex(waiter));
    EXPECT_EQ(OnOtherThread([&] {
                  DWORD result = WaitForSingleObject(waiter, 0);
                  ReleaseMutex(waiter);
                  return result;
              }),
              WAIT_OBJECT_0);
    CloseHandle(waiter);
}

TEST_F(MutexTest, ExistingNameIgnoresTheInitialOwnerRequest) {
    SetLastError(ERROR_INVALID_DATA);
    HANDLE first = CreateMutexW(nullptr, FALSE, kMailLock);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(OnOtherThread([&]() -> DWORD {
                  HANDLE second = CreateMutexW(nullptr, TRUE, kMailLock);
                  DWORD error = GetLastError();
                  if (!second || error != ERROR_ALREADY_EXISTS) return 1;
                  if (ReleaseMutex(second) || GetLastError() != ERROR_NOT_OWNER) return 2;
                  CloseHandle(second);
                  return 0;
              }),
              0u);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    ReleaseMutex(first);
    CloseHandle(first);
}

TEST_F(MutexTest, NamesAreCaseSensitiveAndFreedWithTheLastHandle) {
    HANDLE upper = CreateMutexW(nullptr, TRUE, u"Lock");
    EXPECT_EQ(OnOtherThread([] {
                  HANDLE lower = CreateMutexW(nullptr, FALSE, u"lock");
                  DWORD error = GetLastError();
                  DWORD result = WaitForSingleObject(lower, 0);
                  ReleaseMutex(lower);
                  CloseHandle(lower);
                  return error == ERROR_SUCCESS ? result : WAIT_FAILED;
              }),
              WAIT_OBJECT_0);
    ReleaseMutex(upper);
    CloseHandle(upper);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, u"Lock"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    HANDLE again = CreateMutexW(nullptr, FALSE, u"Lock");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(again);
}

TEST_F(MutexTest, SameNameOnTwoMachinesIsTwoMutexes) {
    HANDLE desktop = CreateMutexW(nullptr, FALSE, kMailLock);
    auto& deviceMachine = m_world.Device();
    EXPECT_EQ(OnOtherThread([&]() -> DWORD {
                  ScopedContext device(deviceMachine);
                  HANDLE mine = CreateMutexW(nullptr, TRUE, kMailLock);
                  if (GetLastError() != ERROR_SUCCESS) return 1;
                  CloseHandle(mine);
                  return 0;
              }),
              0u);
    // The device mutex was abandoned by its owner's close; the desktop one was never owned.
    EXPECT_EQ(WaitForSingleObject(desktop, 0), WAIT_OBJECT_0);
    ReleaseMutex(desktop);
    CloseHandle(desktop);
}

TEST_F(MutexTest, OpenAndCreateReportBadNames) {
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"Nobody"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, u"SYSTEM/ShellAPIReady");
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, u"SYSTEM/ShellAPIReady"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(OpenMutexW(MUTEX_ALL_ACCESS, FALSE, u"SYSTEM/ShellAPIReady"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseHandle(event);

    std::u16string tooLong(MAX_PATH + 1, u'x');
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, tooLong.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST_F(MutexTest, AnsiNamesUseTheDesktopCodePage) {
    HANDLE wide = CreateMutexW(nullptr, FALSE, u"Verrou\u00e9\u20ac");
    HANDLE ansi = CreateMutexA(nullptr, FALSE, "Verrou\xe9\x80");
    ASSERT_NE(ansi, nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(ansi);
    CloseHandle(wide);
}

}  // namespace
}  // namespace pal
