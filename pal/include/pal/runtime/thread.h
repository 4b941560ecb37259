// Emulated threads: host threads that run in a machine and a process, that others wait on, and
// that a machine waits for when it shuts down.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "pal/runtime/waitable.h"

namespace pal {

class Machine;
class Process;

class Thread : public Waitable {
public:
    DWORD Id() const { return m_id; }
    bool HasEnded() const;
    // STILL_ACTIVE (259) until the thread has ended.
    DWORD ExitCode() const;
    bool IsSignaledFor(DWORD threadId) const override;

private:
    friend struct ThreadLauncher;
    DWORD m_id = 0;
    bool m_ended = false;  // guarded by the wait lock, as is m_exitCode
    DWORD m_exitCode = 259;
};

// Runs `body` on a new host thread whose current machine and process are the given ones; the
// thread's exit code is what `body` returns, or what it passes to ExitThread. Once the thread has
// ended (exit code set, the mutexes it owned abandoned, waiters on it released), `onEnd` runs on
// it with the exit code: a process's main thread marks its process exited there. The thread's
// windows and message queue are released as its body returns (see ReleaseThreadWindows). Returns
// when the thread runs and has its id; throws std::system_error when no host thread can be made.
std::shared_ptr<Thread> StartThread(Machine& machine, std::shared_ptr<Process> process,
                                    std::function<DWORD()> body,
                                    std::function<void(DWORD)> onEnd = nullptr);

// The threads started in `process` (by StartThread or CreateThread) that have not ended yet.
DWORD RunningThreadCount(Process& process);

// Waits up to `limit` for the threads started in `machine` (other than the caller) to end. True
// when none is left; otherwise reports the stragglers on stderr and returns false: they are left
// running, and must no longer use the machine. Machine::Shutdown calls this first.
bool JoinMachineThreads(Machine& machine, std::chrono::milliseconds limit);

}  // namespace pal
