// The calling thread's place in the emulation: its machine, its process, its thread id and last
// error. Whoever starts work in a machine sets the context; threads and processes the layer
// starts inherit it.
#pragma once

#include <memory>

#include "pal/types.h"

namespace pal {

class Machine;
class Process;

// The current machine; aborts with a message when the thread has none (a programming error).
Machine& CurrentMachine();
Machine* TryCurrentMachine();
// The current process; the machine's system process when none was set.
Process& CurrentProcess();
std::shared_ptr<Process> CurrentProcessPtr();
// The calling thread's id, unique in the run and stable for the thread's life.
DWORD CurrentThreadId();

// Sets the calling thread's machine and process (null process: the machine's system process).
void SetCurrentContext(Machine* machine, std::shared_ptr<Process> process = nullptr);

// Sets the context for a scope and restores the previous one when it ends.
class ScopedContext {
public:
    explicit ScopedContext(Machine& machine, std::shared_ptr<Process> process = nullptr);
    ~ScopedContext();
    ScopedContext(const ScopedContext&) = delete;
    ScopedContext& operator=(const ScopedContext&) = delete;

private:
    Machine* m_previousMachine;
    std::shared_ptr<Process> m_previousProcess;
};

}  // namespace pal
