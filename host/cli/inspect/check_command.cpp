// `ahx check`: what the library mends or refuses in a module, one line per finding with its place.
#include <iostream>
#include <sstream>
#include <string>

#include "common/exit_codes.h"
#include "common/help.h"
#include "common/module_file.h"
#include "common/ordered_batch.h"
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

Verdict CheckFile(const std::string& path, bool json, std::ostream& out, std::ostream& err) {
    ModuleFile module;
    try {
        module = ReadModuleBytes(path);
    } catch (const FileError& error) {
        err << "ahx: " << Printable(error.what()) << '\n';
        if (json) out << "{\"file\":" << JsonString(path) << ",\"result\":\"unreadable\",\"findings\":[]}\n";
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
        out << "{\"file\":" << JsonString(path) << ",\"result\":\"" << names[static_cast<int>(verdict)]
                  << "\",\"findings\":[";
        for (size_t i = 0; i < collected.findings.size(); ++i) {
            out << (i ? "," : "") << FindingJson(collected.findings[i], module.header);
        }
        out << "]}\n";
    } else {
        if (verdict == Verdict::kClean) out << Printable(path) << ": no findings\n";
        for (const ahx_finding& finding : collected.findings) {
            out << Printable(path) << ": " << FindingPlace(finding) << ": " << FindingMessage(finding, module.header) << '\n';
        }
    }
        return verdict;
}

}  // namespace

int RunCheck(const std::vector<std::string_view>& arguments) {
    FileListOptions options;
    if (const std::optional<int> done = ParseFileListOptions("check", kCheckHelp, arguments, &options)) return *done;
    const std::vector<std::string>& files = options.files;
    const bool json = options.json;
    bool unreadable = false, findings = false;
    RunOrdered(
        files.size(), options.jobs.value_or(UsableCores()),
        [&](size_t i, ItemOutput& output) {
            std::ostringstream out, err;
            output.status = static_cast<int>(CheckFile(files[i], json, out, err));
            output.Err(err.str());
            output.Out(out.str());
        },
        [&](size_t, ItemOutput& output) {
            output.Print();
            unreadable |= output.status == static_cast<int>(Verdict::kUnreadable);
            findings |= output.status == static_cast<int>(Verdict::kFindings);
            return true;
        });
    if (unreadable) return kExitFileError;
    return findings ? kExitFindings : kExitSuccess;
}
