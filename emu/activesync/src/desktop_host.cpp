#include "activesync/desktop_host.h"

#include <exception>
#include <future>

#include "pal/runtime/context.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"
#include "pal/runtime/window_manager.h"

namespace activesync {

namespace {

// Thread messages of the store thread: run the task that lParam points to; end the thread.
const UINT kRunMessage = WM_APP + 1;
const UINT kQuitMessage = WM_APP + 2;
const WCHAR kWindowClass[] = u"SyncEngineMainWindow";

struct Task {
    const std::function<void()>* work;
    std::promise<void> done;
};

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

DesktopHost::DesktopHost(pal::Machine& desktop) : m_desktop(desktop) {
    {
        pal::ScopedContext context(desktop);
        CreateDirectoryW(u"C:\\Program Files", nullptr);
        CreateDirectoryW(kHostFolder, nullptr);
    }
    m_process = desktop.CreateProcess(kHostExePath);
    auto thread = pal::StartThread(
        desktop, m_process, [this] { return StoreThread(); },
        [this](DWORD) {
            pal::ReleaseThreadWindows();
            std::lock_guard<std::mutex> guard(m_lock);
            m_ended = true;
            m_changed.notify_all();
        });
    m_threadId = thread->Id();
    std::unique_lock<std::mutex> guard(m_lock);
    m_changed.wait(guard, [this] { return m_ready || m_ended; });
}

DesktopHost::~DesktopHost() {
    {
        pal::ScopedContext context(m_desktop, m_process);
        PostThreadMessageW(m_threadId, kQuitMessage, 0, 0);
    }
    {
        std::unique_lock<std::mutex> guard(m_lock);
        m_changed.wait(guard, [this] { return m_ended; });
    }
    // Its libraries detach (a provider's log closes) before its handles close.
    pal::EndProcess(*m_process, 0);
}

DWORD DesktopHost::StoreThread() {
    // The engine's store thread is a COM apartment: stores and the objects they create live in it.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.lpszClassName = kWindowClass;
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, kWindowClass, u"Sync Engine", WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  nullptr, nullptr, nullptr, nullptr);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_window = window;
        m_ready = true;
        m_changed.notify_all();
    }
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!message.hwnd && message.message == kQuitMessage) break;
        if (!message.hwnd && message.message == kRunMessage) {
            auto* task = reinterpret_cast<Task*>(message.lParam);
            try {
                (*task->work)();
                task->done.set_value();
            } catch (...) {
                task->done.set_exception(std::current_exception());
            }
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DestroyWindow(window);
    CoUninitialize();
    return 0;
}

void DesktopHost::Run(const std::function<void()>& work) {
    Task task{&work, {}};
    auto done = task.done.get_future();
    pal::ScopedContext context(m_desktop, m_process);
    if (!PostThreadMessageW(m_threadId, kRunMessage, 0, reinterpret_cast<LPARAM>(&task)))
        throw std::runtime_error("the store thread has ended");
    done.get();
}

}  // namespace activesync
