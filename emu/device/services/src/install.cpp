#include "emu/services/service_host.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"

namespace emu::services {

HRESULT InstallService(pal::Machine& device, const std::filesystem::path& hostFile,
                       const std::u16string& windowsPath) {
    return pal::InstallSelfRegisteringModule(device, hostFile, windowsPath,
                                             u"\\Windows\\wceload.exe");
}

}  // namespace emu::services
