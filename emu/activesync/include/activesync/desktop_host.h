// The engine's process on the desktop, "C:\Program Files\Sync Engine\SyncEngine.exe" (a host
// process's own path names its per-process files, e.g. a provider's log
// "C:\Program Files\Sync Engine\SyncEngine_log.txt"). It owns the store thread, which makes every
// call into desktop stores and their handlers and pumps its window messages between calls, and
// the engine's main window, the owner of what the stores show.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "activesync/repl_notify.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace activesync {

inline constexpr char16_t kHostFolder[] = u"C:\\Program Files\\Sync Engine";
inline constexpr char16_t kHostExePath[] = u"C:\\Program Files\\Sync Engine\\SyncEngine.exe";

class DesktopHost {
public:
    // Starts the process (creating its folder when missing) and its store thread, and waits
    // until the thread has made the main window.
    explicit DesktopHost(pal::Machine& desktop);
    // Ends the store thread (its windows go with it) and the process: its libraries detach
    // before its handles close, as when a process terminates.
    ~DesktopHost();
    DesktopHost(const DesktopHost&) = delete;
    DesktopHost& operator=(const DesktopHost&) = delete;

    pal::Machine& Desktop() { return m_desktop; }
    std::shared_ptr<pal::Process> Process() const { return m_process; }
    HWND MainWindow() const { return m_window; }
    DWORD StoreThreadId() const { return m_threadId; }

    // Runs `work` on the store thread and waits for it; an exception it throws is rethrown here.
    // Messages that arrive between two runs are dispatched by the store thread meanwhile.
    void Run(const std::function<void()>& work);
    // A new engine callback for stores of this host (one reference, owned by the caller).
    ReplNotify* CreateNotify() { return ReplNotify::Create(m_desktop, m_window); }

private:
    DWORD StoreThread();

    pal::Machine& m_desktop;
    std::shared_ptr<pal::Process> m_process;
    HWND m_window = nullptr;
    DWORD m_threadId = 0;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_ready = false;
    bool m_ended = false;
};

}  // namespace activesync
