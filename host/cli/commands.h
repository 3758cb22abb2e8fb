#pragma once
// The tool's commands. Each returns the process exit code: 0 success, 1 usage error,
// 2 a file could not be read or written (for check: or the module is refused), 3 check found
// something to report.
#include <string_view>
#include <vector>

constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFileError = 2;
constexpr int kExitFindings = 3;
constexpr int kExitInterrupted = 130;  // the shell's own code for a process stopped by Ctrl-C

int RunRender(const std::vector<std::string_view>& arguments);
int RunInfo(const std::vector<std::string_view>& arguments);
int RunCheck(const std::vector<std::string_view>& arguments);
int RunPlay(const std::vector<std::string_view>& arguments);

// Set from the SIGINT/SIGTERM handler; long loops poll it and stop cleanly.
bool InterruptRequested();
