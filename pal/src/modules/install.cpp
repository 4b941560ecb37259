#include <stdexcept>

#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"

namespace pal {

namespace fs = std::filesystem;

fs::path InstallModule(Machine& machine, const fs::path& hostFile,
                       std::u16string_view windowsPath) {
    DWORD error = 0;
    auto target = ResolvePath(machine, windowsPath, error);
    if (!target)
        throw std::runtime_error("cannot install at " + Utf16ToUtf8(windowsPath) + ": error " +
                                 std::to_string(error));
    std::error_code ec;
    fs::create_directories(target->parent_path(), ec);
    // Copy beside the target and rename over it: a process that has the old file mapped keeps it.
    fs::path temp = target->parent_path() / (target->filename().string() + ".installing");
    if (!ec) fs::copy_file(hostFile, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(temp, *target, ec);
    if (ec) {
        std::string reason = ec.message();
        fs::remove(temp, ec);
        throw std::runtime_error("cannot install " + hostFile.string() + " as " +
                                 Utf16ToUtf8(windowsPath) + ": " + reason);
    }
    return *target;
}

HRESULT InstallSelfRegisteringModule(Machine& machine, const fs::path& hostFile,
                                     std::u16string_view windowsPath,
                                     std::u16string_view installerPath) {
    InstallModule(machine, hostFile, windowsPath);
    const std::u16string path(windowsPath);
    auto process = machine.CreateProcess(std::u16string(installerPath));
    HRESULT result = S_OK;
    {
        ScopedContext context(machine, process);
        HMODULE module = LoadLibraryW(path.c_str());
        if (!module) {
            result = HRESULT_FROM_WIN32(GetLastError());
        } else {
            auto reg = reinterpret_cast<HRESULT (*)()>(GetProcAddress(module, "DllRegisterServer"));
            result = reg ? reg() : HRESULT_FROM_WIN32(GetLastError());
            FreeLibrary(module);
        }
        RegFlushKey(HKEY_LOCAL_MACHINE);
    }
    process->MarkExited(0);
    machine.RemoveProcess(process->Id());
    return result;
}

}  // namespace pal
