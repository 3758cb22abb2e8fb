#include "common/module_inputs.h"

#include <algorithm>
#include <filesystem>

#include "common/module_names.h"

namespace fs = std::filesystem;

namespace {

std::vector<ModuleInput> ModulesUnder(const fs::path& folder) {
    std::vector<ModuleInput> found;
    std::error_code error;
    // Unreadable corners are passed over; links to folders are not followed, so no loop.
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
    for (const fs::recursive_directory_iterator end; !error && walk != end; walk.increment(error)) {
        std::error_code typeError;
        if (!walk->is_regular_file(typeError) || !LooksLikeModuleName(walk->path().filename().string())) continue;
        found.push_back({walk->path().string(), walk->path().lexically_relative(folder).generic_string()});
    }
    std::sort(found.begin(), found.end(),
              [](const ModuleInput& a, const ModuleInput& b) { return a.relative < b.relative; });
    return found;
}

}  // namespace

std::vector<ModuleInput> ExpandModuleInputs(const std::vector<std::string>& arguments) {
    std::vector<ModuleInput> inputs;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (argument != kStandardInput && fs::is_directory(argument, error)) {
            std::vector<ModuleInput> found = ModulesUnder(argument);
            if (!found.empty()) {
                inputs.insert(inputs.end(), found.begin(), found.end());
                continue;
            }
        }
        inputs.push_back({argument, argument == kStandardInput ? "stdin" : fs::path(argument).filename().string()});
    }
    return inputs;
}

std::vector<std::string> ExpandModulePaths(const std::vector<std::string>& arguments) {
    std::vector<std::string> paths;
    for (const ModuleInput& input : ExpandModuleInputs(arguments)) paths.push_back(input.path);
    return paths;
}
