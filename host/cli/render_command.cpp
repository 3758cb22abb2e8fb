// `ahx render`: options, output naming, the batch loop with its progress line and summaries.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <set>
#include <string>

#include "arguments.h"
#include "audio_output.h"
#include "commands.h"
#include "help.h"
#include "module_file.h"
#include "option_limits.h"
#include "render.h"

namespace {


struct RenderOptions {
    std::vector<std::string> files;
    std::optional<std::string> output;
    std::optional<uint32_t> song;  // nothing: every song (--song all)
    RenderSettings settings;
    std::optional<AudioFormat> format;
    bool force = false;
    bool help = false;
};

RenderOptions ParseRenderOptions(const std::vector<std::string_view>& arguments) {
    RenderOptions options;
    options.song = 0;
    ArgumentCursor cursor(arguments);
    while (const auto argument = cursor.Next()) {
        const std::string_view a = *argument;
        if (cursor.OptionsEnded() || a == "-" || !a.starts_with("-")) {
            options.files.emplace_back(a);
        } else if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "-o" || a == "--output") {
            options.output = std::string(cursor.Value(a));
        } else if (a == "--song") {
            const std::string_view value = cursor.Value(a);
            options.song = value == "all" ? std::nullopt
                                          : std::optional<uint32_t>(static_cast<uint32_t>(ParseInteger(a, value, 0, kHighestSong)));
        } else if (a == "--seconds") {
            options.settings.seconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        } else if (a == "--loops") {
            options.settings.loops = static_cast<uint32_t>(ParseInteger(a, cursor.Value(a), 1, kMostLoops));
        } else if (a == "--fade") {
            options.settings.fadeSeconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        } else if (a == "--rate") {
            options.settings.sampleRate = static_cast<uint32_t>(ParseInteger(a, cursor.Value(a), kLowestRate, kHighestRate));
        } else if (a == "--stereo") {
            options.settings.stereoMode = static_cast<int32_t>(ParseInteger(a, cursor.Value(a), 0, kHighestStereoMode));
        } else if (a == "--format") {
            const std::string_view value = cursor.Value(a);
            options.format = AudioFormatFromName(value);
            if (!options.format) throw UsageError("--format takes wav, flac or raw, not '" + std::string(value) + "'");
        } else if (a == "--force") {
            options.force = true;
        } else {
            throw UsageError("unknown option " + std::string(a));
        }
    }
    if (options.settings.seconds && options.settings.loops != 1) {
        throw UsageError("--seconds and --loops both set the length; give one of them");
    }
    return options;
}

// Where the outputs go: one named file, standard output, or a folder of files named after the songs.
struct OutputPlan {
    bool toStandardOutput = false;
    std::optional<std::filesystem::path> file;  // exactly this file (one output only)
    std::filesystem::path folder = ".";
    AudioFormat format = AudioFormat::Wav;
};

bool NamesFolder(const std::string& output) {
    std::error_code error;
    return output.ends_with('/') || std::filesystem::is_directory(output, error);
}

OutputPlan PlanOutputs(const RenderOptions& options) {
    OutputPlan plan;
    plan.format = options.format.value_or(AudioFormat::Wav);
    const bool severalOutputs = options.files.size() > 1 || !options.song;
    if (!options.output) return plan;

    const std::string& output = *options.output;
    if (output == kStandardOutput) {
        if (severalOutputs) throw UsageError("-o - writes one song; it cannot take several files or --song all");
        if (options.format && *options.format != AudioFormat::Raw) {
            throw UsageError("-o - writes raw samples; --format must be raw or left out");
        }
        if (::isatty(STDOUT_FILENO) == 1) {
            throw UsageError("-o - would write binary samples to the terminal; pipe it into a player");
        }
        plan.toStandardOutput = true;
        plan.format = AudioFormat::Raw;
        return plan;
    }
    if (NamesFolder(output)) {
        plan.folder = output;
        return plan;
    }
    const std::optional<AudioFormat> fromName = AudioFormatFromExtension(output);
    if (severalOutputs) {
        if (fromName) throw UsageError("-o " + output + " names one file, but several outputs would be written; give a folder");
        plan.folder = output;
        return plan;
    }
    if (!options.format && !fromName) {
        throw UsageError("cannot tell the audio format from the name " + output + "; add --format wav|flac|raw");
    }
    plan.file = output;
    plan.format = options.format.value_or(fromName.value_or(AudioFormat::Wav));
    return plan;
}

std::string OutputPathFor(const OutputPlan& plan, const ModuleFile& module, std::optional<uint32_t> songOfAll) {
    if (plan.toStandardOutput) return std::string(kStandardOutput);
    if (plan.file) return plan.file->string();
    std::string name = module.stem;
    if (songOfAll) name += "-song" + std::to_string(*songOfAll);
    name += ExtensionOf(plan.format);
    return plan.folder == "." ? name : (plan.folder / name).string();
}

// On a terminal, a batch shows one line that is rewritten in place.
class ProgressLine {
public:
    ProgressLine(size_t fileCount, uint32_t sampleRate)
        : enabled_(fileCount > 1 && ::isatty(STDERR_FILENO) == 1), fileCount_(fileCount), sampleRate_(sampleRate) {}

    void StartFile(size_t filesDone, const std::string& name) {
        filesDone_ = filesDone;
        name_ = name;
        started_ = Clock::now();
        Show(0);
    }
    void Update(uint64_t framesDone) {
        if (!enabled_ || Clock::now() - shown_ < std::chrono::milliseconds(200)) return;
        Show(framesDone);
    }
    // Clears the line so that ordinary output does not run into it.
    void Clear() {
        if (enabled_) std::fprintf(stderr, "\r\033[K");
    }

private:
    using Clock = std::chrono::steady_clock;

    void Show(uint64_t framesDone) {
        if (!enabled_) return;
        shown_ = Clock::now();
        const double elapsed = std::chrono::duration<double>(shown_ - started_).count();
        const double audioSeconds = static_cast<double>(framesDone) / sampleRate_;
        std::fprintf(stderr, "\r\033[K[%zu/%zu done] %s", filesDone_, fileCount_, name_.c_str());
        if (elapsed > 0.05) std::fprintf(stderr, "  %.0fx realtime", audioSeconds / elapsed);
        std::fflush(stderr);
    }

    bool enabled_;
    size_t fileCount_;
    uint32_t sampleRate_;
    size_t filesDone_ = 0;
    std::string name_;
    Clock::time_point started_{};
    Clock::time_point shown_{};
};

void ReportError(ProgressLine& progress, const std::string& message) {
    progress.Clear();
    std::cerr << "ahx: " << message << '\n';
}

// Renders every requested song of one module; returns false when something failed.
bool RenderModule(const ModuleFile& module, const RenderOptions& options, const OutputPlan& plan,
                  ProgressLine& progress, std::set<std::string>& written) {
    std::vector<std::optional<uint32_t>> songs;  // song number for the name, when rendering all
    if (options.song) {
        songs.push_back(std::nullopt);
    } else {
        const PlayerPtr player = OpenSong(module, 0, options.settings.stereoMode, options.settings.sampleRate);
        for (uint32_t s = 0; s <= ahx_get_info(player.get())->subsongs; ++s) songs.push_back(s);
    }
    bool allGood = true;
    for (const std::optional<uint32_t> songOfAll : songs) {
        const uint32_t song = songOfAll.value_or(options.song.value_or(0));
        const std::string path = OutputPathFor(plan, module, songOfAll);
        const std::string key = std::filesystem::absolute(path).lexically_normal().string();
        try {
            // Two inputs with the same name in different folders would land on one output.
            if (!plan.toStandardOutput && written.count(key) != 0) {
                throw FileError(path + ": written already in this run from another input; render it separately");
            }
            // A missing subsong is reported as such, before any output file is looked at.
            OpenSong(module, song, options.settings.stereoMode, options.settings.sampleRate);
            AudioOutput output(path, plan.format, options.settings.sampleRate, options.force);
            const RenderResult result =
                RenderSong(module, song, options.settings, output,
                           [&progress](uint64_t done, uint64_t) { progress.Update(done); });
            output.Commit();
            if (plan.toStandardOutput) continue;
            written.insert(key);
            progress.Clear();
            std::cout << path << ": " << FormatDuration(result.frames, options.settings.sampleRate) << ", "
                      << result.frames << " frames at " << options.settings.sampleRate << " Hz, peak "
                      << FormatPeak(result.peak)
                      << (result.songEnded ? "" : " (cut at the 10-minute limit)") << '\n';
        } catch (const FileError& error) {
            ReportError(progress, error.what());
            allGood = false;
        }
    }
    return allGood;
}

}  // namespace

int RunRender(const std::vector<std::string_view>& arguments) {
    RenderOptions options;
    OutputPlan plan;
    try {
        options = ParseRenderOptions(arguments);
        if (options.help) {
            std::cout << kRenderHelp;
            return kExitSuccess;
        }
        plan = PlanOutputs(options);
    } catch (const UsageError& error) {
        std::cerr << "ahx render: " << error.what() << " (see ahx render --help)\n";
        return kExitUsage;
    }
    if (!plan.toStandardOutput && !plan.file && plan.folder != ".") {
        std::error_code error;
        std::filesystem::create_directories(plan.folder, error);
        if (error) {
            std::cerr << "ahx: " << plan.folder.string() << ": cannot create the folder: " << error.message() << '\n';
            return kExitFileError;
        }
    }

    const size_t fileCount = options.files.empty() ? 1 : options.files.size();
    ProgressLine progress(fileCount, options.settings.sampleRate);
    std::set<std::string> written;
    bool allGood = true;
    try {
        for (size_t i = 0; i < fileCount; ++i) {
            try {
                const ModuleFile module = options.files.empty() ? BundledDemoSong() : ReadModuleFile(options.files[i]);
                progress.StartFile(i, module.displayName);
                allGood = RenderModule(module, options, plan, progress, written) && allGood;
            } catch (const FileError& error) {
                ReportError(progress, error.what());
                allGood = false;
            }
        }
    } catch (const Interrupted&) {
        ReportError(progress, "interrupted; the unfinished output was removed");
        return kExitInterrupted;
    }
    progress.Clear();
    return allGood ? kExitSuccess : kExitFileError;
}
