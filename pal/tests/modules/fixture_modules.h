// Installing the fixture libraries into the test's world.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "pal/runtime/context.h"
#include "pal/runtime/module_install.h"

namespace pal::testing {

inline std::filesystem::path FixtureFile(const std::string& name) {
    return std::filesystem::path(VELUMEX_MODULE_DIR) / (name + ".so");
}

// Installs the fixture library `name` at `windowsPath` of the current machine.
inline void Install(const std::string& name, std::u16string_view windowsPath) {
    InstallModule(CurrentMachine(), FixtureFile(name), windowsPath);
}

}  // namespace pal::testing
