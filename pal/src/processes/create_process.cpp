#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <system_error>

#include "../modules/loader.h"
#include "command_line.h"
#include "pal/modules.h"
#include "pal/processes.h"
#include "pal/runtime/context.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"
#include "pal/runtime/program.h"
#include "pal/runtime/thread.h"
#include "process_origin.h"

namespace {

using WideMain = int(WINAPI*)(HINSTANCE, HINSTANCE, LPWSTR, int);
using AnsiMain = int(WINAPI*)(HINSTANCE, HINSTANCE, LPSTR, int);

// The show state each platform's startup hands WinMain when the creator asks for none.
constexpr int kDesktopShow = 10;  // SW_SHOWDEFAULT
constexpr int kDeviceShow = 5;    // SW_SHOW

// The program and the command line its WinMain receives, or nothing (ERROR_INVALID_PARAMETER).
struct Invocation {
    std::u16string program;
    std::u16string commandLine;
};

std::optional<Invocation> ReadInvocation(const pal::Machine& machine, LPCWSTR application,
                                         LPCWSTR commandLine) {
    std::u16string_view line = commandLine ? commandLine : u"";
    auto parts = pal::SplitCommandLine(line);
    if (application) {
        if (!*application) return std::nullopt;
        // The device hands over the arguments alone; the desktop's line starts with the
        // program's own name, which WinMain does not see.
        if (!machine.IsDesktop()) return Invocation{application, std::u16string(line)};
        return Invocation{application, parts ? parts->arguments : u""};
    }
    if (!parts) return std::nullopt;
    return Invocation{parts->program, parts->arguments};
}

// The canonical Windows path of an existing program file, or nothing with the last error set.
std::optional<std::u16string> LocateProgram(pal::Machine& machine, std::u16string_view name) {
    DWORD error = 0;
    auto canonical = pal::CanonicalWindowsPath(machine, pal::WithProgramExtension(name), error);
    std::optional<std::filesystem::path> host;
    if (canonical) host = pal::ResolvePath(machine, *canonical, error);
    if (!host) {
        SetLastError(error);
        return std::nullopt;
    }
    std::error_code ec;
    if (std::filesystem::is_regular_file(*host, ec)) return canonical;
    if (std::filesystem::exists(*host, ec))
        SetLastError(ERROR_ACCESS_DENIED);  // a folder
    else if (std::filesystem::is_directory(host->parent_path(), ec))
        SetLastError(ERROR_FILE_NOT_FOUND);
    else
        SetLastError(ERROR_PATH_NOT_FOUND);
    return std::nullopt;
}

// Loads the program into `process` (its own context, so that its DllMain and module state belong
// to it) and finds its WinMain; null with the last error set when it is not a program.
void* LoadProgram(const std::shared_ptr<pal::Process>& process, HINSTANCE& instance) {
    pal::ScopedContext inProgram(process->GetMachine(), process);
    instance = LoadLibraryW(process->ExePath().c_str());
    if (!instance) return nullptr;
    if (auto* module = pal::ModuleFromHandle(instance))
        if (void* entry = pal::FindExport(*module, "WinMain")) return entry;
    pal::UnloadProcessModules(*process);
    SetLastError(ERROR_BAD_EXE_FORMAT);
    return nullptr;
}

// The body of the program's main thread: WinMain with the command line in the machine's form.
std::function<DWORD()> MainOf(const pal::Machine& machine, void* entry, HINSTANCE instance,
                              std::u16string commandLine) {
    if (machine.IsDesktop()) {
        return [main = reinterpret_cast<AnsiMain>(entry), instance,
                line = pal::Utf16ToCp1252(commandLine)]() mutable {
            return static_cast<DWORD>(main(instance, nullptr, line.data(), kDesktopShow));
        };
    }
    return [main = reinterpret_cast<WideMain>(entry), instance,
            line = std::move(commandLine)]() mutable {
        return static_cast<DWORD>(main(instance, nullptr, line.data(), kDeviceShow));
    };
}

}  // namespace

BOOL CreateProcessW(LPCWSTR lpApplicationName, LPCWSTR lpCommandLine, LPSECURITY_ATTRIBUTES,
                    LPSECURITY_ATTRIBUTES, BOOL bInheritHandles, DWORD dwCreationFlags,
                    LPVOID lpEnvironment, LPCWSTR lpCurrentDirectory, LPSTARTUPINFOW,
                    LPPROCESS_INFORMATION lpProcessInformation) {
    pal::Machine& machine = pal::CurrentMachine();
    auto invocation = ReadInvocation(machine, lpApplicationName, lpCommandLine);
    if (!invocation || bInheritHandles || dwCreationFlags != 0 || lpEnvironment ||
        lpCurrentDirectory) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto path = LocateProgram(machine, invocation->program);
    if (!path) return FALSE;

    pal::Process& creator = pal::CurrentProcess();
    auto process = machine.CreateProcess(*path);
    process->Get<pal::ProcessOrigin>().parentId = creator.Id();
    HINSTANCE instance = nullptr;
    void* entry = LoadProgram(process, instance);
    if (!entry) {
        machine.RemoveProcess(process->Id());
        return FALSE;
    }
    std::shared_ptr<pal::Thread> thread;
    try {
        thread = pal::RunProcess(
            process, MainOf(machine, entry, instance, std::move(invocation->commandLine)));
    } catch (const std::system_error&) {
        pal::ScopedContext inProgram(machine, process);
        pal::UnloadProcessModules(*process);
        machine.RemoveProcess(process->Id());
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    // As on the device, a creator that wants no handles passes no structure.
    if (!lpProcessInformation) return TRUE;
    lpProcessInformation->hProcess = creator.Handles().Add(process);
    lpProcessInformation->hThread = creator.Handles().Add(thread);
    lpProcessInformation->dwProcessId = process->Id();
    lpProcessInformation->dwThreadId = thread->Id();
    return TRUE;
}
