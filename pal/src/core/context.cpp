#include "pal/runtime/context.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "pal/errors.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

struct ThreadContext {
    Machine* machine = nullptr;
    std::shared_ptr<Process> process;
    DWORD threadId = 0;
    DWORD lastError = 0;
};

thread_local ThreadContext t_context;
std::atomic<DWORD> g_nextThreadId{0x1000};

}  // namespace

Machine* TryCurrentMachine() { return t_context.machine; }

Machine& CurrentMachine() {
    if (!t_context.machine) {
        std::fputs("velumex: a platform call was made on a thread with no machine\n", stderr);
        std::abort();
    }
    return *t_context.machine;
}

std::shared_ptr<Process> CurrentProcessPtr() {
    if (t_context.process) return t_context.process;
    return CurrentMachine().SystemProcess();
}

Process& CurrentProcess() {
    if (t_context.process) return *t_context.process;
    return *CurrentMachine().SystemProcess();
}

DWORD CurrentThreadId() {
    if (t_context.threadId == 0) t_context.threadId = g_nextThreadId.fetch_add(4);
    return t_context.threadId;
}

void SetCurrentContext(Machine* machine, std::shared_ptr<Process> process) {
    t_context.machine = machine;
    t_context.process = std::move(process);
}

ScopedContext::ScopedContext(Machine& machine, std::shared_ptr<Process> process)
    : m_previousMachine(t_context.machine), m_previousProcess(t_context.process) {
    SetCurrentContext(&machine, std::move(process));
}

ScopedContext::~ScopedContext() { SetCurrentContext(m_previousMachine, m_previousProcess); }

}  // namespace pal

DWORD GetLastError() { return pal::t_context.lastError; }

void SetLastError(DWORD dwErrCode) { pal::t_context.lastError = dwErrCode; }
