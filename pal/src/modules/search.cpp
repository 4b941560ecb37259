#include "search.h"

#include <vector>

#include "loader.h"
#include "pal/errors.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/module.h"
#include "pal/runtime/paths.h"
#include "pal/runtime/process.h"

namespace pal {

namespace {

std::u16string FolderOf(std::u16string_view path) {
    auto slash = path.find_last_of(u'\\');
    if (slash == std::u16string_view::npos) return {};
    // Keep the root's own backslash ("C:\" or "\").
    bool root = slash == 0 || (slash == 2 && path[1] == u':');
    return std::u16string(path.substr(0, root ? slash + 1 : slash));
}

std::u16string Join(const std::u16string& folder, std::u16string_view name) {
    std::u16string path = folder;
    if (path.empty() || path.back() != u'\\') path += u'\\';
    path += name;
    return path;
}

std::optional<LibraryLocation> Existing(Machine& machine, std::u16string_view path, DWORD& error) {
    auto canonical = CanonicalWindowsPath(machine, path, error);
    if (!canonical) return std::nullopt;
    auto host = ResolvePath(machine, *canonical, error);
    std::error_code ec;
    if (!host || !std::filesystem::is_regular_file(*host, ec)) {
        error = ERROR_MOD_NOT_FOUND;
        return std::nullopt;
    }
    return LibraryLocation{*canonical, *host};
}

}  // namespace

std::optional<LibraryLocation> LocateLibrary(Process& process, std::u16string_view name,
                                             const Module* caller, DWORD& error) {
    Machine& machine = process.GetMachine();
    if (!IsBareName(name)) return Existing(machine, name, error);

    std::vector<std::u16string> folders;
    if (caller) folders.push_back(FolderOf(caller->WindowsPath()));
    folders.push_back(FolderOf(process.ExePath()));
    if (machine.IsDesktop()) {
        folders.push_back(u"C:\\Windows\\System32");
        folders.push_back(u"C:\\Windows");
    } else {
        folders.push_back(u"\\Windows");
    }
    std::vector<std::u16string> tried;
    for (auto& folder : folders) {
        if (folder.empty()) continue;
        bool seen = false;
        for (auto& done : tried) seen = seen || EqualsNoCase(done, folder);
        if (seen) continue;
        tried.push_back(folder);
        DWORD ignored = 0;
        if (auto found = Existing(machine, Join(folder, name), ignored)) return found;
    }
    error = ERROR_MOD_NOT_FOUND;
    return std::nullopt;
}

}  // namespace pal
