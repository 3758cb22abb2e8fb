#pragma once
// What the tool's process returns: 0 success, 1 usage error, 2 a file could not be read or written
// (for check: or the module is refused), 3 check found something to report.
constexpr int kExitSuccess = 0;
constexpr int kExitUsage = 1;
constexpr int kExitFileError = 2;
constexpr int kExitFindings = 3;
constexpr int kExitInterrupted = 130;  // the shell's own code for a process stopped by Ctrl-C
