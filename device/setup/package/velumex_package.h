// What the device-side installation package holds, as its build lays it out: the provider,
// the service and the transport in \Windows (each registering itself), the launcher in the
// application's folder, the setup library, and the device's own settings key.
#pragma once

#include <filesystem>

#include "emu/packages/package_installer.h"

namespace velumex_setup {

inline constexpr char16_t kPackageName[] = u"Quorvane Velumex";
inline constexpr char16_t kLauncherPath[] = u"\\Program Files\\Velumex\\KTstart.exe";

// The package, its files taken from `moduleDir` (the build's module folder).
emu::packages::Package VelumexPackage(const std::filesystem::path& moduleDir);

}  // namespace velumex_setup
