#include "command_line.h"

namespace pal {

namespace {

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

size_t SkipBlanks(std::u16string_view text, size_t at) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at;
}

}  // namespace

std::optional<CommandLineParts> SplitCommandLine(std::u16string_view line) {
    size_t start = SkipBlanks(line, 0);
    size_t end = start;
    size_t rest = start;
    if (start < line.size() && line[start] == u'"') {
        ++start;
        end = line.find(u'"', start);
        if (end == std::u16string_view::npos) end = line.size();
        rest = end < line.size() ? end + 1 : end;
    } else {
        while (end < line.size() && !IsBlank(line[end])) ++end;
        rest = end;
    }
    if (end == start) return std::nullopt;
    return CommandLineParts{std::u16string(line.substr(start, end - start)),
                            std::u16string(line.substr(SkipBlanks(line, rest)))};
}

std::u16string WithProgramExtension(std::u16string_view name) {
    std::u16string result(name);
    auto slash = result.find_last_of(u"\\/");
    size_t fileStart = slash == std::u16string::npos ? 0 : slash + 1;
    auto dot = result.rfind(u'.');
    if (dot == std::u16string::npos || dot < fileStart) result += u".exe";
    return result;
}

}  // namespace pal
