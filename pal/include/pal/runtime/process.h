// An emulated process: an id, the Windows path of its executable, its handles and whatever state
// the platform families keep per process (modules, heaps, …). A process is waitable: waits on it
// are satisfied once it has exited.
#pragma once

#include <atomic>
#include <string>

#include "pal/runtime/components.h"
#include "pal/runtime/handles.h"
#include "pal/runtime/waitable.h"

namespace pal {

class Machine;

class Process : public Waitable {
public:
    Process(Machine& machine, DWORD id, std::u16string exePath);
    ~Process() override;

    Machine& GetMachine() const { return m_machine; }
    DWORD Id() const { return m_id; }
    // What GetModuleFileName(NULL, …) answers.
    const std::u16string& ExePath() const { return m_exePath; }
    HandleTable& Handles() { return m_handles; }

    template <class T>
    T& Get() {
        return m_components.Get<T>(*this);
    }
    template <class T>
    T* Find() {
        return m_components.Find<T>();
    }

    // Exit bookkeeping; a process is running until MarkExited, which also releases every thread
    // waiting on the process.
    bool HasExited() const { return m_exited.load(); }
    DWORD ExitCode() const { return m_exitCode.load(); }
    void MarkExited(DWORD code);
    bool IsSignaledFor(DWORD threadId) const override {
        (void)threadId;
        return HasExited();
    }

    // The folder GetCurrentDirectory answers; relative paths resolve against it.
    std::u16string CurrentDirectory() const;
    void SetCurrentDirectory(std::u16string dir);

private:
    Machine& m_machine;
    DWORD m_id;
    std::u16string m_exePath;
    HandleTable m_handles;
    ComponentSet<Process> m_components;
    std::atomic<bool> m_exited{false};
    std::atomic<DWORD> m_exitCode{259 /* STILL_ACTIVE */};
    mutable std::mutex m_dirLock;
    std::u16string m_currentDirectory;
};

}  // namespace pal
