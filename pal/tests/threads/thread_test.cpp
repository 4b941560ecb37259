#include "pal/runtime/thread.h"

#include <atomic>
#include <functional>
#include <memory>

#include "pal/handleapi.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/sync.h"
#include "pal/threads.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

using testing::DesktopTest;
using testing::DeviceTest;

// CreateThread with a C++ callable as the start routine.
HANDLE CreateThreadFor(std::function<DWORD()> body, DWORD* id = nullptr) {
    auto* start = new std::function<DWORD()>(std::move(body));
    return CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            std::unique_ptr<std::function<DWORD()>> owned(
                static_cast<std::function<DWORD()>*>(parameter));
            return (*owned)();
        },
        start, 0, id);
}

DWORD ExitCodeAfterEnd(HANDLE thread) {
    EXPECT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    return code;
}

class ThreadTest : public DeviceTest {};

TEST_F(ThreadTest, NewThreadRunsInTheCreatorsMachineAndProcess) {
    auto program = CurrentMachine().CreateProcess(u"\\Windows\\KTstart.exe");
    ScopedContext inProgram(CurrentMachine(), program);
    Machine* seenMachine = nullptr;
    Process* seenProcess = nullptr;
    DWORD seenProcessId = 0, seenThreadId = 0, reportedId = 0;
    HANDLE thread = CreateThreadFor(
        [&] {
            seenMachine = TryCurrentMachine();
            seenProcess = &CurrentProcess();
            seenProcessId = GetCurrentProcessId();
            seenThreadId = GetCurrentThreadId();
            return 0u;
        },
        &reportedId);
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(ExitCodeAfterEnd(thread), 0u);
    EXPECT_EQ(seenMachine, &m_world.Device());
    EXPECT_EQ(seenProcess, program.get());
    EXPECT_EQ(seenProcessId, program->Id());
    EXPECT_EQ(GetCurrentProcessId(), program->Id());
    EXPECT_EQ(seenThreadId, reportedId);
    EXPECT_NE(reportedId, 0u);
    EXPECT_NE(reportedId, GetCurrentThreadId());
    // The thread handle belongs to the creating process.
    EXPECT_TRUE(program->Handles().Get(thread) != nullptr);
    EXPECT_TRUE(CloseHandle(thread));
}

TEST_F(ThreadTest, ExitCodeIsStillActiveUntilTheThreadEnds) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThreadFor([&] {
        WaitForSingleObject(go, INFINITE);
        return 17u;
    });
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);
    SetEvent(go);
    EXPECT_EQ(ExitCodeAfterEnd(thread), 17u);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);  // stays signalled
    CloseHandle(thread);
    CloseHandle(go);
}

void Leave(DWORD code) { ExitThread(code); }

void CallLeave(bool* passedExit) {
    Leave(42);
    *passedExit = true;
}

TEST_F(ThreadTest, ExitThreadEndsTheThreadWithItsCode) {
    bool passedExit = false;
    HANDLE thread = CreateThreadFor([&] {
        CallLeave(&passedExit);
        return 1u;
    });
    EXPECT_EQ(ExitCodeAfterEnd(thread), 42u);
    EXPECT_FALSE(passedExit);
    CloseHandle(thread);
}

TEST_F(ThreadTest, ClosedHandleLeavesTheThreadRunningToItsEnd) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    HANDLE thread = CreateThreadFor([&] {
        WaitForSingleObject(go, INFINITE);
        SetEvent(finished);
        return 0u;
    });
    EXPECT_TRUE(CloseHandle(thread));
    SetEvent(go);
    EXPECT_EQ(WaitForSingleObject(finished, INFINITE), WAIT_OBJECT_0);
    EXPECT_TRUE(JoinMachineThreads(CurrentMachine(), std::chrono::minutes(1)));
    CloseHandle(go);
    CloseHandle(finished);
}

TEST_F(ThreadTest, BadArgumentsFail) {
    EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    auto routine = [](LPVOID) -> DWORD { return 0; };
    EXPECT_EQ(CreateThread(nullptr, 0, routine, nullptr, 0x4, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(event, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE thread = CreateThread(nullptr, 0, routine, nullptr, 0, nullptr);
    EXPECT_FALSE(GetExitCodeThread(thread, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    CloseHandle(event);
}

TEST_F(ThreadTest, EveryThreadHasItsOwnStableId) {
    DWORD main = GetCurrentThreadId();
    EXPECT_NE(main, 0u);
    EXPECT_EQ(GetCurrentThreadId(), main);
    DWORD first = 0, second = 0;
    HANDLE a = CreateThreadFor([] { return GetCurrentThreadId(); }, &first);
    HANDLE b = CreateThreadFor([] { return GetCurrentThreadId(); }, &second);
    EXPECT_EQ(ExitCodeAfterEnd(a), first);
    EXPECT_EQ(ExitCodeAfterEnd(b), second);
    EXPECT_NE(first, second);
    EXPECT_NE(first, main);
    CloseHandle(a);
    CloseHandle(b);
}

class StartThreadTest : public DesktopTest {};

TEST_F(StartThreadTest, MainThreadEndingMarksItsProcessExited) {
    auto program = CurrentMachine().CreateProcess(u"C:\\Program Files\\Velumex\\host.exe");
    bool endedFirst = false;
    std::shared_ptr<Thread> main;
    // The event's handle is the test's process's; the new thread is in `program`.
    HANDLE mainKnown = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::shared_ptr<Waitable> known[] = {WaitableFromHandle(mainKnown)};
    main = StartThread(
        CurrentMachine(), program,
        [&] {
            WaitForObjects(known, false, INFINITE);
            return 5u;
        },
        [&](DWORD code) {
            endedFirst = main->HasEnded();
            program->MarkExited(code);
        });
    SetEvent(mainKnown);
    std::shared_ptr<Waitable> process[] = {program};
    EXPECT_EQ(WaitForObjects(process, false, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(program->ExitCode(), 5u);
    EXPECT_TRUE(endedFirst);
    EXPECT_EQ(main->ExitCode(), 5u);
    CloseHandle(mainKnown);
}

TEST_F(StartThreadTest, ShutdownJoinWaitsForRunningThreads) {
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    auto thread = StartThread(CurrentMachine(), CurrentProcessPtr(), [&] {
        WaitForSingleObject(go, INFINITE);
        return 0u;
    });
    EXPECT_FALSE(JoinMachineThreads(CurrentMachine(), std::chrono::milliseconds(0)));
    // The other machine has no threads to wait for.
    EXPECT_TRUE(JoinMachineThreads(m_world.Device(), std::chrono::milliseconds(0)));
    SetEvent(go);
    EXPECT_TRUE(JoinMachineThreads(CurrentMachine(), std::chrono::minutes(1)));
    EXPECT_TRUE(thread->HasEnded());
    CloseHandle(go);
}

TEST_F(StartThreadTest, AThreadDoesNotWaitForItselfAtShutdown) {
    auto thread = StartThread(CurrentMachine(), CurrentProcessPtr(), [] {
        return JoinMachineThreads(CurrentMachine(), std::chrono::milliseconds(0)) ? 1u : 0u;
    });
    std::shared_ptr<Waitable> objects[] = {thread};
    EXPECT_EQ(WaitForObjects(objects, false, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(thread->ExitCode(), 1u);
}

TEST(WorldTeardown, ClosingAWorldLetsItsRunningThreadsFinishFirst) {
    testing::TempWorld world;
    std::atomic<bool> usedMachine{false};
    {
        ScopedContext desktop(world.Desktop());
        HANDLE thread = CreateThreadFor([&] {
            Sleep(20);  // still running when the world closes
            usedMachine = CurrentMachine().Config().codePage == 1252;
            return 0u;
        });
        CloseHandle(thread);
    }
    world.Get().Close();
    EXPECT_TRUE(usedMachine);
}

}  // namespace
}  // namespace pal
