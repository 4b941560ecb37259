#include "emu/services/service_host.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"
#include "pal/runtime/process.h"

namespace emu::services {

HRESULT InstallService(pal::Machine& device, const std::filesystem::path& hostFile,
                       const std::u16string& windowsPath) {
    pal::InstallModule(device, hostFile, windowsPath);
    auto process = device.CreateProcess(u"\\Windows\\wceload.exe");
    HRESULT result = S_OK;
    {
        pal::ScopedContext context(device, process);
        HMODULE module = LoadLibraryW(windowsPath.c_str());
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
    device.RemoveProcess(process->Id());
    return result;
}

}  // namespace emu::services
