// The device's package installer ("\Windows\wceload.exe") as the emulation runs it. Installing a
// package is a process of the device that loads the package's setup library (if any) and calls
// Install_Init, copies the files (registering those marked self-registering), writes the
// registry values, writes the uninstall provisioning file and registers it as "Uninstall" under
// HKEY_LOCAL_MACHINE "Security\AppInstall\<name>", calls Install_Exit, and shows its closing
// message box (a window of class "Dialog") until OK is pressed or the box times out. Removing
// calls Uninstall_Init, applies the uninstall file through the configuration manager on OS
// version 5 and later, deletes the files, calls Uninstall_Exit and forgets the package.
#pragma once

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::packages {

inline constexpr char16_t kInstallerPath[] = u"\\Windows\\wceload.exe";
inline constexpr char16_t kAppInstallKey[] = u"Security\\AppInstall";

class PackageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PackageFile {
    std::filesystem::path host;  // the file's content on this machine
    std::u16string target;       // its Windows path on the device
    bool selfRegister = false;   // DllRegisterServer after copying
};

// A registry value the package writes: root "HKLM" or "HKCU".
struct PackageValue {
    std::u16string root;
    std::u16string key;
    std::u16string name;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
};

struct Package {
    std::u16string name;         // "<provider> <application>", the AppInstall key's name
    std::u16string installDir;   // e.g. "\Program Files\Velumex"
    std::vector<PackageFile> files;
    std::u16string setupLibrary; // Windows path of one of the files, or empty
    std::vector<PackageValue> values;
};

struct InstallOptions {
    // How long the closing message box waits for OK before it closes itself.
    std::chrono::milliseconds messageBoxTimeout{60000};
};

// Installs `package` on `device` and waits for the installer process to end. Throws
// PackageError when a file cannot be copied (nothing of the package is registered then) or the
// setup library cancels.
void Install(pal::Machine& device, const Package& package, const InstallOptions& options = {});

// Removes an installed package and waits for the installer process to end. Throws PackageError
// when the package is not installed.
void Remove(pal::Machine& device, const Package& package);

// Whether the device has `name` installed.
bool IsInstalled(pal::Machine& device, const std::u16string& name);

}  // namespace emu::packages
