// Processes: starting program modules, opening processes, exit codes, Toolhelp snapshots.
//
// A program is a library installed in the machine's file system under its Windows name (for
// example "\Windows\KTstart.exe") that exports WinMain. The declaration below makes a program's
// definition of WinMain exported by name. Device programs take the command line in UTF-16 (as on
// Windows CE); desktop programs are built without UNICODE and take it in the ANSI code page. The
// layer calls WinMain with the form that belongs to the machine the program runs on.
#pragma once

#include "pal/errors.h"
#include "pal/modules.h"
#include "pal/types.h"

#ifdef UNICODE
PAL_EXPORT int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine,
                              int nShowCmd);
#else
PAL_EXPORT int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpCmdLine,
                              int nShowCmd);
#endif

#define PROCESS_QUERY_INFORMATION 0x0400L
#define PROCESS_ALL_ACCESS 0x001F0FFFL

// Startup details for a new program; this layer reads none of them.
struct STARTUPINFOW;
using LPSTARTUPINFOW = STARTUPINFOW*;

struct PROCESS_INFORMATION {
    HANDLE hProcess;
    HANDLE hThread;
    DWORD dwProcessId;
    DWORD dwThreadId;
};
using LPPROCESS_INFORMATION = PROCESS_INFORMATION*;

// Starts a program in a new process of the current machine and runs its WinMain on the new
// process's main thread; returns once the program is loaded (its DllMain has run) and WinMain has
// been started. The program is lpApplicationName, or when that is null the first token of
// lpCommandLine (in double quotes when it holds spaces); ".exe" is added to a file name without
// an extension, and a relative path is taken from the current directory (no search path). What
// WinMain receives: on the device, lpCommandLine as it stands when lpApplicationName is given and
// the text after the program token otherwise; on the desktop, lpCommandLine after its first token
// (the program's own name), in the ANSI code page. When WinMain returns, its result is the exit
// code: the process's windows go with its thread, its libraries are detached (DLL_PROCESS_DETACH
// as at termination), its handles are closed, it leaves the process list and its handle becomes
// signalled, in that order. Threads the program started itself must have ended by then. The
// creator receives a handle to the process and to its main thread (close both) and their ids,
// unless lpProcessInformation is null (accepted, as on the device: no handles are made).
// Security attributes and the startup information are ignored. Failures: ERROR_INVALID_PARAMETER
// for no program name, any creation flag, inherited handles, an environment or a current
// directory (not supported here); ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for a missing file
// or folder, ERROR_ACCESS_DENIED for a folder; ERROR_BAD_EXE_FORMAT for a file that is not a
// library or exports no WinMain; the loader's error when a library the program needs is missing
// (ERROR_MOD_NOT_FOUND, ERROR_PROC_NOT_FOUND) or its DllMain refuses (ERROR_DLL_INIT_FAILED);
// ERROR_NOT_ENOUGH_MEMORY when no thread can be started.
BOOL CreateProcessW(LPCWSTR lpApplicationName, LPCWSTR lpCommandLine,
                    LPSECURITY_ATTRIBUTES lpProcessAttributes,
                    LPSECURITY_ATTRIBUTES lpThreadAttributes, BOOL bInheritHandles,
                    DWORD dwCreationFlags, LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory,
                    LPSTARTUPINFOW lpStartupInfo, LPPROCESS_INFORMATION lpProcessInformation);

// A new handle to a running process of the current machine, waitable until the process exits;
// any access is granted and the inherit flag has no effect here. ERROR_INVALID_PARAMETER for an
// id that names no running process.
HANDLE OpenProcess(DWORD dwDesiredAccess, BOOL bInheritHandle, DWORD dwProcessId);
// The process's exit code, or STILL_ACTIVE while it runs. ERROR_INVALID_HANDLE for a handle that
// is not a process, ERROR_INVALID_PARAMETER for no output.
BOOL GetExitCodeProcess(HANDLE hProcess, LPDWORD lpExitCode);

// Toolhelp: snapshots of the running processes.
#define TH32CS_SNAPPROCESS 0x00000002
#define TH32CS_SNAPNOHEAPS 0x40000000

// One process of a snapshot, in the device's layout.
struct PROCESSENTRY32W {
    DWORD dwSize;  // set by the caller to sizeof(PROCESSENTRY32W)
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    WCHAR szExeFile[MAX_PATH];  // the full Windows path of the executable
    DWORD th32MemoryBase;
    DWORD th32AccessKey;
};
using LPPROCESSENTRY32W = PROCESSENTRY32W*;

// A snapshot handle listing the processes running on the current machine at this moment (the
// process id argument does not matter for a process list). TH32CS_SNAPPROCESS is required and
// TH32CS_SNAPNOHEAPS accepted; any other flag fails with ERROR_INVALID_PARAMETER and
// INVALID_HANDLE_VALUE. Close it with CloseToolhelp32Snapshot or CloseHandle.
HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID);
// Fills lppe with the snapshot's first process, in ascending id order: its id, its parent's id
// (0 when started by the layer itself), the number of its running threads (at least 1), and its
// executable's full Windows path. ERROR_INVALID_HANDLE for a handle that is not a snapshot,
// ERROR_INVALID_PARAMETER for no entry, ERROR_BAD_LENGTH when dwSize is less than the structure,
// ERROR_NO_MORE_FILES for an empty list.
BOOL Process32FirstW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
// As Process32FirstW, for the process after the one returned last; ERROR_NO_MORE_FILES at the end.
BOOL Process32NextW(HANDLE hSnapshot, LPPROCESSENTRY32W lppe);
// Closes a snapshot handle; ERROR_INVALID_HANDLE for a handle that is not a snapshot.
BOOL CloseToolhelp32Snapshot(HANDLE hSnapshot);

#ifdef UNICODE
using PROCESSENTRY32 = PROCESSENTRY32W;
using LPPROCESSENTRY32 = LPPROCESSENTRY32W;
#define Process32First Process32FirstW
#define Process32Next Process32NextW
#endif
