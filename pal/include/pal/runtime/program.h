// Emulated programs from the layer's own C++ code: a process whose main thread runs a C++
// function, for programs that live inside an emulator rather than in a file of the machine (the
// device's CAB installer is one). The process is listed, opened and waited on like one started
// by CreateProcessW, and ends the same way.
#pragma once

#include <functional>
#include <memory>

#include "pal/types.h"

namespace pal {

class Process;
class Thread;

// Runs `main` on a new thread of `process` (a process just made by Machine::CreateProcess), in
// that process and its machine. When `main` returns (or its thread calls ExitThread), the process
// exits with that code: the main thread's windows go, the libraries it holds are detached and
// unloaded, its handles closed, it leaves the machine's process list, and waiters on it are
// released, in that order. Returns the main thread once it runs; throws std::system_error when
// no thread can be started.
std::shared_ptr<Thread> RunProcess(std::shared_ptr<Process> process, std::function<DWORD()> main);

// Ends `process` with `code` once none of its threads runs any more, as a terminating process
// ends: its libraries are detached (DllMain runs in the process, whose handles are still open)
// and unloaded, then its handles are closed, it leaves the machine's process list, and waiters on
// it are released, in that order. For hosts that run the threads of a process they made.
void EndProcess(Process& process, DWORD code);

}  // namespace pal
