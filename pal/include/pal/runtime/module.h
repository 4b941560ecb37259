// Modules loaded into an emulated process: a host shared object known by its Windows path.
// HMODULE / HINSTANCE values are the addresses of these records.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "pal/runtime/components.h"
#include "pal/types.h"

namespace pal {

class Process;

class Module {
public:
    Module(void* host, std::u16string windowsPath, std::filesystem::path hostPath);
    HMODULE Handle() { return reinterpret_cast<HMODULE>(this); }
    // The host loader's handle (dlopen) of the shared object.
    void* Host() const { return m_host; }
    const std::u16string& WindowsPath() const { return m_windowsPath; }
    const std::filesystem::path& HostPath() const { return m_hostPath; }
    // The module's compiled resources in the .res format, or empty when it has none. A module
    // with resources defines the symbols velumex_resource_data / velumex_resource_size.
    std::span<const BYTE> ResourceData() const;
    // LoadLibrary count; the module is unloaded when it drops to zero.
    int& LoadCount() { return m_loadCount; }

private:
    void* m_host;
    std::u16string m_windowsPath;
    std::filesystem::path m_hostPath;
    int m_loadCount = 1;
};

// The modules of one process.
class ModuleTable : public Component {
public:
    explicit ModuleTable(Process&) {}
    ~ModuleTable() override;
    Module* Add(std::unique_ptr<Module> module);
    // The module behind a handle of this process, or null.
    Module* Find(HMODULE handle);
    // The module with this Windows path (compared without regard to case), or null.
    Module* FindByPath(std::u16string_view windowsPath);
    // The module whose file name (last path component) matches, or null.
    Module* FindByFileName(std::u16string_view fileName);
    // Forgets the module; the caller unloads it.
    std::unique_ptr<Module> Remove(Module* module);
    std::vector<Module*> All();
    std::recursive_mutex& Lock() { return m_lock; }

private:
    std::recursive_mutex m_lock;
    std::vector<std::unique_ptr<Module>> m_modules;
};

// The module behind `handle` in the current process, or null.
Module* ModuleFromHandle(HMODULE handle);

}  // namespace pal
