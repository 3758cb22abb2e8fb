// `ahx check`: what the library mends or refuses in a module, one line per finding with its place.
#include <iostream>
#include <sstream>
#include <string>

#include "common/exit_codes.h"
#include "common/help.h"
#include "common/module_file.h"
#include "common/text_output.h"
#include "inspect/finding_text.h"
#include "inspect/file_list_options.h"
#include "inspect/inspect_commands.h"

namespace {

struct Collected {
    std::vector<ahx_finding> findings;
};

extern "C" void Collect(void* context, const ahx_finding* finding) {
    static_cast<Collected*>(context)->findings.push_back(*finding);
}

enum class Verdict { kClean, kFindings, kUnreadable };

Verdict CheckFile(const std::string& path, bool json) {
    ModuleFile module;
    try {
        module = ReadModuleBytes(path);
    } catch (const FileError& error) {
        std::cerr << "ahx: " << Printable(error.what()) << '\n';
        if (json) std::cout << "{\"file\":" << JsonString(path) << ",\"result\":\"unreadable\",\"findings\":[]}\n";
        return Verdict::kUnreadable;
    }
    ahx_probe(module.bytes.data(), module.bytes.size(), &module.header);
    Collected collected;
    const ahx_result result = ahx_check(module.bytes.data(), module.bytes.size(), Collect, &collected);
    const Verdict verdict = result != AHX_OK               ? Verdict::kUnreadable
                            : collected.findings.empty() ? Verdict::kClean
                                                         : Verdict::kFindings;
    if (json) {
        const char* names[] = {"clean", "findings", "unreadable"};
        std::cout << "{\"file\":" << JsonString(path) << ",\"result\":\"" << names[static_cast<int>(verdict)]
                  << "\",\"findings\":[";
        for (size_t i = 0; i < collected.findings.size(); ++i) {
            std::cout << (i ? "," : "") << FindingJson(collected.findings[i], module.header);
        }
        std::cout << "]}\n";
    } else {
        if (verdict == Verdict::kClean) std::cout << Printable(path) << ": no findings\n";
        for (const ahx_finding& finding : collected.findings) {
            std::cout << Printable(path) << ": " << FindingPlace(finding) << ": " << FindingMessage(finding, module.header) << '\n';
        }
    }
    std::cout.flush();
    return verdict;
}

}  // namespace

int RunCheck(const std::vector<std::string_view>& arguments) {
    FileListOptions options;
    if (const std::optional<int> done = ParseFileListOptions("check", kCheckHelp, arguments, &options)) return *done;
    const std::vector<std::string>& files = options.files;
    const bool json = options.json;
    bool unreadable = false, findings = false;
    for (const std::string& file : files) {
        const Verdict verdict = CheckFile(file, json);
        unreadable |= verdict == Verdict::kUnreadable;
        findings |= verdict == Verdict::kFindings;
    }
    if (unreadable) return kExitFileError;
    return findings ? kExitFindings : kExitSuccess;
}
