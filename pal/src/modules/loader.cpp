#include "loader.h"

#include <dlfcn.h>
#include <link.h>

#include <memory>
#include <string>

#include "pal/errors.h"
#include "pal/modules.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "search.h"

namespace pal {

namespace {

using DllMainProc = BOOL (*)(HINSTANCE, DWORD, LPVOID);

// What DllMain receives as its reserved argument when the process ends (non-null, as Windows
// passes for termination).
LPVOID const kProcessTerminating = reinterpret_cast<LPVOID>(1);

const link_map* HostLinkMap(void* host) {
    link_map* map = nullptr;
    if (!host || ::dlinfo(host, RTLD_DI_LINKMAP, &map) != 0) return nullptr;
    return map;
}

const link_map* LinkMapOfAddress(const void* address) {
    Dl_info info;
    link_map* map = nullptr;
    if (!address || !::dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP))
        return nullptr;
    return map;
}

DWORD ErrorOfFailedOpen(const char* message) {
    std::string_view text = message ? message : "";
    if (text.find("undefined symbol") != std::string_view::npos) return ERROR_PROC_NOT_FOUND;
    if (text.find("cannot open shared object") != std::string_view::npos)
        return ERROR_MOD_NOT_FOUND;  // a library it depends on is missing
    return ERROR_BAD_EXE_FORMAT;
}

BOOL CallDllMain(Module& module, DWORD reason, LPVOID reserved) {
    auto entry = reinterpret_cast<DllMainProc>(FindExport(module, "DllMain"));
    return entry ? entry(module.Handle(), reason, reserved) : TRUE;
}

// Removes a module from its table and drops the host object; DllMain has already been told.
void Unmap(ModuleTable& table, Module& module) {
    void* host = module.Host();
    table.Remove(&module);
    ::dlclose(host);
}

// The module of `table` whose shared object holds `address`, or null.
Module* ModuleAt(ModuleTable& table, const void* address) {
    const link_map* map = LinkMapOfAddress(address);
    if (!map) return nullptr;
    for (Module* module : table.All())
        if (module->Host() && HostLinkMap(module->Host()) == map) return module;
    return nullptr;
}

// Detaches every library of the table, last loaded first, as at process termination, and
// unloads it. The executable's stand-in has no library behind it and stays.
void DetachAll(ModuleTable& table) {
    std::lock_guard<std::recursive_mutex> guard(table.Lock());
    auto modules = table.All();
    for (auto it = modules.rbegin(); it != modules.rend(); ++it) {
        if (!(*it)->Host()) continue;
        CallDllMain(**it, DLL_PROCESS_DETACH, kProcessTerminating);
        Unmap(table, **it);
    }
}

// The table of a process being torn down on this thread: its components are gone from the
// process by then, so the library calls made by DllMain find the table here.
struct TearDown {
    Process* process = nullptr;
    ModuleTable* table = nullptr;
};
thread_local TearDown t_tearDown;

// Detaches and unloads every library a process still holds when the process goes away. Created
// right after the module table, so that it is destroyed before it.
class ModuleUnloader : public Component {
public:
    explicit ModuleUnloader(Process& process)
        : m_process(process), m_table(process.Get<ModuleTable>()) {}
    ~ModuleUnloader() override {
        // DllMain may make platform calls: run it in the dying process, without owning it.
        ScopedContext context(m_process.GetMachine(),
                              std::shared_ptr<Process>(std::shared_ptr<Process>(), &m_process));
        TearDown previous = t_tearDown;
        t_tearDown = {&m_process, &m_table};
        DetachAll(m_table);
        t_tearDown = previous;
    }

private:
    Process& m_process;
    ModuleTable& m_table;
};

}  // namespace

ModuleTable& LoadedModules(Process& process) {
    if (t_tearDown.process == &process) return *t_tearDown.table;
    ModuleTable& table = process.Get<ModuleTable>();
    process.Get<ModuleUnloader>();
    return table;
}

void UnloadProcessModules(Process& process) {
    if (auto* table = process.Find<ModuleTable>()) DetachAll(*table);
}

std::u16string WithDefaultExtension(std::u16string_view name) {
    std::u16string result(name);
    auto slash = result.find_last_of(u"\\/");
    size_t fileStart = slash == std::u16string::npos ? 0 : slash + 1;
    auto dot = result.rfind(u'.');
    if (dot == std::u16string::npos || dot < fileStart)
        result += u".dll";
    else if (dot == result.size() - 1)
        result.pop_back();
    return result;
}

bool IsBareName(std::u16string_view name) {
    return name.find_first_of(u"\\/:") == std::u16string_view::npos;
}

void* FindExport(const Module& module, const char* name) {
    if (!module.Host()) return nullptr;
    void* symbol = ::dlsym(module.Host(), name);
    if (!symbol) return nullptr;
    // dlsym also searches the libraries the module depends on; only its own symbols count.
    const link_map* own = HostLinkMap(module.Host());
    return own && LinkMapOfAddress(symbol) == own ? symbol : nullptr;
}

Module* ModuleOrExecutable(ModuleTable& table, HMODULE handle) {
    if (handle) {
        Module* module = table.Find(handle);
        if (!module) SetLastError(ERROR_MOD_NOT_FOUND);
        return module;
    }
    Process& process = CurrentProcess();
    if (Module* exe = table.FindByPath(process.ExePath())) return exe;
    // The executable was not loaded as a library: a record without a host object stands for it.
    return table.Add(std::make_unique<Module>(nullptr, process.ExePath(), std::filesystem::path()));
}

HMODULE LoadModule(std::u16string_view requested, const void* callerAddress) {
    Process& process = CurrentProcess();
    ModuleTable& table = LoadedModules(process);
    std::lock_guard<std::recursive_mutex> guard(table.Lock());

    std::u16string name = WithDefaultExtension(requested);
    if (IsBareName(name)) {
        if (Module* loaded = table.FindByFileName(name)) {
            ++loaded->LoadCount();
            return loaded->Handle();
        }
    }
    DWORD error = 0;
    auto location = LocateLibrary(process, name, ModuleAt(table, callerAddress), error);
    if (!location) {
        SetLastError(error);
        return nullptr;
    }
    if (Module* loaded = table.FindByPath(location->windowsPath)) {
        ++loaded->LoadCount();
        return loaded->Handle();
    }

    void* host = ::dlopen(location->hostPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!host) {
        SetLastError(ErrorOfFailedOpen(::dlerror()));
        return nullptr;
    }
    Module* module =
        table.Add(std::make_unique<Module>(host, location->windowsPath, location->hostPath));
    if (!CallDllMain(*module, DLL_PROCESS_ATTACH, nullptr)) {
        // A library that refuses to attach is told to detach before it goes, as Windows does.
        CallDllMain(*module, DLL_PROCESS_DETACH, nullptr);
        Unmap(table, *module);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return module->Handle();
}

BOOL FreeModule(HMODULE handle) {
    ModuleTable& table = LoadedModules(CurrentProcess());
    std::lock_guard<std::recursive_mutex> guard(table.Lock());
    Module* module = table.Find(handle);
    if (!module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    // The executable's stand-in is never unloaded.
    if (!module->Host() || --module->LoadCount() > 0) return TRUE;
    CallDllMain(*module, DLL_PROCESS_DETACH, nullptr);
    Unmap(table, *module);
    return TRUE;
}

}  // namespace pal
