#include <gtest/gtest.h>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/window_manager.h"
#include "window_test_support.h"

namespace pal {
namespace {

using testing::CreateTopLevel;
using testing::RecordingProcA;
using testing::RecordingProcW;
using testing::RegisterRecordingClass;
using testing::WindowTest;

HINSTANCE Instance(ULONG_PTR value) { return reinterpret_cast<HINSTANCE>(value); }

using Classes = WindowTest;

TEST_F(Classes, NamesAreKeyedByInstanceAndCompareWithoutCase) {
    ATOM first = RegisterRecordingClass(u"VxWatch", Instance(0x1000));
    ASSERT_NE(first, 0);
    SetLastError(0);
    EXPECT_EQ(RegisterRecordingClass(u"VXWATCH", Instance(0x1000)), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));
    ATOM other = RegisterRecordingClass(u"vxwatch", Instance(0x2000));
    ASSERT_NE(other, 0);
    EXPECT_NE(other, first);

    // CreateWindow finds the class of the instance it names, and no other.
    HWND window = CreateWindowExW(0, u"vxWATCH", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  Instance(0x2000), nullptr);
    ASSERT_NE(window, nullptr);
    char16_t name[32];
    EXPECT_EQ(GetClassNameW(window, name, 32), 7);
    EXPECT_EQ(std::u16string(name), u"vxwatch");  // the registered spelling
    SetLastError(0);
    EXPECT_EQ(CreateWindowExW(0, u"VxWatch", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              Instance(0x3000), nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Classes, AGlobalClassIsFoundForAnyInstanceAndBlocksTheName) {
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_GLOBALCLASS;
    windowClass.lpfnWndProc = RecordingProcA;
    windowClass.hInstance = Instance(0x1000);
    windowClass.lpszClassName = "Shared";
    ATOM atom = RegisterClassExA(&windowClass);
    ASSERT_NE(atom, 0);
    WNDCLASSA local{};
    local.lpfnWndProc = RecordingProcA;
    local.hInstance = Instance(0x2000);
    local.lpszClassName = "SHARED";
    EXPECT_EQ(RegisterClassA(&local), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    HWND byName = CreateWindowExA(0, "shared", "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  Instance(0x9000), nullptr);
    HWND byAtom = CreateWindowExA(0, MAKEINTATOM(atom), "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  nullptr, nullptr);
    EXPECT_NE(byName, nullptr);
    EXPECT_NE(byAtom, nullptr);
}

TEST_F(Classes, BadRegistrationsAreRefused) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass - 1;
    windowClass.lpfnWndProc = RecordingProcW;
    windowClass.lpszClassName = u"Sized";
    SetLastError(0);
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = nullptr;
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    windowClass.lpfnWndProc = RecordingProcW;
    windowClass.lpszClassName = u"";
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    windowClass.lpszClassName = u"Negative";
    windowClass.cbWndExtra = -4;
    EXPECT_EQ(RegisterClassExW(&windowClass), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(RegisterClassW(nullptr), 0);
}

TEST_F(Classes, EachProcessHasItsOwnClassesAndSystemClassesServeThemAll) {
    auto installer = CurrentMachine().CreateProcess(u"C:\\Setup\\setup.exe");
    ASSERT_NE(RegisterRecordingClass(u"Private"), 0);
    {
        ScopedContext other(CurrentMachine(), installer);
        EXPECT_EQ(CreateTopLevel(u"Private"), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
        EXPECT_NE(RegisterRecordingClass(u"Private"), 0);  // no clash with the other process
    }

    WNDCLASSEXW control{};
    control.cbSize = sizeof control;
    control.lpfnWndProc = RecordingProcW;
    control.lpszClassName = u"BUTTON";
    ATOM button = RegisterSystemClass(CurrentMachine(), control);
    ASSERT_NE(button, 0);
    EXPECT_EQ(RegisterSystemClass(CurrentMachine(), control), button);  // kept, not doubled
    {
        ScopedContext other(CurrentMachine(), installer);
        HWND window = CreateWindowExW(0, u"Button", u"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                      Instance(0x4444), nullptr);
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(DescribeWindow(CurrentMachine(), window)->className, u"BUTTON");
    }

    // A process's own class of a system class's name wins in that process.
    ASSERT_NE(RegisterRecordingClass(u"button"), 0);
    HWND own = CreateTopLevel(u"BUTTON");
    ASSERT_NE(own, nullptr);
    EXPECT_EQ(DescribeWindow(CurrentMachine(), own)->className, u"button");
}

TEST_F(Classes, ClassNamesAreCopiedTruncatedInEitherForm) {
    ASSERT_NE(RegisterRecordingClass(u"Caf\u00e9Window"), 0);
    HWND window = CreateTopLevel(u"CAF\u00c9WINDOW");
    ASSERT_NE(window, nullptr);
    char narrow[5];
    EXPECT_EQ(GetClassNameA(window, narrow, 5), 4);
    EXPECT_EQ(std::string(narrow), "Caf\xe9");
    char16_t wide[64];
    EXPECT_EQ(GetClassNameW(window, wide, 64), 10);
    EXPECT_EQ(std::u16string(wide), u"Caf\u00e9Window");
    SetLastError(0);
    EXPECT_EQ(GetClassNameW(reinterpret_cast<HWND>(0x1234), wide, 64), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

}  // namespace
}  // namespace pal
