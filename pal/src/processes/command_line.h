// How a program and its command line are read from CreateProcessW's arguments.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pal {

// A command line cut after its first token.
struct CommandLineParts {
    std::u16string program;    // the first token, without its quotes
    std::u16string arguments;  // what follows it, leading blanks skipped
};

// Cuts `line` after its first token: text in double quotes (up to the closing quote, or to the
// end when there is none), otherwise text up to the first blank (space or tab). Leading blanks are
// skipped. Nothing when the line holds no program name.
std::optional<CommandLineParts> SplitCommandLine(std::u16string_view line);

// `name` with ".exe" added when its file-name part has no extension.
std::u16string WithProgramExtension(std::u16string_view name);

}  // namespace pal
