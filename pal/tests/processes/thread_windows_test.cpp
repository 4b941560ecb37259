#include <windows.h>

#include <atomic>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/window_manager.h"
#include "pal_testing/temp_world.h"

namespace pal {
namespace {

// What the window of the ending thread was told, and on which thread.
std::atomic<DWORD> g_destroyedOnThread{0};

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) g_destroyedOnThread = GetCurrentThreadId();
    return DefWindowProcW(window, message, wParam, lParam);
}

struct Made {
    HWND window = nullptr;
    DWORD threadId = 0;
};

DWORD WINAPI MakeWindowAndReturn(LPVOID parameter) {
    auto* made = static_cast<Made*>(parameter);
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = RecordingProc;
    windowClass.lpszClassName = u"ThreadEndWindow";
    RegisterClassW(&windowClass);
    made->window = CreateWindowExW(0, u"ThreadEndWindow", u"Left behind", WS_OVERLAPPED, 0, 0, 10,
                                   10, nullptr, nullptr, nullptr, nullptr);
    made->threadId = GetCurrentThreadId();
    // A queued message the thread never reads.
    PostThreadMessageW(made->threadId, WM_USER, 0, 0);
    return made->window ? 0 : 1;
}

class ThreadEndTest : public testing::DeviceTest {};

TEST_F(ThreadEndTest, AThreadsWindowsAndQueueGoWhenItEnds) {
    Made made;
    HANDLE thread = CreateThread(nullptr, 0, MakeWindowAndReturn, &made, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    ASSERT_EQ(code, 0u);

    EXPECT_FALSE(IsWindow(made.window));
    EXPECT_FALSE(DescribeWindow(CurrentMachine(), made.window).has_value());
    // Destroyed on the thread itself, before it was seen to end.
    EXPECT_EQ(g_destroyedOnThread.load(), made.threadId);
    EXPECT_FALSE(GetQueueInfo(CurrentMachine(), made.threadId).has_value());
    EXPECT_FALSE(PostThreadMessageW(made.threadId, WM_USER, 0, 0));
    EXPECT_TRUE(CloseHandle(thread));
}

}  // namespace
}  // namespace pal
