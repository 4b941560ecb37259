// Modules: loading libraries by Windows path, exports, DllMain.
//
// Every library is a host shared object installed in the machine's file system under its Windows
// name (see pal/runtime/module_install.h). LoadLibrary maps it into the current emulated process
// and calls its exported DllMain. Exports are looked up by name among the symbols the library
// itself defines; a library exports a function by declaring it PAL_EXPORT:
//
//     PAL_EXPORT BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
//     PAL_EXPORT HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID, REFIID, LPVOID*);
//
// Libraries are built with hidden visibility, so nothing else is reachable from outside.
//
// Emulated processes of one machine that load the same Windows path share one host library, and
// so share its globals; DllMain still runs once per process, with that process's HINSTANCE.
// Two machines load their own copies and never share globals.
#pragma once

#include "pal/errors.h"
#include "pal/types.h"

// Declares a function exported by name from a library: C linkage, visible outside it.
#define PAL_EXPORT extern "C" __attribute__((visibility("default")))

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// The address of an export, cast by the caller to the export's real type. Declared as
// void (*)() (not INT_PTR (*)()) because that is the one function type compilers let code cast to
// any other without a warning.
using FARPROC = void (*)();

// Loads a library into the current process, or adds a reference to it when a library of the same
// Windows path (compared without case) is already loaded. A name without an extension gets
// ".dll"; a trailing "." means "no extension". A bare file name is looked for among the loaded
// modules, then in the folder of the calling module (the executable's folder when the caller is
// not a loaded module), the executable's folder, the system folder (C:\Windows\System32) and the
// Windows folder (C:\Windows; \Windows on the device). The caller is known by its return address,
// so a library that tail-calls LoadLibrary is searched for as its own caller would be. The first
// load calls DllMain (DLL_PROCESS_ATTACH); when it answers FALSE the library is detached and
// unloaded again. Failures: ERROR_MOD_NOT_FOUND (no such file), ERROR_BAD_EXE_FORMAT (not a
// loadable library), ERROR_PROC_NOT_FOUND (it needs a missing symbol), ERROR_DLL_INIT_FAILED
// (DllMain said FALSE).
HMODULE LoadLibraryW(LPCWSTR lpLibFileName);
// As LoadLibraryW; the name is in the ANSI code page.
HMODULE LoadLibraryA(LPCSTR lpLibFileName);
// Drops one reference; the last calls DllMain (DLL_PROCESS_DETACH) and unloads the library.
// ERROR_MOD_NOT_FOUND for a handle that is not a module of this process.
BOOL FreeLibrary(HMODULE hLibModule);
// The address of an export defined by the module itself (null module: the executable).
// ERROR_PROC_NOT_FOUND when it has none of that name (ordinals are never found);
// ERROR_MOD_NOT_FOUND for an unknown module.
FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// Copies the module's Windows path (null module: the process's executable). Returns the length
// without terminator; when the buffer is too small, the path is cut to nSize - 1 characters plus
// a terminator, the result is nSize and the last error ERROR_INSUFFICIENT_BUFFER. An unknown
// module gives 0 and ERROR_MOD_NOT_FOUND.
DWORD GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize);
// As GetModuleFileNameW, in the ANSI code page; sizes count bytes.
DWORD GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// The handle of a module already loaded in this process, without adding a reference: by full path
// when the name has a folder, else by file name (".dll" added as for LoadLibrary). Null name: the
// handle that stands for the process's executable. ERROR_MOD_NOT_FOUND when none is loaded.
HMODULE GetModuleHandleW(LPCWSTR lpModuleName);
HMODULE GetModuleHandleA(LPCSTR lpModuleName);
// Turns off the per-thread DllMain calls for a module; this layer makes none, so it only checks
// the handle (ERROR_MOD_NOT_FOUND for an unknown one).
BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

#ifdef UNICODE
#define LoadLibrary LoadLibraryW
#define GetModuleFileName GetModuleFileNameW
#define GetModuleHandle GetModuleHandleW
#else
#define LoadLibrary LoadLibraryA
#define GetModuleFileName GetModuleFileNameA
#define GetModuleHandle GetModuleHandleA
#endif
