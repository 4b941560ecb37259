#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>

#include "pal/runtime/machine.h"
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

constexpr DWORD kLongWaitMs = 20000;  // a hang guard only; the conditions are met at once

class Messages : public WindowTest {
protected:
    Messages() { RegisterRecordingClass(u"Pump"); }
};

TEST_F(Messages, PostedMessagesComeBackInOrderAndDispatchToTheirWindows) {
    HWND first = CreateTopLevel(u"Pump");
    HWND second = CreateTopLevel(u"Pump");
    g_handler = [](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message >= WM_USER) return static_cast<LRESULT>(wParam * 10);
        return std::nullopt;
    };
    g_journal.Clear();
    ASSERT_TRUE(PostMessageW(first, WM_USER + 1, 1, 100));
    ASSERT_TRUE(PostMessageA(nullptr, WM_APP, 2, 200));  // a thread message to the caller
    ASSERT_TRUE(PostMessageW(second, WM_USER + 2, 3, 300));
    ASSERT_TRUE(PostThreadMessageW(CurrentThreadId(), WM_APP + 1, 4, 400));
    EXPECT_TRUE(g_journal.All().empty());  // posting calls no procedure

    struct Expected {
        HWND window;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::vector<Expected> expected = {{first, WM_USER + 1, 1, 100},
                                      {nullptr, WM_APP, 2, 200},
                                      {second, WM_USER + 2, 3, 300},
                                      {nullptr, WM_APP + 1, 4, 400}};
    for (auto& want : expected) {
        MSG message{};
        ASSERT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
        EXPECT_EQ(message.hwnd, want.window);
        EXPECT_EQ(message.message, want.message);
        EXPECT_EQ(message.wParam, want.wParam);
        EXPECT_EQ(message.lParam, want.lParam);
        EXPECT_EQ(DispatchMessageW(&message),
                  want.window ? static_cast<LRESULT>(want.wParam * 10) : 0);
    }
    EXPECT_EQ(g_journal.Between(WM_USER, WM_USER + 2),
              (std::vector<std::pair<HWND, UINT>>{{first, WM_USER + 1}, {second, WM_USER + 2}}));
}

TEST_F(Messages, PeekFiltersByWindowFamilyAndRangeAndCanLeaveTheMessage) {
    HWND parent = CreateTopLevel(u"Pump");
    HWND child = CreateChild(u"Pump", parent, 1);
    HWND other = CreateTopLevel(u"Pump");
    ASSERT_TRUE(PostMessageW(other, WM_USER + 3, 0, 0));
    ASSERT_TRUE(PostMessageW(child, WM_USER + 2, 0, 0));
    ASSERT_TRUE(PostMessageW(nullptr, WM_USER + 4, 0, 0));
    ASSERT_TRUE(PostMessageW(parent, WM_USER + 1, 0, 0));

    MSG message{};
    // PM_NOREMOVE copies and leaves: the same message comes twice.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(PeekMessageW(&message, parent, 0, 0, PM_NOREMOVE));
        EXPECT_EQ(message.hwnd, child);  // the parent's filter includes its children
        EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 2));
    }
    ASSERT_TRUE(PeekMessageW(&message, parent, WM_USER + 1, WM_USER + 1, PM_REMOVE));
    EXPECT_EQ(message.hwnd, parent);
    ASSERT_TRUE(PeekMessageW(&message, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 4));
    EXPECT_EQ(message.hwnd, nullptr);
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_USER + 2, WM_USER + 3, PM_REMOVE));
    EXPECT_EQ(message.hwnd, other);  // first in queue order within the range
    ASSERT_TRUE(PeekMessageW(&message, parent, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.hwnd, child);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));

    // A filter naming no window is an error.
    SetLastError(0);
    EXPECT_EQ(GetMessageW(&message, reinterpret_cast<HWND>(0x3333), 0, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PeekMessageW(&message, reinterpret_cast<HWND>(0x3333), 0, 0, PM_REMOVE));
    EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOACCESS));
}

TEST_F(Messages, QuitComesAfterPostedMessagesWhateverTheFilter) {
    HWND window = CreateTopLevel(u"Pump");
    ASSERT_TRUE(PostMessageW(window, WM_USER, 0, 0));
    PostQuitMessage(3);
    MSG message{};
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), TRUE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER));
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(GetMessageW(&message, window, WM_USER, WM_USER), FALSE);
    EXPECT_EQ(message.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(message.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));  // taken once

    // A WM_QUIT posted as a thread message ends GetMessage the same way.
    ASSERT_TRUE(PostThreadMessageW(CurrentThreadId(), WM_QUIT, 9, 0));
    EXPECT_EQ(GetMessageW(&message, nullptr, 0, 0), FALSE);
    EXPECT_EQ(message.wParam, 9u);
}

TEST_F(Messages, PostingRefusesBadTargetsAndPointerMessages) {
    HWND window = CreateTopLevel(u"Pump");
    SetLastError(0);
    EXPECT_FALSE(PostMessageW(reinterpret_cast<HWND>(0x5555), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PostMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MESSAGE_SYNC_ONLY));
    DWORD stranger = 0;
    std::thread([&] { stranger = CurrentThreadId(); }).join();  // never used a queue
    EXPECT_FALSE(PostThreadMessageW(stranger, WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_THREAD_ID));
    MSG message;
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
}

TEST_F(Messages, ACrossThreadSendRunsOnTheOwnerWhenItPumpsAndReturnsTheResult) {
    Machine& machine = CurrentMachine();
    HWND window = CreateTopLevel(u"Pump");
    g_handler = [](HWND, UINT message, WPARAM wParam, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_USER + 1) return static_cast<LRESULT>(wParam * 2);
        return std::nullopt;
    };
    ASSERT_TRUE(PostMessageW(window, WM_USER + 5, 0, 0));
    g_journal.Clear();

    std::atomic<bool> returned{false};
    LRESULT result = 0;
    DWORD senderId = 0;
    std::thread sender([&] {
        ScopedContext context(machine);
        senderId = CurrentThreadId();
        result = SendMessageW(window, WM_USER + 1, 21, 0);
        returned = true;
    });
    ASSERT_TRUE(WaitForQueue(
        machine, CurrentThreadId(), [](const QueueInfo& q) { return q.sent == 1; }, kLongWaitMs));
    EXPECT_FALSE(returned);  // blocked until this thread pumps
    EXPECT_TRUE(g_journal.All().empty());
    ASSERT_TRUE(WaitForQueue(
        machine, senderId, [](const QueueInfo& q) { return q.waiting; }, kLongWaitMs));

    // The sent message is handled inside PeekMessage, before the posted one is returned.
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, static_cast<UINT>(WM_USER + 5));
    sender.join();
    EXPECT_EQ(result, 42);
    auto handled = g_journal.Of(WM_USER + 1);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].threadId, CurrentThreadId());
}

TEST_F(Messages, TwoThreadsSendingToEachOtherBothFinish) {
    Machine& machine = CurrentMachine();
    HWND mine = CreateTopLevel(u"Pump");
    HWND theirs = nullptr;
    DWORD mainId = CurrentThreadId();
    // Each side answers; the other side's handler also calls back into this side while this side
    // is itself still waiting for its own send.
    g_handler = [&](HWND window, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_USER + 1) return 100 + SendMessageW(mine, WM_USER + 3, 0, 0);
        if (message == WM_USER + 2) return 20;
        if (message == WM_USER + 3) return window == mine ? 3 : -1;
        return std::nullopt;
    };
    std::latch created(1), go(2);
    LRESULT theirResult = 0;
    std::thread other([&] {
        ScopedContext context(machine);
        theirs = CreateTopLevel(u"Pump");
        created.count_down();
        go.arrive_and_wait();
        theirResult = SendMessageW(mine, WM_USER + 2, 0, 0);
        DestroyWindow(theirs);
    });
    created.wait();
    go.arrive_and_wait();
    LRESULT myResult = SendMessageW(theirs, WM_USER + 1, 0, 0);
    other.join();

    EXPECT_EQ(myResult, 103);
    EXPECT_EQ(theirResult, 20);
    for (auto& seen : g_journal.All()) {
        if (seen.message > WM_USER) {
            EXPECT_EQ(seen.threadId == mainId, seen.window == mine) << seen.message;
        }
    }
}

}  // namespace
}  // namespace pal
