#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/window_manager.h"
#include "window_test_support.h"

namespace pal {
namespace {

using testing::CreateChild;
using testing::CreateTopLevel;
using testing::g_handler;
using testing::g_journal;
using testing::RegisterRecordingClass;
using testing::WindowTest;

using Lifecycle = WindowTest;

TEST_F(Lifecycle, CreationMessagesRunOnTheCreatingThreadBeforeCreateReturns) {
    ASSERT_NE(RegisterRecordingClass(u"Watch"), 0);
    int cookie = 0;
    std::u16string nameSeen;
    LPVOID paramSeen = nullptr;
    HWND handleSeen = nullptr;
    g_handler = [&](HWND window, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message != WM_CREATE) return std::nullopt;
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        nameSeen = create->lpszName;
        paramSeen = create->lpCreateParams;
        handleSeen = window;
        EXPECT_TRUE(IsWindow(window));
        return 0;
    };
    HWND window = CreateTopLevel(u"Watch", u"Message", nullptr, &cookie);
    ASSERT_NE(window, nullptr);

    auto messages = g_journal.All();
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(messages[1].message, static_cast<UINT>(WM_CREATE));
    for (auto& seen : messages) EXPECT_EQ(seen.threadId, CurrentThreadId());
    EXPECT_EQ(handleSeen, window);
    EXPECT_EQ(paramSeen, &cookie);
    EXPECT_EQ(nameSeen, u"Message");
    char16_t text[16];
    EXPECT_EQ(GetWindowTextW(window, text, 16), 7);  // WM_NCCREATE's default stored the name
    EXPECT_EQ(std::u16string(text), u"Message");
    DWORD processId = 0;
    EXPECT_EQ(GetWindowThreadProcessId(window, &processId), CurrentThreadId());
    EXPECT_EQ(processId, CurrentProcess().Id());
}

TEST_F(Lifecycle, AFailedCreateDestroysTheWindowAndReturnsNull) {
    ASSERT_NE(RegisterRecordingClass(u"Service"), 0);
    HWND created = nullptr;
    bool aliveInDestroy = false;
    g_handler = [&](HWND window, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_CREATE) {
            created = window;
            return -1;
        }
        if (message == WM_DESTROY) aliveInDestroy = IsWindow(window);
        return std::nullopt;
    };
    EXPECT_EQ(CreateTopLevel(u"Service", u"_notif_KT"), nullptr);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(g_journal.Between(WM_DESTROY, WM_DESTROY).size(), 1u);
    EXPECT_EQ(g_journal.Of(WM_NCDESTROY).size(), 1u);
    EXPECT_TRUE(aliveInDestroy);
    EXPECT_FALSE(IsWindow(created));
    EXPECT_TRUE(ListWindows(CurrentMachine()).empty());

    // A WM_NCCREATE refusal discards the window with WM_NCDESTROY alone.
    g_journal.Clear();
    g_handler = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_NCCREATE) return FALSE;
        return std::nullopt;
    };
    EXPECT_EQ(CreateTopLevel(u"Service"), nullptr);
    EXPECT_TRUE(g_journal.Of(WM_CREATE).empty());
    EXPECT_TRUE(g_journal.Of(WM_DESTROY).empty());
    EXPECT_EQ(g_journal.Of(WM_NCDESTROY).size(), 1u);
}

TEST_F(Lifecycle, BadCreationArgumentsAreRefused) {
    ASSERT_NE(RegisterRecordingClass(u"Frame"), 0);
    SetLastError(0);
    EXPECT_EQ(
        CreateWindowExW(0, u"Frame", u"", WS_CHILD, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TLW_WITH_WSCHILD));
    EXPECT_EQ(CreateChild(u"Frame", reinterpret_cast<HWND>(0x4321), 5), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(CreateTopLevel(u"NoSuchClass"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
    EXPECT_TRUE(g_journal.All().empty());
}

TEST_F(Lifecycle, DestroyWindowReachesOwnedWindowsThenTheTreeAndLeavesStaleHandles) {
    ASSERT_NE(RegisterRecordingClass(u"Dlg"), 0);
    HWND parent = CreateTopLevel(u"Dlg");
    HWND first = CreateChild(u"Dlg", parent, 1);
    HWND grandchild = CreateChild(u"Dlg", first, 11);
    HWND second = CreateChild(u"Dlg", parent, 2);
    HWND owned = CreateTopLevel(u"Dlg", u"", first);  // owned by the tree's top-level window
    ASSERT_TRUE(parent && first && grandchild && second && owned);
    EXPECT_EQ(GetParent(first), parent);
    EXPECT_EQ(GetParent(owned), parent);
    EXPECT_EQ(GetDlgCtrlID(second), 2);
    EXPECT_EQ(GetDlgCtrlID(parent), 0);
    ASSERT_TRUE(PostMessageW(first, WM_USER, 0, 0));

    bool childrenAliveInDestroy = false;
    g_handler = [&](HWND window, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_DESTROY && window == parent)
            childrenAliveInDestroy = IsWindow(first) && IsWindow(grandchild);
        return std::nullopt;
    };
    g_journal.Clear();
    EXPECT_TRUE(DestroyWindow(parent));

    using Step = std::pair<HWND, UINT>;
    std::vector<Step> expected = {{owned, WM_DESTROY},      {owned, WM_NCDESTROY},
                                  {parent, WM_DESTROY},     {first, WM_DESTROY},
                                  {grandchild, WM_DESTROY}, {second, WM_DESTROY},
                                  {second, WM_NCDESTROY},   {grandchild, WM_NCDESTROY},
                                  {first, WM_NCDESTROY},    {parent, WM_NCDESTROY}};
    std::vector<Step> seen;
    for (auto& step : g_journal.All())
        if (step.message == WM_DESTROY || step.message == WM_NCDESTROY)
            seen.emplace_back(step.window, step.message);
    EXPECT_EQ(seen, expected);
    EXPECT_TRUE(childrenAliveInDestroy);

    for (HWND window : {parent, first, grandchild, second, owned}) EXPECT_FALSE(IsWindow(window));
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(parent));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_EQ(SendMessageW(first, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PostMessageW(second, WM_USER, 0, 0));
    EXPECT_EQ(GetWindowThreadProcessId(owned, nullptr), 0u);
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));  // its posted message went too
}

TEST_F(Lifecycle, OnlyTheOwningThreadDestroysAndWmCloseEndsAServiceLoop) {
    Machine& machine = CurrentMachine();
    ASSERT_NE(RegisterRecordingClass(u"Hidden"), 0);
    g_handler = [](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_DESTROY) return std::nullopt;
        PostQuitMessage(7);
        return 0;
    };
    HWND window = nullptr;
    WPARAM exitCode = 0;
    std::latch created(1);
    std::thread service([&] {
        ScopedContext context(machine);
        window = CreateTopLevel(u"Hidden", u"_notif_KT");
        created.count_down();
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = message.wParam;
    });
    created.wait();
    ASSERT_NE(window, nullptr);
    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_TRUE(PostMessageW(window, WM_CLOSE, 0, 0));
    service.join();
    EXPECT_EQ(exitCode, 7u);
    EXPECT_FALSE(IsWindow(window));
    auto destroyed = g_journal.Of(WM_DESTROY);
    ASSERT_EQ(destroyed.size(), 1u);
    EXPECT_NE(destroyed[0].threadId, CurrentThreadId());
}

TEST_F(Lifecycle, AnEndingThreadReleasesItsWindowsQueueAndWaitingSenders) {
    Machine& machine = CurrentMachine();
    ASSERT_NE(RegisterRecordingClass(u"Worker"), 0);
    HWND window = nullptr;
    DWORD workerId = 0;
    std::latch created(1), release(1);
    std::thread worker([&] {
        ScopedContext context(machine);
        window = CreateTopLevel(u"Worker");
        workerId = CurrentThreadId();
        created.count_down();
        release.wait();
        ReleaseThreadWindows();
    });
    created.wait();
    LRESULT answer = -1;
    std::thread sender([&] {
        ScopedContext context(machine);
        answer = SendMessageW(window, WM_USER, 0, 0);
    });
    ASSERT_TRUE(WaitForQueue(
        machine, workerId, [](const QueueInfo& q) { return q.sent == 1; }, 10000));
    release.count_down();
    worker.join();
    sender.join();
    EXPECT_EQ(answer, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(g_journal.Of(WM_DESTROY).size(), 1u);
    EXPECT_TRUE(g_journal.Of(WM_USER).empty());
    EXPECT_FALSE(GetQueueInfo(machine, workerId).has_value());
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageW(workerId, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
}

}  // namespace
}  // namespace pal

namespace pal {
namespace {

TEST_F(Lifecycle, WaitingForAnIdleWindowWaitsForItsThreadToEmptyItsQueue) {
    Machine& machine = CurrentMachine();
    ASSERT_NE(RegisterRecordingClass(u"Idle"), 0);
    EXPECT_FALSE(WaitForIdleWindow(machine, u"Absent", 50));

    std::latch created(1), loop(1);
    HWND window = nullptr;
    std::thread service([&] {
        ScopedContext context(machine);
        window = CreateTopLevel(u"Idle", u"Idle service");
        created.count_down();
        loop.wait();
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) DispatchMessageW(&message);
    });
    created.wait();
    PostMessageW(window, WM_NULL, 0, 0);
    // The thread has not reached its loop and a message waits for it.
    EXPECT_FALSE(WaitForIdleWindow(machine, u"Idle service", 50));
    loop.count_down();
    EXPECT_TRUE(WaitForIdleWindow(machine, u"Idle service", 10000));
    EXPECT_EQ(GetQueueInfo(machine, GetWindowThreadProcessId(window, nullptr))->posted, 0u);
    PostMessageW(window, WM_QUIT, 0, 0);
    service.join();
}

}  // namespace
}  // namespace pal
