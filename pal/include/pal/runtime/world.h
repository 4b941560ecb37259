// A world: a folder holding the machines of one setup (normally one desktop, "desktop", and one
// device, "device"). One process at a time opens a world; a lock file enforces it.
#pragma once

#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pal/runtime/machine.h"

namespace pal {

class WorldError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct WorldOptions {
    DWORD deviceOsMajor = 4;
    DWORD deviceOsMinor = 21;
};

class World {
public:
    // Creates the folder layout of a new world; fails when `dir` already holds one.
    static std::unique_ptr<World> Create(const std::filesystem::path& dir,
                                         const WorldOptions& options = {});
    // Opens an existing world; fails when it is missing or already open elsewhere.
    static std::unique_ptr<World> Open(const std::filesystem::path& dir);
    static bool Exists(const std::filesystem::path& dir);
    ~World();

    const std::filesystem::path& Dir() const { return m_dir; }
    Machine& Desktop() { return *Find("desktop"); }
    Machine& Device() { return *Find("device"); }
    Machine* Find(const std::string& name);
    std::vector<Machine*> Machines();
    // Adds another desktop machine (partnership cases with two desktops).
    Machine& AddDesktop(const std::string& name);

    // Saves every machine.
    void Flush();
    // Saves and shuts every machine down, then releases the lock. Idempotent.
    void Close();

private:
    World(std::filesystem::path dir, int lockFd);
    Machine& AddMachine(const std::string& name, const MachineConfig& config);

    std::filesystem::path m_dir;
    int m_lockFd;
    std::vector<std::unique_ptr<Machine>> m_machines;
};

}  // namespace pal
