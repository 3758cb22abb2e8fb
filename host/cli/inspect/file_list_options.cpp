#include "inspect/file_list_options.h"

#include <iostream>

#include "common/arguments.h"
#include "common/exit_codes.h"
#include "common/ordered_batch.h"
#include "common/module_inputs.h"
#include "common/text_output.h"

std::optional<int> ParseFileListOptions(std::string_view command, std::string_view help,
                                        const std::vector<std::string_view>& arguments, FileListOptions* options) {
    try {
        ArgumentCursor cursor(arguments);
        while (const auto argument = cursor.Next()) {
            const std::string_view a = *argument;
            if (cursor.OptionsEnded() || a == "-" || !a.starts_with("-")) {
                options->files.emplace_back(a);
            } else if (a == "-h" || a == "--help") {
                std::cout << help;
                return kExitSuccess;
            } else if (a == "--json") {
                options->json = true;
            } else if (a == "-j" || a == "--jobs") {
                options->jobs = static_cast<unsigned>(ParseInteger(a, cursor.Value(a), 1, kMostJobs));
            } else if (a == "--loudness" && command == "info") {
                options->loudness = true;
            } else if (a == "--all" && command == "check") {
                options->all = true;
            } else {
                throw UsageError("unknown option " + std::string(a));
            }
        }
        if (options->files.empty()) throw UsageError("which file? give one or more module files or folders");
        options->files = ExpandModulePaths(options->files);
    } catch (const UsageError& error) {
        return ReportUsageError(command, error.what());
    }
    return std::nullopt;
}
