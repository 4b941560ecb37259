#include "pal/runtime/thread.h"

#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <set>
#include <system_error>
#include <thread>

#include "../sync/mutex.h"
#include "pal/runtime/components.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/window_manager.h"
#include "pal/sync.h"
#include "pal/threads.h"

namespace pal {

namespace {

// Unwinds a thread that called ExitThread up to its start, which takes the exit code from it.
struct ThreadExit {
    DWORD code;
};

thread_local bool t_startedByLayer = false;

// The threads running in a machine. The state is shared with the threads themselves, so that a
// thread that outlives its machine's shutdown can still report its end.
struct RunningThreads {
    std::mutex lock;
    std::condition_variable changed;
    int count = 0;        // started and not yet ended
    std::set<DWORD> ids;  // of those, the ones whose id is known

    void Begin() {
        std::lock_guard<std::mutex> guard(lock);
        ++count;
    }
    void Started(DWORD id) {
        std::lock_guard<std::mutex> guard(lock);
        ids.insert(id);
    }
    // Notifies under the lock: a joiner may destroy nothing of this before it is released.
    void End(DWORD id) {
        std::lock_guard<std::mutex> guard(lock);
        ids.erase(id);
        --count;
        changed.notify_all();
    }
    int OthersThan(DWORD id) const { return count - static_cast<int>(ids.count(id)); }
};

class MachineThreads : public Component {
public:
    explicit MachineThreads(Machine&) {}
    const std::shared_ptr<RunningThreads> running = std::make_shared<RunningThreads>();
};

// How many of a process's threads are running; shared with the threads, which may outlive it.
class ProcessThreads : public Component {
public:
    explicit ProcessThreads(Process&) {}
    const std::shared_ptr<std::atomic<DWORD>> running = std::make_shared<std::atomic<DWORD>>(0);
};

}  // namespace

struct ThreadLauncher {
    static void Run(std::shared_ptr<Thread> thread, Machine* machine,
                    std::shared_ptr<Process> process, std::function<DWORD()> body,
                    std::function<void(DWORD)> onEnd, std::shared_ptr<RunningThreads> running,
                    std::shared_ptr<std::atomic<DWORD>> inProcess, std::promise<void> started) {
        SetCurrentContext(machine, std::move(process));
        t_startedByLayer = true;
        const DWORD id = CurrentThreadId();
        thread->m_id = id;
        running->Started(id);
        started.set_value();

        DWORD code = 0;
        try {
            code = body();
        } catch (const ThreadExit& exit) {
            code = exit.code;
        }
        // Its windows and message queue go with the thread, before anyone sees it ended.
        ReleaseThreadWindows();
        AbandonMutexesOfCurrentThread();
        {
            auto waits = LockWaits();
            thread->m_exitCode = code;
            thread->m_ended = true;
            --*inProcess;
            thread->WakeWaitersLocked();
        }
        if (onEnd) onEnd(code);

        // Nothing of the machine may be touched once its shutdown has been told of this end.
        body = nullptr;
        onEnd = nullptr;
        thread.reset();
        SetCurrentContext(nullptr, nullptr);
        running->End(id);
    }
};

bool Thread::HasEnded() const {
    auto waits = LockWaits();
    return m_ended;
}

DWORD Thread::ExitCode() const {
    auto waits = LockWaits();
    return m_exitCode;
}

bool Thread::IsSignaledFor(DWORD) const { return m_ended; }

std::shared_ptr<Thread> StartThread(Machine& machine, std::shared_ptr<Process> process,
                                    std::function<DWORD()> body, std::function<void(DWORD)> onEnd) {
    auto thread = std::make_shared<Thread>();
    auto running = machine.Get<MachineThreads>().running;
    Process& owner = process ? *process : *machine.SystemProcess();
    auto inProcess = owner.Get<ProcessThreads>().running;
    std::promise<void> started;
    auto ready = started.get_future();
    running->Begin();
    ++*inProcess;
    try {
        std::thread(ThreadLauncher::Run, thread, &machine, std::move(process), std::move(body),
                    std::move(onEnd), running, inProcess, std::move(started))
            .detach();
    } catch (...) {
        --*inProcess;
        running->End(0);  // the thread never started: it had no id
        throw;
    }
    ready.get();
    return thread;
}

DWORD RunningThreadCount(Process& process) {
    auto* threads = process.Find<ProcessThreads>();
    return threads ? threads->running->load() : 0;
}

bool JoinMachineThreads(Machine& machine, std::chrono::milliseconds limit) {
    auto* threads = machine.Find<MachineThreads>();
    if (!threads) return true;
    auto running = threads->running;
    const DWORD self = CurrentThreadId();
    std::unique_lock<std::mutex> lock(running->lock);
    if (running->changed.wait_for(lock, limit, [&] { return running->OthersThan(self) == 0; }))
        return true;
    std::fprintf(stderr, "velumex: machine %s shut down with %d thread(s) still running\n",
                 machine.Name().c_str(), running->OthersThan(self));
    return false;
}

}  // namespace pal

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress || dwCreationFlags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto process = pal::CurrentProcessPtr();
    std::shared_ptr<pal::Thread> thread;
    try {
        thread = pal::StartThread(pal::CurrentMachine(), process,
                                  [=] { return lpStartAddress(lpParameter); });
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (lpThreadId) *lpThreadId = thread->Id();
    return process->Handles().Add(thread);
}

DWORD GetCurrentThreadId() { return pal::CurrentThreadId(); }

DWORD GetCurrentProcessId() { return pal::CurrentProcess().Id(); }

void ExitThread(DWORD dwExitCode) {
    if (!pal::t_startedByLayer) {
        std::fputs("velumex: ExitThread on a thread that the platform layer did not start\n",
                   stderr);
        std::abort();
    }
    throw pal::ThreadExit{dwExitCode};
}

BOOL GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = pal::CurrentProcess().Handles().GetAs<pal::Thread>(hThread);
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpExitCode) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *lpExitCode = thread->ExitCode();
    return TRUE;
}

void Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == 0) {
        std::this_thread::yield();
        return;
    }
    if (dwMilliseconds == INFINITE) {
        for (;;) std::this_thread::sleep_for(std::chrono::hours(24));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
