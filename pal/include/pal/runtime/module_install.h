// Installing libraries into a machine: every deliverable and product library is a host shared
// object that lives in the machine's file system under its Windows name.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string_view>

namespace pal {

class Machine;

// Copies `hostFile` to `windowsPath` of `machine`, creating the folders on the way and replacing
// any file already there (by rename, so that a copy a process has loaded stays intact). Returns
// the host path of the installed file. Throws std::runtime_error when the Windows path is
// malformed or the copy fails.
std::filesystem::path InstallModule(Machine& machine, const std::filesystem::path& hostFile,
                                    std::u16string_view windowsPath);

// Installs as a setup program does: InstallModule, then the library is loaded in a process of
// its own with executable `installerPath` and its DllRegisterServer is called, and the registry
// is flushed. Returns that result, or an HRESULT from the last error when the library does not
// load or has no DllRegisterServer. Throws as InstallModule does.
HRESULT InstallSelfRegisteringModule(Machine& machine, const std::filesystem::path& hostFile,
                                     std::u16string_view windowsPath,
                                     std::u16string_view installerPath);

}  // namespace pal
