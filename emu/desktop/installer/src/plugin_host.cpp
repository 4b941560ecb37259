#include "emu/installer/plugin_host.h"

#include <installer_plugin.h>

#include <cstddef>
#include <algorithm>
#include <cstring>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/process.h"

namespace emu::installer {

namespace {

constexpr char16_t kSetupProgram[] = u"C:\\Windows\\Temp\\Setup\\setup.exe";

// Pushes `text` as a new top entry, cut to the variable size.
void Push(stack_t** top, const std::string& text, int stringSize) {
    size_t size = offsetof(stack_t, text) + static_cast<size_t>(stringSize);
    auto* entry = static_cast<stack_t*>(GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, size));
    if (!entry) throw InstallerError("the installer's stack is out of memory");
    std::memcpy(entry->text, text.data(), std::min(text.size(), size_t(stringSize) - 1));
    entry->next = *top;
    *top = entry;
}

PluginCall Call(const std::u16string& pluginPath, const std::string& function,
                const std::vector<std::string>& args, int stringSize) {
    HMODULE module = LoadLibraryW(pluginPath.c_str());
    if (!module)
        throw InstallerError("the plug-in " + pal::U8(pluginPath) + " does not load (error " +
                             std::to_string(GetLastError()) + ")");
    auto entry = reinterpret_cast<PluginFunction>(GetProcAddress(module, function.c_str()));
    if (!entry) {
        FreeLibrary(module);
        throw InstallerError("the plug-in has no function " + function);
    }
    std::vector<char> variables(INST_VARIABLE_COUNT * static_cast<size_t>(stringSize), '\0');
    stack_t* top = nullptr;
    for (auto arg = args.rbegin(); arg != args.rend(); ++arg) Push(&top, *arg, stringSize);
    entry(nullptr, stringSize, variables.data(), &top);

    PluginCall call;
    const char* r0 = variables.data() + INST_R0 * static_cast<size_t>(stringSize);
    call.r0.assign(r0, strnlen(r0, static_cast<size_t>(stringSize)));
    while (top) {
        stack_t* next = top->next;
        call.stack.emplace_back(top->text, strnlen(top->text, static_cast<size_t>(stringSize)));
        GlobalFree(top);
        top = next;
    }
    FreeLibrary(module);
    return call;
}

}  // namespace

std::u16string InstallPlugin(pal::Machine& desktop, const std::filesystem::path& hostFile,
                             const std::u16string& name) {
    std::u16string path = std::u16string(kPluginFolder) + u"\\" + name;
    pal::InstallModule(desktop, hostFile, path);
    return path;
}

PluginCall CallPlugin(pal::Machine& desktop, const std::u16string& pluginPath,
                      const std::string& function, const std::vector<std::string>& args,
                      int stringSize) {
    if (stringSize < 2) throw InstallerError("the variable size must be at least 2");
    auto process = desktop.CreateProcess(kSetupProgram);
    struct Ending {
        pal::Machine& machine;
        std::shared_ptr<pal::Process> process;
        ~Ending() {
            process->MarkExited(0);
            machine.RemoveProcess(process->Id());
        }
    } ending{desktop, process};
    pal::ScopedContext context(desktop, process);
    return Call(pluginPath, function, args, stringSize);
}

}  // namespace emu::installer
