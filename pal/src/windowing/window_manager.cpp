#include "pal/runtime/window_manager.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "text_forms.h"
#include "window_state.h"

namespace pal {

namespace windowing {

namespace {

WindowInfo InfoOf(const Window& window) {
    return WindowInfo{window.handle,    window.windowClass->name,
                      window.text,      window.threadId,
                      window.processId, window.parent,
                      window.owner,     window.style,
                      window.exStyle,   window.id};
}

}  // namespace

std::vector<WindowInfo> WindowState::List() {
    Lock lock(m_lock);
    std::vector<WindowInfo> all;
    std::vector<HWND> pending(m_topLevel.rbegin(), m_topLevel.rend());  // a stack, top first
    while (!pending.empty()) {
        Window* window = FindLocked(pending.back());
        pending.pop_back();
        all.push_back(InfoOf(*window));
        pending.insert(pending.end(), window->children.rbegin(), window->children.rend());
    }
    return all;
}

std::optional<WindowInfo> WindowState::Describe(HWND handle) {
    Lock lock(m_lock);
    Window* window = FindLocked(handle);
    if (!window) return std::nullopt;
    return InfoOf(*window);
}

}  // namespace windowing

std::vector<WindowInfo> ListWindows(Machine& machine) {
    return machine.Get<windowing::WindowState>().List();
}

std::optional<WindowInfo> DescribeWindow(Machine& machine, HWND window) {
    return machine.Get<windowing::WindowState>().Describe(window);
}

ATOM RegisterSystemClass(Machine& machine, const WNDCLASSEXW& windowClass) {
    if (!windowClass.lpfnWndProc || !windowClass.lpszClassName || windowClass.cbWndExtra < 0)
        return 0;
    windowing::WindowClass entry;
    entry.name = windowing::WideFromCaller(windowClass.lpszClassName, true);
    entry.instance = windowClass.hInstance;
    entry.style = windowClass.style;
    entry.proc = windowClass.lpfnWndProc;
    entry.unicode = true;
    entry.windowExtra = windowClass.cbWndExtra;
    return machine.Get<windowing::WindowState>().AddSystemClass(std::move(entry));
}

bool SetForeground(Machine& machine, HWND window) {
    return machine.Get<windowing::WindowState>().BringToForeground(window);
}

std::optional<QueueInfo> GetQueueInfo(Machine& machine, DWORD threadId) {
    return machine.Get<windowing::WindowState>().QueueState(threadId);
}

bool WaitForQueue(Machine& machine, DWORD threadId,
                  const std::function<bool(const QueueInfo&)>& condition, DWORD timeoutMs) {
    return machine.Get<windowing::WindowState>().WaitForQueue(threadId, condition, timeoutMs);
}

bool WaitForIdleWindow(Machine& machine, std::u16string_view title, DWORD timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        for (const WindowInfo& window : ListWindows(machine)) {
            if (window.parent || window.text != title) continue;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            return WaitForQueue(
                machine, window.threadId,
                [](const QueueInfo& queue) {
                    return !queue.posted && !queue.sent && queue.waiting;
                },
                static_cast<DWORD>(std::max<std::int64_t>(left.count(), 0)));
        }
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void ReleaseThreadWindows() { windowing::State().ReleaseThread(CurrentThreadId()); }

}  // namespace pal
