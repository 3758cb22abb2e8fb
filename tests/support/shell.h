#pragma once
// Commands run as a user runs them: through sh in a folder, standard input from /dev/null, and
// standard output and error captured in files (a render to standard output can be megabytes).
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/files.h"

struct RunResult {
    int exitCode = -1;
    std::string out, err;
};

inline std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline RunResult Shell(const std::string& command, const fs::path& folder) {
    Scratch capture;
    const std::string line = "cd " + Quoted(folder.string()) + " && { " + command + "; } </dev/null >" +
                             Quoted((capture / "out").string()) + " 2>" + Quoted((capture / "err").string());
    const int status = std::system(line.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(capture / "out"), ReadFile(capture / "err")};
}

#ifdef AHX_TOOL_PATH
// The built tool's command line, each argument quoted.
inline std::string ToolCommand(const std::vector<std::string>& args) {
    std::string command = AHX_TOOL_PATH;
    for (const std::string& a : args) command += ' ' + Quoted(a);
    return command;
}
#endif
