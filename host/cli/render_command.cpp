// `ahx render`: options, output naming, the batch loop with its progress line and summaries.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>

#include "arguments.h"
#include "audio_output.h"
#include "commands.h"
#include "help.h"
#include "module_file.h"
#include "option_limits.h"
#include "text_output.h"
#include "render.h"

namespace {

constexpr int64_t kWidestSeparation = 200;
// Opus encodes at 48000 Hz and a few lower rates, not at 44100; unless --rate says otherwise.
constexpr uint32_t kOpusRate = 48000;

struct RenderOptions {
    std::vector<std::string> files;
    std::optional<std::string> output;
    std::optional<uint32_t> song;  // nothing: every song (--song all)
    RenderSettings settings;
    std::optional<AudioFormat> format;
    std::optional<int> quality;
    bool rateGiven = false;
    uint32_t mutedChannels = 0;   // bit c - 1 for channel c, as users number them
    uint32_t soloChannels = 0;    // 0: no --solo
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
        } else if (a == "--start") {
            options.settings.startSeconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        } else if (a == "--rate") {
            options.settings.sampleRate = static_cast<uint32_t>(ParseInteger(a, cursor.Value(a), kLowestRate, kHighestRate));
            options.rateGiven = true;
        } else if (a == "--stereo") {
            options.settings.stereoMode = static_cast<int32_t>(ParseInteger(a, cursor.Value(a), 0, kHighestStereoMode));
        } else if (a == "--format") {
            const std::string_view value = cursor.Value(a);
            options.format = AudioFormatFromName(value);
            if (!options.format) throw UsageError("--format takes " + FormatNameList() + ", not '" + std::string(value) + "'");
        } else if (a == "--quality") {
            options.quality = static_cast<int>(ParseInteger(a, cursor.Value(a), 0, kHighestQuality));
        } else if (a == "--separation") {
            options.settings.separationPercent = static_cast<int>(ParseInteger(a, cursor.Value(a), 0, kWidestSeparation));
        } else if (a == "--mute") {
            options.mutedChannels |= ParseChannelList(a, cursor.Value(a));
        } else if (a == "--solo") {
            options.soloChannels |= ParseChannelList(a, cursor.Value(a));
        } else if (a == "--stems") {
            options.settings.stems = true;
        } else if (a == "--force") {
            options.force = true;
        } else {
            throw UsageError("unknown option " + std::string(a));
        }
    }
    if (options.settings.seconds && options.settings.loops != 1) {
        throw UsageError("--seconds and --loops both set the length; give one of them");
    }
    const uint32_t heard = options.soloChannels != 0 ? options.soloChannels : kAllChannels;
    options.settings.voiceMask = heard & ~options.mutedChannels;
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
    if (*options.output == kStandardOutput && options.settings.stems) {
        throw UsageError("-o - writes one stream; --stems writes a file per channel");
    }

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
        throw UsageError("cannot tell the audio format from the name " + output + "; add --format (" +
                         FormatNameList() + ")");
    }
    plan.file = output;
    plan.format = options.format.value_or(fromName.value_or(AudioFormat::Wav));
    return plan;
}

// What the format needs of the other options, and whether this libsndfile can write it at all.
void CheckFormat(RenderOptions& options, AudioFormat format) {
    if (options.quality && !IsLossy(format)) {
        throw UsageError("--quality is for the lossy formats (ogg, opus, mp3); " + std::string(LabelOf(format)) +
                         " is bit-exact");
    }
    if (format == AudioFormat::Opus && !options.rateGiven) options.settings.sampleRate = kOpusRate;
    const std::string why = WhyNotWritable(format, options.settings.sampleRate);
    if (!why.empty()) throw UsageError(why);
}

// channel: for a stem, the channel as users number it (from 1); 0 for the mix.
std::string OutputPathFor(const OutputPlan& plan, const ModuleFile& module, std::optional<uint32_t> songOfAll,
                          uint32_t channel) {
    if (plan.toStandardOutput) return std::string(kStandardOutput);
    const std::string channelPart = channel != 0 ? "-ch" + std::to_string(channel) : "";
    if (plan.file) {
        // A stem of a named output takes that name with its channel before the extension.
        if (channel == 0) return plan.file->string();
        std::filesystem::path stem = *plan.file;
        stem.replace_filename(plan.file->stem().string() + channelPart + plan.file->extension().string());
        return stem.string();
    }
    std::string name = module.stem;
    if (songOfAll) name += "-song" + std::to_string(*songOfAll);
    name += channelPart;
    name += ExtensionOf(plan.format);
    return plan.folder == "." ? name : (plan.folder / name).string();
}

// "HVL version 1, song 2 of 3", and the channel for a stem.
AudioTags TagsFor(const ModuleFile& module, const ahx_info& info, uint32_t song, uint32_t channel) {
    std::string comment = DescribeFormat(module) + ", song " + std::to_string(song) + " of " +
                          std::to_string(info.subsongs + 1);
    if (channel != 0) comment += ", channel " + std::to_string(channel) + " of " + std::to_string(info.channels);
    return AudioTags{TitleText(info.title), std::string("ahx ") + ahx_version_string(), comment};
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
        std::fprintf(stderr, "\r\033[K[%zu/%zu done] %s", filesDone_, fileCount_, Printable(name_).c_str());
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
    std::cerr << "ahx: " << Printable(message) << '\n';
}

// A channel list naming a channel the module does not have is a usage error, for this module.
void CheckChannels(const RenderOptions& options, const ModuleFile& module, uint32_t channelCount) {
    const std::pair<const char*, uint32_t> lists[] = {{"--mute", options.mutedChannels},
                                                      {"--solo", options.soloChannels}};
    for (const auto& [option, channels] : lists) {
        const uint32_t beyond = ChannelsBeyond(channels, channelCount);
        if (beyond != 0) {
            throw UsageError(std::string(option) + " names channel " + std::to_string(beyond) + ", but " +
                             module.displayName + " has " + std::to_string(channelCount) + " channels");
        }
    }
}

// Renders every requested song of one module; returns false when something failed.
bool RenderModule(const ModuleFile& module, const RenderOptions& options, const OutputPlan& plan,
                  ProgressLine& progress, std::set<std::string>& written) {
    const PlayerPtr described = OpenSong(module, 0, options.settings.stereoMode, options.settings.sampleRate);
    const ahx_info& info = *ahx_get_info(described.get());
    CheckChannels(options, module, info.channels);
    std::vector<std::optional<uint32_t>> songs;  // song number for the name, when rendering all
    if (options.song) {
        songs.push_back(std::nullopt);
    } else {
        for (uint32_t s = 0; s <= info.subsongs; ++s) songs.push_back(s);
    }
    // Stems are numbered as users number channels: from 1; 0 stands for the mix.
    std::vector<uint32_t> channels{0};
    if (options.settings.stems) {
        channels.clear();
        for (uint32_t c = 1; c <= info.channels; ++c) channels.push_back(c);
    }
    bool allGood = true;
    for (const std::optional<uint32_t> songOfAll : songs) {
        const uint32_t song = songOfAll.value_or(options.song.value_or(0));
        try {
            // A missing subsong is reported as such, before any output file is looked at.
            OpenSong(module, song, options.settings.stereoMode, options.settings.sampleRate);
            std::vector<std::unique_ptr<AudioOutput>> outputs;
            std::vector<std::string> keys;
            for (const uint32_t channel : channels) {
                const std::string path = OutputPathFor(plan, module, songOfAll, channel);
                const std::string key = std::filesystem::absolute(path).lexically_normal().string();
                // Two inputs with the same name in different folders would land on one output.
                if (!plan.toStandardOutput && written.count(key) != 0) {
                    throw FileError(path + ": written already in this run from another input; render it separately");
                }
                outputs.push_back(std::make_unique<AudioOutput>(path, plan.format, options.settings.sampleRate,
                                                                options.force, TagsFor(module, info, song, channel),
                                                                options.quality));
                keys.push_back(key);
            }
            std::vector<AudioOutput*> targets;
            for (const auto& output : outputs) targets.push_back(output.get());
            const RenderResult result =
                RenderSong(module, song, options.settings, targets,
                           [&progress](uint64_t done, uint64_t) { progress.Update(done); });
            for (const auto& output : outputs) output->Commit();
            if (plan.toStandardOutput) continue;
            written.insert(keys.begin(), keys.end());
            progress.Clear();
            for (size_t o = 0; o < outputs.size(); ++o) {
                std::cout << Printable(outputs[o]->Path()) << ": "
                          << FormatDuration(result.frames, options.settings.sampleRate) << ", " << result.frames
                          << " frames at " << options.settings.sampleRate << " Hz, peak " << FormatPeak(result.peaks[o])
                          << (result.songEnded ? "" : " (cut at the 10-minute limit)") << '\n';
            }
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
        CheckFormat(options, plan.format);
    } catch (const UsageError& error) {
        std::cerr << "ahx render: " << Printable(error.what()) << " (see ahx render --help)\n";
        return kExitUsage;
    }
    if (!plan.toStandardOutput && !plan.file && plan.folder != ".") {
        std::error_code error;
        std::filesystem::create_directories(plan.folder, error);
        if (error) {
            // A file where the folder (or one above it) should be shows up as "File exists" or
            // "Not a directory", which reads as if the folder were fine.
            const bool fileInTheWay = error == std::errc::file_exists || error == std::errc::not_a_directory;
            std::cerr << "ahx: " << Printable(plan.folder.string())
                      << (fileInTheWay ? ": not a folder (a file is in the way)"
                                       : ": cannot create the folder: " + error.message())
                      << '\n';
            return kExitFileError;
        }
    }

    const size_t fileCount = options.files.empty() ? 1 : options.files.size();
    ProgressLine progress(fileCount, options.settings.sampleRate);
    std::set<std::string> written;
    bool allGood = true;
    bool usageError = false;
    try {
        for (size_t i = 0; i < fileCount; ++i) {
            try {
                const ModuleFile module = options.files.empty() ? BundledDemoSong() : ReadModuleFile(options.files[i]);
                progress.StartFile(i, module.displayName);
                allGood = RenderModule(module, options, plan, progress, written) && allGood;
            } catch (const FileError& error) {
                ReportError(progress, error.what());
                allGood = false;
            } catch (const UsageError& error) {
                progress.Clear();
                std::cerr << "ahx render: " << error.what() << " (see ahx render --help)\n";
                usageError = true;
            }
        }
    } catch (const Interrupted&) {
        ReportError(progress, "interrupted; the unfinished output was removed");
        return kExitInterrupted;
    }
    progress.Clear();
    if (usageError) return kExitUsage;
    return allGood ? kExitSuccess : kExitFileError;
}
