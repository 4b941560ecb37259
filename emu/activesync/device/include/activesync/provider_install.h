// Installing a device provider the way its setup does: the library goes into the device's
// \Windows folder and registers itself with the engine.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

namespace pal {
class Machine;
}

namespace activesync {

// The device provider's Windows path.
inline constexpr char16_t kKestrinPath[] = u"\\Windows\\Kestrin.dll";

// Copies `library` to `windowsPath` on the device, makes sure the engine's provider key exists
// (the engine owns it), then loads the library in a device process of its own and calls its
// DllRegisterServer. Returns that result, or an HRESULT from the last error when the library
// does not load or has no DllRegisterServer. Throws std::runtime_error when the copy fails.
HRESULT InstallDeviceProvider(pal::Machine& device, const std::filesystem::path& library,
                              const std::u16string& windowsPath = kKestrinPath);

}  // namespace activesync
