// The ahx tool: picks the command and sets up what every command needs.
#include <csignal>
#include <iostream>
#include <string_view>
#include <vector>

#include "commands.h"
#include "ahx/ahx.h"
#include "help.h"
#include "text_output.h"

namespace {

volatile std::sig_atomic_t interruptSignal = 0;

extern "C" void OnInterrupt(int signalNumber) { interruptSignal = signalNumber; }

}  // namespace

bool InterruptRequested() { return interruptSignal != 0; }

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
    // Renders stop between chunks so that their temporary files can be removed, and the player
    // gives the terminal back; info and check write nothing and keep the default, immediate end.
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    if (command == "play") return RunPlay(rest);
    return RunRender(rest);
}
