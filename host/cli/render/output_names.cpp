#include "render/output_names.h"

#include <set>

#include "common/module_names.h"

namespace fs = std::filesystem;

std::vector<std::string> OutputBases(const std::vector<ModuleInput>& inputs) {
    std::vector<std::string> bases;
    std::set<std::string> taken;
    for (const ModuleInput& input : inputs) {
        const fs::path relative(input.relative);
        const std::string own = (relative.parent_path() / ModuleStem(relative.filename().string())).generic_string();
        std::string base = own;
        for (int n = 2; !taken.insert(base).second; ++n) base = own + "-" + std::to_string(n);
        bases.push_back(base);
    }
    return bases;
}

bool CreateOutputFolders(const fs::path& folder, const std::vector<std::string>& bases, std::string& why) {
    for (const std::string& base : bases) {
        const fs::path below = fs::path(base).parent_path();
        if (below.empty()) continue;
        std::error_code error;
        fs::create_directories(folder / below, error);
        if (error) {
            why = (folder / below).string() + ": cannot create the folder: " + error.message();
            return false;
        }
    }
    return true;
}
