#include "pal/runtime/module.h"

#include <dlfcn.h>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/process.h"

namespace pal {

Module::Module(void* host, std::u16string windowsPath, std::filesystem::path hostPath)
    : m_host(host), m_windowsPath(std::move(windowsPath)), m_hostPath(std::move(hostPath)) {}

std::span<const BYTE> Module::ResourceData() const {
    if (!m_host) return {};
    auto data = static_cast<const BYTE*>(::dlsym(m_host, "velumex_resource_data"));
    auto size = static_cast<const unsigned int*>(::dlsym(m_host, "velumex_resource_size"));
    if (!data || !size) return {};
    return {data, *size};
}

ModuleTable::~ModuleTable() = default;

Module* ModuleTable::Add(std::unique_ptr<Module> module) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    m_modules.push_back(std::move(module));
    return m_modules.back().get();
}

Module* ModuleTable::Find(HMODULE handle) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& module : m_modules)
        if (module->Handle() == handle) return module.get();
    return nullptr;
}

Module* ModuleTable::FindByPath(std::u16string_view windowsPath) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& module : m_modules)
        if (EqualsNoCase(module->WindowsPath(), windowsPath)) return module.get();
    return nullptr;
}

Module* ModuleTable::FindByFileName(std::u16string_view fileName) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto& module : m_modules) {
        std::u16string_view path = module->WindowsPath();
        auto slash = path.find_last_of(u'\\');
        if (EqualsNoCase(slash == std::u16string_view::npos ? path : path.substr(slash + 1),
                         fileName))
            return module.get();
    }
    return nullptr;
}

std::unique_ptr<Module> ModuleTable::Remove(Module* module) {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    for (auto it = m_modules.begin(); it != m_modules.end(); ++it)
        if (it->get() == module) {
            auto removed = std::move(*it);
            m_modules.erase(it);
            return removed;
        }
    return nullptr;
}

std::vector<Module*> ModuleTable::All() {
    std::lock_guard<std::recursive_mutex> guard(m_lock);
    std::vector<Module*> all;
    for (auto& module : m_modules) all.push_back(module.get());
    return all;
}

Module* ModuleFromHandle(HMODULE handle) {
    return CurrentProcess().Get<ModuleTable>().Find(handle);
}

}  // namespace pal
