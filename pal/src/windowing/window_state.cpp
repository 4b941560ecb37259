#include "window_state.h"

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace pal::windowing {

namespace {

// The shell window answers every message itself, without the machine's state, so that its thread
// may run while the state is being torn down; it has no text and ignores WM_CLOSE.
LRESULT CALLBACK ShellProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) return TRUE;
    if (message == WM_GETTEXT && wParam > 0 && lParam) *reinterpret_cast<char16_t*>(lParam) = 0;
    return 0;
}

}  // namespace

WindowState::WindowState(Machine& machine) : m_machine(machine) {}

WindowState::~WindowState() {
    if (!m_shellThread.joinable()) return;
    {
        Lock lock(m_lock);
        m_changed.wait(lock, [&] { return m_shell != nullptr; });
        MessageQueue& queue = QueueLocked(m_shellThreadId);
        queue.quit = true;
        Notify(queue);
    }
    m_shellThread.join();
}

WindowState& State() { return CurrentMachine().Get<WindowState>(); }

HWND WindowState::Foreground() {
    Lock lock(m_lock);
    if (m_foreground && m_windows.count(m_foreground)) return m_foreground;
    if (!m_shellThread.joinable()) m_shellThread = std::thread([this] { RunShell(); });
    m_changed.wait(lock, [&] { return m_shell != nullptr; });
    return m_shell;
}

// The shell thread: a thread of the machine's system process that owns the shell window and
// answers what is sent to it until the state goes. It holds the process only while it creates
// the window, so that the machine's teardown of its processes is not delayed by it.
void WindowState::RunShell() {
    HWND shell;
    {
        ScopedContext context(m_machine, m_machine.SystemProcess());
        WindowClass shellClass;
        shellClass.name = m_machine.IsDesktop() ? u"Shell_TrayWnd" : u"HHTaskBar";
        shellClass.proc = ShellProc;
        CreateParams params;
        params.windowClass.atom = AddSystemClass(shellClass);
        params.style = WS_POPUP | WS_VISIBLE;
        shell = Create(params);
    }
    {
        Lock lock(m_lock);
        m_shellThreadId = CurrentThreadId();
        m_shell = shell;
        // The shell lies beneath every other top-level window.
        std::erase(m_topLevel, shell);
        m_topLevel.push_back(shell);
        m_changed.notify_all();
    }
    MSG message;
    while (Retrieve(message, {}, true, true) == Retrieval::Message) Dispatch(message, true);
}

}  // namespace pal::windowing
