// The service host of one device: its process, the host thread that makes every load, Init,
// Deinit and unload, and the services that run. A component of the device machine.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "emu/services/service_host.h"
#include "pal/runtime/components.h"

namespace pal {
class Machine;
class Process;
}  // namespace pal

namespace emu::services {

struct RunningService {
    ServiceInfo info;
    HMODULE module = nullptr;
    DWORD context = 0;
    HANDLE handle = nullptr;
};

class HostState : public pal::Component {
public:
    explicit HostState(pal::Machine& machine);
    // Stops what still runs (a host that ShutDown did not end).
    ~HostState() override;

    // Runs `task` on the host thread, starting the host process when it does not run, and answers
    // what the task answered; the last error it left is passed on. Tasks run one at a time.
    DWORD Run(const std::function<DWORD()>& task);
    // Stops every service and ends the host process; nothing when it does not run.
    void ShutDown();
    // Whether the host process runs.
    bool IsRunning();

    // Host thread only: the services that run, in the order they started.
    std::vector<RunningService>& Running() { return m_running; }
    // Host thread only: makes a handle for a service that starts.
    HANDLE NextHandle();
    // Host thread only: the shell-ready event, created by a boot and held while the host runs.
    HANDLE& ShellReady() { return m_shellReady; }

    // The keys of the services that ran when the state was last saved.
    std::vector<std::u16string> SavedRunning() const;
    // Saves the keys of the running services (host thread).
    void SaveRunning() const;

private:
    struct Task;
    void StartHost();
    DWORD HostLoop();
    // Host thread: Deinit and unload every service, last started first.
    void StopAll();

    pal::Machine& m_machine;
    std::filesystem::path m_stateFile;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<Task*> m_queue;
    bool m_stopping = false;
    std::shared_ptr<pal::Process> m_process;
    DWORD m_hostThreadId = 0;

    std::vector<RunningService> m_running;
    HANDLE m_shellReady = nullptr;
    UINT_PTR m_nextHandle = 0x5E0;
};

// The host of the current machine.
HostState& CurrentHost();
// Host thread: loads, initialises and (with "Keep") records one service. 0 or an error code;
// `handle` gets the new service's handle.
DWORD ActivateOnHost(HostState& host, const std::u16string& key, DWORD clientInfo,
                     HANDLE* handle);
// Host thread: Deinit and unload the service at `position` of the running list.
void DeactivateOnHost(HostState& host, size_t position);

}  // namespace emu::services
