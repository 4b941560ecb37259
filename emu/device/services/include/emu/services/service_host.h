// The device's service host (services.exe) as the emulation runs it: a process of the device
// whose host thread loads service DLLs and calls their Init and Deinit, one request at a time, as
// the published calls of <service.h> and the commands below ask.
//
// The host remembers which services run in the device folder, so that a later run of a program
// on the same world can bring the device back up as it was left (Resume).
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::services {

// The event the shell sets once it is ready; services may wait for it.
inline constexpr char16_t kShellReadyEvent[] = u"SYSTEM/ShellAPIReady";
// The service host's program.
inline constexpr char16_t kServiceHostPath[] = u"\\Windows\\services.exe";

// One registration under HKEY_LOCAL_MACHINE "Services", and whether it runs.
struct ServiceInfo {
    std::u16string key;  // the subkey's name
    std::u16string dll;
    std::u16string prefix;
    DWORD index = 0;
    DWORD order = 0;
    bool keep = false;
    bool running = false;
    // "<Prefix><Index>:"
    std::u16string DeviceName() const;
};

// What starting one service gave: 0, or the error ActivateService reported.
struct StartResult {
    std::u16string key;
    DWORD error = 0;
};

// Installs a service DLL as a setup program does: copies `hostFile` to `windowsPath` of the device
// and calls the DLL's DllRegisterServer in a process of its own. Its result, or the HRESULT of
// the load failure.
HRESULT InstallService(pal::Machine& device, const std::filesystem::path& hostFile,
                       const std::u16string& windowsPath);

// Every service registered on the device, in boot order ("Order" ascending, then by name);
// `running` tells whether it runs now or, while the host is down, whether it ran when the host
// last shut down.
std::vector<ServiceInfo> RegisteredServices(pal::Machine& device);

// Boots the device's service host: creates the shell-ready event (not set), starts every
// registered service in boot order, then sets the event as the shell comes up. A host that runs
// already is shut down first, as a reboot does.
std::vector<StartResult> Boot(pal::Machine& device);
// Starts one registered service (ActivateService); 0 or the error code.
DWORD Start(pal::Machine& device, const std::u16string& key);
// Stops a running service (DeregisterService); 0, or ERROR_SERVICE_NOT_ACTIVE when it does not
// run.
DWORD Stop(pal::Machine& device, const std::u16string& key);
// Starts again the services that ran when the world was last closed, in boot order, with the
// shell ready at once; the results of those it tried.
std::vector<StartResult> Resume(pal::Machine& device);
// Stops every running service (last started first) and ends the host process, as the device
// powers off; what runs is still remembered for Resume. Call before the world closes.
void ShutDown(pal::Machine& device);

}  // namespace emu::services
