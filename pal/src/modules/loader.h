// The loader behind the library calls: finding a library by Windows name, mapping it into the
// current process, DllMain, exports. Every entry point takes the process's module table lock,
// which plays the part of the Windows loader lock.
#pragma once

#include <string_view>

#include "pal/runtime/module.h"
#include "pal/types.h"

namespace pal {

class Process;

// The process's module table; the first call also arranges for every library still loaded when
// the process goes away to be detached and unloaded.
ModuleTable& LoadedModules(Process& process);

// Detaches (as at process termination) and unloads every library `process` holds, last loaded
// first; for a process whose program has ended, called on a thread running in it.
void UnloadProcessModules(Process& process);

// Loads `name` (a path or a bare file name) into the current process, or adds a reference to
// the module already loaded from the same place. `callerAddress` is a code address of the caller,
// used to search the calling module's folder. Null with the last error set on failure.
HMODULE LoadModule(std::u16string_view name, const void* callerAddress);

// Drops one reference to a module of the current process; the last detaches and unloads it.
BOOL FreeModule(HMODULE handle);

// The module behind a handle, or for a null handle the module standing for the executable.
// Null with ERROR_MOD_NOT_FOUND for an unknown handle. The caller holds the table lock.
Module* ModuleOrExecutable(ModuleTable& table, HMODULE handle);

// The address of a symbol the module's own shared object defines (not one of its dependencies),
// or null. A module without a host object (the executable's stand-in) has none.
void* FindExport(const Module& module, const char* name);

// `name` with ".dll" added when its file-name part has no extension; a trailing "." is dropped.
std::u16string WithDefaultExtension(std::u16string_view name);

// True when `name` is a bare file name (no folder, no drive).
bool IsBareName(std::u16string_view name);

}  // namespace pal
