// The machine-wide top-level window walk, written the way device code (UNICODE) uses it.
#define UNICODE
#include <gtest/gtest.h>

#include <latch>
#include <thread>
#include <type_traits>

#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/window_manager.h"
#include "window_test_support.h"

static_assert(std::is_same_v<WNDCLASS, WNDCLASSW> && std::is_same_v<CREATESTRUCT, CREATESTRUCTW>);

namespace pal {
namespace {

using testing::DeviceTest;
using testing::g_handler;
using testing::g_journal;
using testing::RecordingProcW;

// The launcher's search: from the foreground window's first sibling onwards, skipping the
// foreground window, the first "Dialog" window of the installer gets IDOK.
HWND DismissInstallerDialog(DWORD installerId) {
    HWND foreground = GetForegroundWindow();
    for (HWND window = GetWindow(foreground, GW_HWNDFIRST); window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (window == foreground) continue;
        WCHAR name[64];
        if (!GetClassName(window, name, 64)) continue;
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        if (EqualsNoCase(name, u"Dialog") && processId == installerId) {
            SendMessage(window, WM_COMMAND, 1, 0);
            return window;
        }
    }
    return nullptr;
}

class WindowWalk : public DeviceTest {
protected:
    WindowWalk() {
        g_journal.Clear();
        g_handler = [](HWND window, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
            if (message == WM_COMMAND) DestroyWindow(window);
            if (message == WM_DESTROY) PostQuitMessage(0);
            return std::nullopt;
        };
    }
    ~WindowWalk() override { g_handler = nullptr; }

    // Runs a thread of `process` that creates a top-level window of `className` (registered for
    // that process) and pumps until the window is gone.
    std::thread RunWindow(std::shared_ptr<Process> process, const WCHAR* className, HWND& window,
                          std::latch& created) {
        Machine& machine = CurrentMachine();
        return std::thread([&machine, process, className, &window, &created] {
            ScopedContext context(machine, process);
            WNDCLASS windowClass{};
            windowClass.lpfnWndProc = RecordingProcW;
            windowClass.lpszClassName = className;
            RegisterClass(&windowClass);
            window = CreateWindow(className, W("Velumex"), WS_POPUP | WS_VISIBLE, 0, 0, 0, 0,
                                  nullptr, nullptr, nullptr, nullptr);
            created.count_down();
            MSG message;
            while (GetMessage(&message, nullptr, 0, 0) > 0) DispatchMessage(&message);
        });
    }
};

TEST_F(WindowWalk, TheLauncherFindsTheInstallersDialogAmongAllProcessesWindows) {
    Machine& device = CurrentMachine();
    auto installer = device.CreateProcess(u"\\Windows\\wceload.exe");
    auto other = device.CreateProcess(u"\\Windows\\pimg.exe");
    auto launcher = device.CreateProcess(u"\\Windows\\KTstart.exe");
    HWND dialog = nullptr, decoy = nullptr, main = nullptr;
    std::latch created(3);
    std::thread installerDialog = RunWindow(installer, u"Dialog", dialog, created);
    std::thread otherDialog = RunWindow(other, u"DIALOG", decoy, created);
    std::thread installerMain = RunWindow(installer, u"WceLoadMain", main, created);
    created.wait();
    ASSERT_TRUE(dialog && decoy && main);

    ScopedContext context(device, launcher);
    HWND foreground = GetForegroundWindow();
    ASSERT_NE(foreground, nullptr);
    WCHAR name[32];
    ASSERT_GT(GetClassName(foreground, name, 32), 0);
    EXPECT_EQ(std::u16string(name), u"HHTaskBar");  // nothing was brought forward: the shell
    DWORD shellProcess = 0;
    EXPECT_NE(GetWindowThreadProcessId(foreground, &shellProcess), 0u);
    EXPECT_EQ(shellProcess, device.SystemProcess()->Id());
    EXPECT_EQ(GetWindow(foreground, GW_HWNDLAST), foreground);  // beneath every other window

    EXPECT_EQ(DismissInstallerDialog(installer->Id()), dialog);
    installerDialog.join();  // IDOK destroyed the dialog, which ended its thread's loop
    EXPECT_FALSE(IsWindow(dialog));
    auto commands = g_journal.Of(WM_COMMAND);
    ASSERT_EQ(commands.size(), 1u);
    EXPECT_EQ(commands[0].window, dialog);
    EXPECT_EQ(commands[0].wParam, 1u);
    EXPECT_NE(commands[0].threadId, CurrentThreadId());

    EXPECT_EQ(DismissInstallerDialog(installer->Id()),
              nullptr);  // the decoy is not the installer's
    for (HWND window : {decoy, main}) PostMessage(window, WM_CLOSE, 0, 0);
    otherDialog.join();
    installerMain.join();
}

TEST_F(WindowWalk, TopLevelWindowsRunNewestFirstAndTheForegroundComesToTheTop) {
    Machine& device = CurrentMachine();
    WNDCLASS windowClass{};
    windowClass.lpfnWndProc = RecordingProcW;
    windowClass.lpszClassName = W("Top");
    ASSERT_NE(RegisterClass(&windowClass), 0);
    HWND shell = GetForegroundWindow();
    HWND older = CreateWindow(W("Top"), W("older"), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr);
    HWND newer = CreateWindow(W("Top"), W("newer"), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr,
                              nullptr);
    auto walk = [&] {
        std::vector<HWND> order;
        for (HWND w = GetWindow(shell, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
            order.push_back(w);
        return order;
    };
    EXPECT_EQ(walk(), (std::vector<HWND>{newer, older, shell}));
    EXPECT_EQ(GetWindow(older, GW_HWNDPREV), newer);
    EXPECT_EQ(GetForegroundWindow(), shell);

    ASSERT_TRUE(SetForeground(device, older));
    EXPECT_EQ(GetForegroundWindow(), older);
    EXPECT_EQ(walk(), (std::vector<HWND>{older, newer, shell}));
    DestroyWindow(older);
    EXPECT_EQ(GetForegroundWindow(), shell);
    SetLastError(0);
    EXPECT_EQ(GetWindow(older, GW_HWNDNEXT), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(GetWindow(newer, 99), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_GW_COMMAND));

    auto listed = ListWindows(device);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].handle, newer);
    EXPECT_EQ(listed[0].text, u"newer");
    EXPECT_EQ(listed[0].className, u"Top");
    EXPECT_EQ(listed[0].threadId, CurrentThreadId());
    EXPECT_EQ(listed[0].processId, CurrentProcess().Id());
    EXPECT_EQ(listed[1].className, u"HHTaskBar");
}

TEST_F(WindowWalk, WindowsOfTwoMachinesAreKeptApart) {
    Machine& device = CurrentMachine();
    Machine& desktop = m_world.Desktop();
    HWND onDevice = nullptr;
    {
        WNDCLASS windowClass{};
        windowClass.lpfnWndProc = RecordingProcW;
        windowClass.lpszClassName = W("Watch");
        ASSERT_NE(RegisterClass(&windowClass), 0);
        onDevice = CreateWindow(W("Watch"), W("device"), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                nullptr, nullptr);
        ASSERT_NE(onDevice, nullptr);
    }
    ScopedContext onDesktop(desktop);
    EXPECT_FALSE(IsWindow(onDevice));
    SetLastError(0);
    EXPECT_EQ(SendMessage(onDevice, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(
        CreateWindow(W("Watch"), W(""), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));

    WNDCLASS windowClass{};
    windowClass.lpfnWndProc = RecordingProcW;
    windowClass.lpszClassName = W("Watch");
    ASSERT_NE(RegisterClass(&windowClass), 0);  // the desktop's own class of that name
    HWND onDesktopWindow = CreateWindow(W("Watch"), W("desktop"), WS_POPUP, 0, 0, 0, 0, nullptr,
                                        nullptr, nullptr, nullptr);
    ASSERT_NE(onDesktopWindow, nullptr);
    EXPECT_NE(onDesktopWindow, onDevice);
    HWND shell = GetForegroundWindow();
    WCHAR name[32];
    GetClassName(shell, name, 32);
    EXPECT_EQ(std::u16string(name), u"Shell_TrayWnd");
    std::vector<HWND> walked;
    for (HWND w = GetWindow(shell, GW_HWNDFIRST); w; w = GetWindow(w, GW_HWNDNEXT))
        walked.push_back(w);
    EXPECT_EQ(walked, (std::vector<HWND>{onDesktopWindow, shell}));
    ASSERT_EQ(ListWindows(device).size(), 1u);
    EXPECT_EQ(ListWindows(device)[0].text, u"device");
}

}  // namespace
}  // namespace pal
