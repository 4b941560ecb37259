// The desktop installer as far as its plug-ins see it: a setup process that loads a plug-in
// library, pushes the call's arguments on its string stack, calls the export with its user
// variables and reads the answer from $R0.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace pal {
class Machine;
}

namespace emu::installer {

class InstallerError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The installer's variable size in characters, terminator included.
inline constexpr int kStringSize = 1024;
// Where the installer unpacks its plug-ins on the desktop.
inline constexpr char16_t kPluginFolder[] = u"C:\\Windows\\Temp\\Setup";

// What one call left behind.
struct PluginCall {
    std::string r0;                  // $R0 after the call
    std::vector<std::string> stack;  // entries the call did not pop, top first
};

// Copies the host library `hostFile` into the plug-in folder as `name`; its Windows path.
std::u16string InstallPlugin(pal::Machine& desktop, const std::filesystem::path& hostFile,
                             const std::u16string& name);

// Calls `function` of the plug-in at `pluginPath` in a setup process of `desktop`, with `args`
// on the stack so that args[0] is popped first, and `stringSize` characters per variable.
// Strings longer than a variable are cut to fit, as the installer cuts them. Throws
// InstallerError when the library does not load or has no such export.
PluginCall CallPlugin(pal::Machine& desktop, const std::u16string& pluginPath,
                      const std::string& function, const std::vector<std::string>& args,
                      int stringSize = kStringSize);

}  // namespace emu::installer
