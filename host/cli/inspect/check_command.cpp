// `ahx check`: what the library mends or refuses in a module, one line per finding with its place.
#include <algorithm>
#include <iostream>
#include <map>
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
#include "inspect/unreadable.h"

namespace {

struct Collected {
    std::vector<ahx_finding> findings;
};

extern "C" void Collect(void* context, const ahx_finding* finding) {
    static_cast<Collected*>(context)->findings.push_back(*finding);
}

enum class Verdict { kClean, kFindings, kUnreadable };

// Without --all, a kind's findings after this many are counted, not shown.
constexpr size_t kShownPerKind = 3;

// "12 findings: 9 note-out-of-range, 3 jump-beyond-end", kinds in the order they came.
std::string KindCounts(const std::vector<ahx_finding>& findings) {
    std::vector<std::pair<ahx_finding_kind, size_t>> counts;
    for (const ahx_finding& finding : findings) {
        auto kind = std::find_if(counts.begin(), counts.end(), [&](const auto& c) { return c.first == finding.kind; });
        if (kind == counts.end()) kind = counts.insert(counts.end(), {finding.kind, 0});
        ++kind->second;
    }
    std::string text = std::to_string(findings.size()) + (findings.size() == 1 ? " finding: " : " findings: ");
    for (size_t i = 0; i < counts.size(); ++i) {
        text += (i ? ", " : "") + std::to_string(counts[i].second) + " " + ahx_finding_name(counts[i].first);
    }
    return text;
}

void PrintText(const std::string& path, const std::vector<ahx_finding>& findings, const ahx_probe_info& header,
               bool all, std::ostream& out) {
    const std::string file = Printable(path);
    std::map<ahx_finding_kind, size_t> seen;
    for (const ahx_finding& finding : findings) {
        if (!all && ++seen[finding.kind] > kShownPerKind) continue;
        out << file << ": " << FindingPlace(finding) << ": " << FindingMessage(finding, header) << '\n';
    }
    for (const auto& [kind, count] : seen) {
        if (count <= kShownPerKind) continue;
        out << file << ": " << count - kShownPerKind << " more " << ahx_finding_name(kind)
            << " not shown (--all shows every one)\n";
    }
    if (!findings.empty()) out << file << ": " << KindCounts(findings) << '\n';
}

Verdict CheckFile(const std::string& path, bool json, bool all, std::ostream& out, std::ostream& err) {
    ModuleFile module;
    try {
        module = ReadModuleBytes(path);
    } catch (const FileError& error) {
        err << "ahx: " << Printable(error.what()) << '\n';
        if (json) out << UnreadableJsonStart(path, ReasonWithoutFile(error.what(), path)) << ",\"findings\":[]}\n";
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
        out << (verdict == Verdict::kUnreadable
                    ? UnreadableJsonStart(path, RefusalReason(module.header, result))
                    : "{\"file\":" + JsonString(path) + ",\"result\":\"" + names[static_cast<int>(verdict)] + '"')
            << ",\"findings\":[";
        for (size_t i = 0; i < collected.findings.size(); ++i) {
            out << (i ? "," : "") << FindingJson(collected.findings[i], module.header);
        }
        out << "]}\n";
    } else {
        if (verdict == Verdict::kClean) out << Printable(path) << ": no findings\n";
        PrintText(path, collected.findings, module.header, all, out);
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
            output.status = static_cast<int>(CheckFile(files[i], json, options.all, out, err));
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
