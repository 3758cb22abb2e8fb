#pragma once
// What info and check take: module files and --json.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct FileListOptions {
    std::vector<std::string> files;
    bool json = false;
    std::optional<unsigned> jobs;  // files read at once; the usable cores by default
    bool loudness = false;         // info only
    bool all = false;  // check: every finding, not only the first few of each kind
};

// Reads `ahx COMMAND [--json] [-j N] FILE...` (info also takes --loudness, check --all). Returns an exit code when the command is done already:
// after --help (printing help) or a usage error (reported on stderr); nothing otherwise.
std::optional<int> ParseFileListOptions(std::string_view command, std::string_view help,
                                        const std::vector<std::string_view>& arguments, FileListOptions* options);
