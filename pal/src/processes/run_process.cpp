#include <utility>

#include "../modules/loader.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"

namespace pal {

// Libraries are told first (they may still use handles and the machine), and waiters are
// released last, so that whoever wakes finds the process gone from the list.
void EndProcess(Process& process, DWORD code) {
    {
        // DllMain runs in the ending process, without keeping it alive.
        ScopedContext inProcess(process.GetMachine(),
                                std::shared_ptr<Process>(std::shared_ptr<Process>(), &process));
        UnloadProcessModules(process);
    }
    for (auto& [handle, object] : process.Handles().TakeAll()) {
        object->OnHandleClosing(process, handle);
        object->OnHandleClosed(process);
    }
    process.GetMachine().RemoveProcess(process.Id());
    process.MarkExited(code);
}

std::shared_ptr<Thread> RunProcess(std::shared_ptr<Process> process, std::function<DWORD()> main) {
    Machine& machine = process->GetMachine();
    Process* raw = process.get();
    // The main thread keeps the process alive through its context until the end.
    return StartThread(machine, std::move(process), std::move(main),
                       [raw](DWORD code) { EndProcess(*raw, code); });
}

}  // namespace pal
