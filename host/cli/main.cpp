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
#include "common/module_inputs.h"
#include "common/text_output.h"
#include "inspect/inspect_commands.h"
#include "render/render_command.h"

namespace {

#ifdef AHX_TOOL_HAS_PLAY
// Replaces this process with the play program (see play_main.cpp): beside ahx in the build, in
// libexec once installed. `playArguments` are what follows `play` (or every argument of `ahx FILE...`).
int RunPlayProgram(char** playArguments, int count) {
    std::vector<char*> argv{const_cast<char*>(AHX_PLAY_PROGRAM)};
    argv.insert(argv.end(), playArguments, playArguments + count);
    argv.push_back(nullptr);
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const std::filesystem::path places[] = {folder / AHX_PLAY_PROGRAM, folder / AHX_PLAY_PROGRAM_FROM_BIN};
    int reason = ENOENT;
    for (const std::filesystem::path& place : places) {
        ::execv(place.c_str(), argv.data());
        if (errno != ENOENT) reason = errno;
    }
    std::cerr << "ahx: cannot start play (" << AHX_PLAY_PROGRAM << "): " << std::strerror(reason) << '\n';
    return kExitFileError;
}
#endif

// Standard input, or a file or folder that is there.
bool IsModuleArgument(std::string_view argument) {
    std::error_code error;
    return argument == kStandardInput || std::filesystem::exists(std::string(argument), error);
}

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
    // `ahx FILE...` plays, as players do; a command's name is the command even where a file has it.
    const bool isCommand = command == "render" || command == "info" || command == "check" || command == "play";
    const bool playsFiles = !isCommand && IsModuleArgument(command);
    if (!isCommand && !playsFiles) {
        std::cerr << "ahx: unknown command " << Printable(std::string(command)) << " (see ahx --help)\n";
        return kExitUsage;
    }

    const std::vector<std::string_view> rest(arguments.begin() + (playsFiles ? 0 : 1), arguments.end());
    if (command == "info") return RunInfo(rest);
    if (command == "check") return RunCheck(rest);
#ifdef AHX_TOOL_HAS_PLAY
    if (command == "play" || playsFiles) return RunPlayProgram(argv + (playsFiles ? 1 : 2), argc - (playsFiles ? 1 : 2));
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
