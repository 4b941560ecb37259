// A machine of a world: a desktop or a device with its own file-system root, registry, named
// objects, processes, OS version, code page, locale, environment and clock. Each platform family
// keeps its per-machine state as a component (see components.h).
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Process;

enum class MachineKind { Desktop, Device };

struct OsVersion {
    DWORD major = 0;
    DWORD minor = 0;
    DWORD build = 0;
    DWORD platformId = 0;  // 2: Windows NT family, 3: Windows CE
};

enum class ClockMode { Real, Frozen, Offset };

struct MachineConfig {
    MachineKind kind = MachineKind::Desktop;
    OsVersion os;
    UINT codePage = 1252;
    LCID locale = 0x0409;
    // Environment variables in their stored case; names compare without regard to case.
    std::vector<std::pair<std::u16string, std::u16string>> environment;
    ClockMode clockMode = ClockMode::Real;
    // Frozen: the FILETIME (UTC) the clock shows. Offset: 100 ns units added to real time.
    LONGLONG clockValue = 0;
    // Minutes: UTC = local time + bias, as Windows defines it.
    LONG timeZoneBias = 0;
};

// The configuration a new machine of each kind starts from.
MachineConfig DefaultDesktopConfig();
MachineConfig DefaultDeviceConfig(DWORD osMajor, DWORD osMinor);

class Machine {
public:
    Machine(std::string name, std::filesystem::path dir, MachineConfig config);
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    const std::string& Name() const { return m_name; }
    MachineKind Kind() const { return m_config.kind; }
    bool IsDesktop() const { return m_config.kind == MachineKind::Desktop; }
    // Host folder of the machine (hives, emulator state) and of its file system's root
    // (the desktop's C:\, the device's \).
    const std::filesystem::path& Dir() const { return m_dir; }
    std::filesystem::path RootDir() const;

    MachineConfig Config() const;
    void SetConfig(const MachineConfig& config);

    // Environment lookup without regard to the name's case.
    std::optional<std::u16string> GetEnvironment(std::u16string_view name) const;
    void SetEnvironment(std::u16string_view name, std::u16string_view value);

    // The machine clock as a FILETIME value in 100 ns units since 1601-01-01 UTC.
    ULONGLONG NowUtc() const;
    // Freezes the clock at a FILETIME value, or lets it run offset from real time.
    void FreezeClock(ULONGLONG fileTimeUtc);
    void OffsetClock(LONGLONG delta100ns);
    void RealClock();

    template <class T>
    T& Get() {
        return m_components.Get<T>(*this);
    }
    template <class T>
    T* Find() {
        return m_components.Find<T>();
    }

    // Processes. The system process hosts work started without a process of its own.
    std::shared_ptr<Process> CreateProcess(std::u16string exePath);
    std::shared_ptr<Process> SystemProcess();
    std::shared_ptr<Process> FindProcess(DWORD id) const;
    std::vector<std::shared_ptr<Process>> Processes() const;
    // Takes an exited process off the machine's list (its object lives while handles remain).
    void RemoveProcess(DWORD id);

    // Writes the configuration and every component's persistent state.
    void Flush();
    // Flushes and tears down every component (the world calls this when it closes).
    void Shutdown();

private:
    void SaveConfig() const;

    std::string m_name;
    std::filesystem::path m_dir;
    mutable std::mutex m_lock;
    MachineConfig m_config;
    ComponentSet<Machine> m_components;
    std::map<DWORD, std::shared_ptr<Process>> m_processes;
    std::shared_ptr<Process> m_systemProcess;
    DWORD m_nextProcessId = 0x40;
    bool m_shutDown = false;

    friend class World;
};

// Reads a machine's saved configuration; throws WorldError when it is missing or malformed.
MachineConfig LoadMachineConfig(const std::filesystem::path& machineDir);
void SaveMachineConfig(const std::filesystem::path& machineDir, const MachineConfig& config);

}  // namespace pal
