#include "pal/runtime/process.h"

#include "pal/runtime/machine.h"

namespace pal {

Process::Process(Machine& machine, DWORD id, std::u16string exePath)
    : m_machine(machine),
      m_id(id),
      m_exePath(std::move(exePath)),
      m_currentDirectory(machine.IsDesktop() ? u"C:\\" : u"\\") {}

Process::~Process() {
    // Components (modules, heaps) go before the handles they may still reference.
    m_components.Clear();
}

void Process::MarkExited(DWORD code) {
    m_exitCode.store(code);
    m_exited.store(true);
    WakeWaiters();
}

std::u16string Process::CurrentDirectory() const {
    std::lock_guard<std::mutex> guard(m_dirLock);
    return m_currentDirectory;
}

void Process::SetCurrentDirectory(std::u16string dir) {
    std::lock_guard<std::mutex> guard(m_dirLock);
    m_currentDirectory = std::move(dir);
}

}  // namespace pal
