#include "activesync/provider_install.h"

#include "activesync/device_host.h"
#include "pal/runtime/context.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module_install.h"

namespace activesync {

HRESULT InstallDeviceProvider(pal::Machine& device, const std::filesystem::path& library,
                              const std::u16string& windowsPath) {
    {
        pal::ScopedContext context(device);
        HKEY objects = nullptr;
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kDeviceObjectsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &objects, nullptr) == ERROR_SUCCESS)
            RegCloseKey(objects);
    }
    return pal::InstallSelfRegisteringModule(device, library, windowsPath,
                                             u"\\Windows\\wceload.exe");
}

}  // namespace activesync
