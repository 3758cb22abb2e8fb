// The ahx tool: picks the command and sets up what every command needs.
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "ahx/ahx.h"
#include "common/exit_codes.h"
#include "common/help.h"
#include "common/interrupt.h"
#include "common/text_output.h"
#include "inspect/inspect_commands.h"
#include "render/render_command.h"

namespace {

#ifdef AHX_TOOL_HAS_PLAY
// Replaces this process with the play program (see play_main.cpp): beside ahx in the build, in
// libexec once installed.
int RunPlayProgram(char** argv) {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const std::filesystem::path places[] = {folder / AHX_PLAY_PROGRAM, folder / AHX_PLAY_PROGRAM_FROM_BIN};
    int reason = ENOENT;
    for (const std::filesystem::path& place : places) {
        argv[1] = const_cast<char*>(AHX_PLAY_PROGRAM);
        ::execv(place.c_str(), argv + 1);
        if (errno != ENOENT) reason = errno;
    }
    std::cerr << "ahx: cannot start play (" << AHX_PLAY_PROGRAM << "): " << std::strerror(reason) << '\n';
    return kExitFileError;
}
#endif

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string_view> arguments(argv + 1, argv + argc);
    if (arguments.empty()) {
        std::cerr << kToolHelp;
        return kExitUsage;
    }
    const std::string_view command = arguments[0];
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << kToolHelp;
        return kExitSuccess;
    }
    if (command == "--version") {
        std::cout << "ahx " << ahx_version_string() << '\n';
        return kExitSuccess;
    }
    if (command != "render" && command != "info" && command != "check" && command != "play") {
        std::cerr << "ahx: unknown command " << Printable(std::string(command)) << " (see ahx --help)\n";
        return kExitUsage;
    }

    const std::vector<std::string_view> rest(arguments.begin() + 1, arguments.end());
    if (command == "info") return RunInfo(rest);
    if (command == "check") return RunCheck(rest);
#ifdef AHX_TOOL_HAS_PLAY
    if (command == "play") return RunPlayProgram(argv);
#endif
    // Info and check write nothing and keep the default, immediate end on Ctrl-C.
    CatchInterrupts();
    if (command == "render") return RunRender(rest);
#ifdef AHX_TOOL_HAS_PLAY
    return kExitUsage;
#else
    std::cerr << "ahx: play was not built (it needs SDL2 and ncursesw)\n";
    return kExitUsage;
#endif
}
