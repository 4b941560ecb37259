#include "host_state.h"

#include <algorithm>
#include <fstream>

#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"
#include "pal/runtime/waitable.h"

namespace emu::services {

struct HostState::Task {
    const std::function<DWORD()>* body;
    DWORD result = 0;
    DWORD error = 0;
    bool done = false;
};

HostState::HostState(pal::Machine& machine)
    : m_machine(machine), m_stateFile(machine.Dir() / "services.state") {}

HostState::~HostState() { ShutDown(); }

HANDLE HostState::NextHandle() { return reinterpret_cast<HANDLE>(++m_nextHandle); }

void HostState::StartHost() {
    m_stopping = false;
    m_process = m_machine.CreateProcess(kServiceHostPath);
    auto thread = pal::RunProcess(m_process, [this] { return HostLoop(); });
    m_hostThreadId = thread->Id();
}

DWORD HostState::Run(const std::function<DWORD()>& task) {
    if (pal::CurrentThreadId() == m_hostThreadId && m_process) return task();
    Task entry{&task};
    std::unique_lock<std::mutex> guard(m_lock);
    if (!m_process) StartHost();
    m_queue.push_back(&entry);
    m_changed.notify_all();
    m_changed.wait(guard, [&] { return entry.done; });
    SetLastError(entry.error);
    return entry.result;
}

DWORD HostState::HostLoop() {
    std::unique_lock<std::mutex> guard(m_lock);
    for (;;) {
        m_changed.wait(guard, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty()) break;
        Task* task = m_queue.front();
        m_queue.pop_front();
        guard.unlock();
        SetLastError(0);
        DWORD result = (*task->body)();
        DWORD error = GetLastError();
        guard.lock();
        task->result = result;
        task->error = error;
        task->done = true;
        m_changed.notify_all();
    }
    return 0;
}

void HostState::StopAll() {
    while (!m_running.empty()) DeactivateOnHost(*this, m_running.size() - 1);
    if (m_shellReady) CloseHandle(m_shellReady);
    m_shellReady = nullptr;
}

void HostState::ShutDown() {
    std::shared_ptr<pal::Process> process;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_process) return;
    }
    Run([this] {
        StopAll();
        return DWORD{0};
    });
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stopping = true;
        process = std::move(m_process);
        m_hostThreadId = 0;
        m_changed.notify_all();
    }
    // The host process has ended once its libraries are unloaded and its handles closed.
    std::shared_ptr<pal::Waitable> objects[] = {process};
    pal::WaitForObjects(objects, false, INFINITE);
}

bool HostState::IsRunning() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_process != nullptr;
}

std::vector<std::u16string> HostState::SavedRunning() const {
    std::vector<std::u16string> keys;
    std::ifstream in(m_stateFile);
    std::string line;
    while (std::getline(in, line))
        if (!line.empty()) keys.emplace_back(line.begin(), line.end());
    return keys;
}

void HostState::SaveRunning() const {
    // Written beside, then renamed over the old state, so that a crash leaves one or the other.
    auto temp = m_stateFile;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& service : m_running) {
            // Registry key names of services are plain ASCII; others are not remembered.
            std::string key;
            for (char16_t c : service.info.key) key += c < 0x80 ? static_cast<char>(c) : '?';
            out << key << '\n';
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, m_stateFile, ec);
}

HostState& CurrentHost() { return pal::CurrentMachine().Get<HostState>(); }

}  // namespace emu::services
