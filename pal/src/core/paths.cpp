#include "pal/runtime/paths.h"

#include <vector>

#include "pal/errors.h"
#include "pal/runtime/encoding.h"
#include "pal/runtime/machine.h"
#include "pal/runtime/process.h"
#include "pal/runtime/context.h"

namespace pal {

namespace fs = std::filesystem;

namespace {

bool IsInvalidNameUnit(char16_t u) {
    return u < 0x20 || u == '<' || u == '>' || u == ':' || u == '"' || u == '|' || u == '?' ||
           u == '*';
}

// Splits the part of a path below its root into components, folding "." and "..".
bool AppendComponents(std::vector<std::u16string>& stack, std::u16string_view rest, DWORD& error) {
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find(u'\\', start);
        if (end == std::u16string_view::npos) end = rest.size();
        std::u16string_view part = rest.substr(start, end - start);
        if (part == u"..") {
            if (stack.empty()) {
                error = ERROR_ACCESS_DENIED;
                return false;
            }
            stack.pop_back();
        } else if (!part.empty() && part != u".") {
            for (char16_t u : part)
                if (IsInvalidNameUnit(u)) {
                    error = ERROR_INVALID_NAME;
                    return false;
                }
            stack.emplace_back(part);
        }
        start = end + 1;
    }
    return true;
}

std::vector<std::u16string> SplitCanonical(const Machine& machine, std::u16string_view canonical) {
    std::vector<std::u16string> parts;
    DWORD ignored = 0;
    AppendComponents(parts, canonical.substr(machine.IsDesktop() ? 3 : 1), ignored);
    return parts;
}

// True when no other name matches `part` without regard to case: ASCII that has no letters.
bool IsCaseless(std::u16string_view part) {
    for (char16_t u : part)
        if (u >= 0x80 || FoldCase(u) != u || (u >= 'A' && u <= 'Z')) return false;
    return true;
}

}  // namespace

std::optional<std::u16string> CanonicalWindowsPath(Machine& machine, std::u16string_view input,
                                                   DWORD& error) {
    std::u16string path(input);
    for (auto& u : path)
        if (u == u'/') u = u'\\';
    if (path.empty()) {
        error = ERROR_PATH_NOT_FOUND;
        return std::nullopt;
    }
    if (path.size() >= 2 && path[0] == u'\\' && path[1] == u'\\') {
        error = ERROR_BAD_PATHNAME;  // network paths do not exist on an emulated machine
        return std::nullopt;
    }
    std::u16string_view rest = path;
    bool absolute = false;
    if (path.size() >= 2 && path[1] == u':') {
        if (!machine.IsDesktop()) {
            error = ERROR_INVALID_NAME;
            return std::nullopt;
        }
        if (FoldCase(path[0]) != u'C') {
            error = ERROR_INVALID_DRIVE;
            return std::nullopt;
        }
        rest = rest.substr(2);
    }
    if (!rest.empty() && rest[0] == u'\\') absolute = true;

    std::vector<std::u16string> stack;
    if (!absolute) {
        Machine* current = TryCurrentMachine();
        std::u16string cwd = (current == &machine) ? CurrentProcess().CurrentDirectory()
                                                   : std::u16string(machine.IsDesktop() ? u"C:\\"
                                                                                        : u"\\");
        stack = SplitCanonical(machine, cwd);
    }
    if (!AppendComponents(stack, rest, error)) return std::nullopt;

    std::u16string result = machine.IsDesktop() ? u"C:\\" : u"\\";
    for (size_t i = 0; i < stack.size(); ++i) {
        if (i) result += u'\\';
        result += stack[i];
    }
    return result;
}

std::optional<fs::path> ResolvePath(Machine& machine, std::u16string_view path, DWORD& error) {
    auto canonical = CanonicalWindowsPath(machine, path, error);
    if (!canonical) return std::nullopt;
    auto parts = SplitCanonical(machine, *canonical);
    fs::path host = machine.RootDir();
    for (auto& part : parts) host /= Utf16ToUtf8(part);
    // A path that exists as written is the path; otherwise each component is looked up.
    std::error_code ec;
    if (fs::exists(host, ec)) return host;
    host = machine.RootDir();
    bool existing = true;
    for (auto& part : parts) {
        std::string name = Utf16ToUtf8(part);
        if (existing) {
            if (!fs::exists(host / name, ec)) {
                existing = false;
                if (!IsCaseless(part) && fs::is_directory(host, ec)) {
                    for (auto& entry : fs::directory_iterator(host, ec)) {
                        if (EqualsNoCase(Utf8ToUtf16(entry.path().filename().string()), part)) {
                            name = entry.path().filename().string();
                            existing = true;
                            break;
                        }
                    }
                }
            }
        }
        host /= name;
    }
    return host;
}

std::optional<std::u16string> WindowsPathOf(Machine& machine, const fs::path& host) {
    auto relative = host.lexically_normal().lexically_relative(machine.RootDir().lexically_normal());
    if (relative.empty()) return std::nullopt;
    std::u16string result = machine.IsDesktop() ? u"C:\\" : u"\\";
    bool first = true;
    for (auto& part : relative) {
        auto text = part.string();
        if (text == "..") return std::nullopt;
        if (text == "." || text.empty()) continue;
        if (!first) result += u'\\';
        result += Utf8ToUtf16(text);
        first = false;
    }
    return result;
}

}  // namespace pal
