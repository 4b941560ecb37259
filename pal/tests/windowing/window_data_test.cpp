#include <gtest/gtest.h>

#include <latch>
#include <thread>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "window_test_support.h"

namespace pal {
namespace {

using testing::CreateChild;
using testing::CreateTopLevel;
using testing::g_handler;
using testing::g_journal;
using testing::RegisterRecordingClass;
using testing::WindowTest;

using WindowData = WindowTest;

std::string g_ansiText;  // what ReplacementProcA last saw in WM_SETTEXT

LRESULT CALLBACK ReplacementProcA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SETTEXT) g_ansiText = reinterpret_cast<const char*>(lParam);
    if (message == WM_USER) return 99;
    return DefWindowProcA(window, message, wParam, lParam);
}

TEST_F(WindowData, ExtraBytesHoldLongsWithinTheClassSize) {
    ASSERT_NE(RegisterRecordingClass(u"Dialog", nullptr, 24), 0);
    HWND window = CreateTopLevel(u"Dialog");
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(window, 16), 0);  // starts zeroed
    EXPECT_EQ(SetWindowLongPtrW(window, 0, 0x1122334455667788), 0);
    EXPECT_EQ(SetWindowLongPtrW(window, 16, -5), 0);
    EXPECT_EQ(SetWindowLongPtrW(window, 0, 42), 0x1122334455667788);
    EXPECT_EQ(GetWindowLongPtrW(window, 0), 42);
    EXPECT_EQ(GetWindowLongPtrW(window, 16), -5);
    EXPECT_EQ(SetWindowLongW(window, 20, 0x7abcdef0), -1);  // the high half of -5
    EXPECT_EQ(GetWindowLongW(window, 20), 0x7abcdef0);
    EXPECT_EQ(GetWindowLongW(window, 16), -5);

    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(window, 17), 0);  // 8 bytes from 17 leave the 24
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    SetLastError(0);
    EXPECT_EQ(SetWindowLongW(window, 21, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongW(window, 20), 0x7abcdef0);
}

TEST_F(WindowData, NamedLongsReadAndReplaceTheWindowsState) {
    ASSERT_NE(RegisterRecordingClass(u"Frame"), 0);
    HWND parent = CreateTopLevel(u"Frame");
    HWND child = CreateChild(u"Frame", parent, 1009);
    ASSERT_TRUE(parent && child);

    int object = 0;
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(SetWindowLongPtrW(parent, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&object)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));  // left alone
    EXPECT_EQ(GetWindowLongPtrW(parent, GWLP_USERDATA), reinterpret_cast<LONG_PTR>(&object));

    EXPECT_EQ(GetWindowLongW(child, GWL_ID), 1009);
    EXPECT_EQ(SetWindowLongPtrW(child, GWLP_ID, 1010), 1009);
    EXPECT_EQ(GetDlgCtrlID(child), 1010);
    EXPECT_EQ(GetWindowLongW(child, GWL_STYLE), static_cast<LONG>(WS_CHILD | WS_VISIBLE));
    SetWindowLongW(child, GWL_STYLE, WS_DISABLED | WS_TABSTOP);  // WS_CHILD stays
    EXPECT_EQ(GetWindowLongW(child, GWL_STYLE),
              static_cast<LONG>(WS_CHILD | WS_DISABLED | WS_TABSTOP));
    EXPECT_EQ(GetParent(child), parent);

    // Pointer-sized slots have no 32-bit form.
    SetLastError(0);
    EXPECT_EQ(GetWindowLongW(parent, GWLP_WNDPROC), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrW(parent, GWLP_WNDPROC),
              reinterpret_cast<LONG_PTR>(testing::RecordingProcW));
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(parent, -100), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));
    SetLastError(0);
    EXPECT_EQ(SetWindowLongPtrW(reinterpret_cast<HWND>(0x99), GWLP_USERDATA, 1), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowData, AReplacedProcedureGetsTextInTheFormItWasSetWith) {
    ASSERT_NE(RegisterRecordingClass(u"Edit"), 0);
    HWND window = CreateTopLevel(u"Edit");
    ASSERT_NE(window, nullptr);
    LONG_PTR previous =
        SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ReplacementProcA));
    EXPECT_EQ(previous, reinterpret_cast<LONG_PTR>(testing::RecordingProcW));
    EXPECT_EQ(SendMessageW(window, WM_USER, 0, 0), 99);
    EXPECT_TRUE(SetWindowTextW(window, u"Zo\u00eb \u20ac"));
    EXPECT_EQ(g_ansiText, "Zo\xeb \x80");  // converted to the ANSI code page for the A procedure
    char16_t wide[16];
    EXPECT_EQ(GetWindowTextW(window, wide, 16), 5);
    EXPECT_EQ(std::u16string(wide), u"Zo\u00eb \u20ac");

    // Another process may not replace the procedure.
    auto other = CurrentMachine().CreateProcess(u"C:\\other.exe");
    ScopedContext context(CurrentMachine(), other);
    SetLastError(0);
    EXPECT_EQ(SetWindowLongPtrW(window, GWLP_WNDPROC,
                                reinterpret_cast<LONG_PTR>(testing::RecordingProcW)),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(WindowData, TextIsSetAndReadInEitherFormAndTruncatedToTheBuffer) {
    ASSERT_NE(RegisterRecordingClass(u"Static"), 0);
    std::u16string nameSeen, classSeen;
    g_handler = [&](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
        if (message == WM_NCCREATE) {
            nameSeen = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpszName;
            classSeen = reinterpret_cast<CREATESTRUCTW*>(lParam)->lpszClass;
        }
        return std::nullopt;
    };
    HWND window = CreateWindowExA(0, "Static", "Na\xefve", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    // The A caller's CREATESTRUCT reached the W procedure converted.
    EXPECT_EQ(nameSeen, u"Na\u00efve");
    EXPECT_EQ(classSeen, u"Static");
    char16_t text[32];
    EXPECT_EQ(GetWindowTextW(window, text, 32), 5);
    EXPECT_EQ(std::u16string(text), u"Na\u00efve");
    EXPECT_EQ(GetWindowTextLengthW(window), 5);

    EXPECT_TRUE(SetWindowTextA(window, "Caf\xe9 au lait"));
    char narrow[5];
    EXPECT_EQ(GetWindowTextA(window, narrow, 5), 4);
    EXPECT_EQ(std::string(narrow), "Caf\xe9");
    EXPECT_EQ(GetWindowTextLengthA(window), 12);
    EXPECT_EQ(GetWindowTextW(window, text, 1), 0);
    EXPECT_EQ(text[0], 0);
    EXPECT_TRUE(SetWindowTextW(window, nullptr));
    EXPECT_EQ(GetWindowTextLengthW(window), 0);

    SetLastError(0);
    EXPECT_EQ(GetWindowTextW(reinterpret_cast<HWND>(0x77), text, 32), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowData, AnotherThreadsWindowTextIsReadWithoutWaitingForIt) {
    Machine& machine = CurrentMachine();
    ASSERT_NE(RegisterRecordingClass(u"Busy"), 0);
    HWND window = nullptr;
    std::latch created(1), done(1);
    std::thread owner([&] {
        ScopedContext context(machine);
        window = CreateTopLevel(u"Busy", u"Synchronizing");
        created.count_down();
        done.wait();  // never pumps while the text is read
        DestroyWindow(window);
    });
    created.wait();
    char16_t text[32];
    EXPECT_EQ(GetWindowTextW(window, text, 32), 13);
    EXPECT_EQ(std::u16string(text), u"Synchronizing");
    EXPECT_EQ(GetWindowTextLengthW(window), 13);
    EXPECT_TRUE(g_journal.Of(WM_GETTEXT).empty());
    done.count_down();
    owner.join();
}

}  // namespace
}  // namespace pal
