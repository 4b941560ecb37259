// Runs the velumex program as a user runs it from a shell: its exit status and what it printed.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace pal_testing {

struct CommandOutcome {
    int status = -1;  // the exit status; -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// The whole content of a host file; empty when it cannot be read.
inline std::string ReadHostFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `program --world 'world' arguments` through the shell with no input; what it prints goes
// through the files "out" and "err" of the folder `scratch`, which are replaced on every run.
inline CommandOutcome RunOnWorld(const std::string& program, const std::filesystem::path& world,
                                 const std::string& arguments,
                                 const std::filesystem::path& scratch) {
    const std::filesystem::path out = scratch / "out", err = scratch / "err";
    const std::string command = program + " --world '" + world.string() + "' " + arguments +
                                " </dev/null >'" + out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadHostFile(out), ReadHostFile(err)};
}

// `text` as one shell word: in single quotes, each quote inside written as '\''.
inline std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

// The same with each argument passed as it stands, whatever characters it holds.
inline CommandOutcome RunOnWorld(const std::string& program, const std::filesystem::path& world,
                                 const std::vector<std::string>& arguments,
                                 const std::filesystem::path& scratch) {
    std::string line;
    for (const std::string& argument : arguments)
        line += (line.empty() ? "" : " ") + ShellQuote(argument);
    return RunOnWorld(ShellQuote(program), world, line, scratch);
}

}  // namespace pal_testing
