// `ahx render`: the batch loop over files and songs, with its progress line and summaries.
#include "render/render_command.h"

#include <filesystem>
#include <iostream>
#include <memory>
#include <set>
#include <string>

#include "common/exit_codes.h"
#include "common/help.h"
#include "common/module_file.h"
#include "common/module_inputs.h"
#include "common/song_plan.h"
#include "common/text_output.h"
#include "render/output_names.h"
#include "render/output_plan.h"
#include "render/progress_line.h"
#include "render/render_options.h"
#include "render/song_render.h"

namespace {

void ReportError(ProgressLine& progress, const std::string& message) {
    progress.Clear();
    std::cerr << "ahx: " << Printable(message) << '\n';
}

// A channel list naming a channel the module does not have is a usage error, for this module.
void CheckChannels(const SongOptions& options, const ModuleFile& module, uint32_t channelCount) {
    const std::pair<const char*, uint32_t> lists[] = {{"--mute", options.mutedChannels},
                                                      {"--solo", options.soloChannels.value_or(0)}};
    for (const auto& [option, channels] : lists) {
        const uint32_t beyond = ChannelsBeyond(channels, channelCount);
        if (beyond != 0) {
            throw UsageError(std::string(option) + " names channel " + std::to_string(beyond) + ", but " +
                             module.displayName + " has " + std::to_string(channelCount) + " channels");
        }
    }
}

// The frames one song gives from --start on; a FileError when --start lies past its end.
uint64_t FramesToRender(const ModuleFile& module, const SongPlan& song, const RenderOptions& options) {
    if (options.songs.seconds || song.startFrame == 0) return song.endFrame - song.startFrame;
    if (song.startFrame >= song.endFrame) {
        throw FileError(module.displayName + ": --start " + FormatClock(song.startFrame, options.sampleRate) +
                        " is past the song's end at " + FormatClock(song.endFrame, options.sampleRate) +
                        "; add --seconds to render past it");
    }
    return song.endFrame - song.startFrame;
}

// Renders every requested song of one module, through one player; returns false when something failed.
bool RenderModule(const ModuleFile& module, const RenderOptions& options, const OutputPlan& plan,
                  ProgressLine& progress, std::set<std::string>& written) {
    const PlayerPtr player = OpenModule(module, StereoModeOf(options.songs), options.sampleRate);
    const ahx_info& info = *ahx_get_info(player.get());
    CheckChannels(options.songs, module, info.channels);
    std::vector<std::optional<uint32_t>> songs;  // song number for the name, when rendering all
    if (options.songs.song) {
        songs.push_back(std::nullopt);
    } else {
        for (uint32_t s = 0; s <= info.subsongs; ++s) songs.push_back(s);
    }
    // Stems are numbered as users number channels: from 1; 0 stands for the mix.
    std::vector<uint32_t> channels{0};
    if (options.stems) {
        channels.clear();
        for (uint32_t c = 1; c <= info.channels; ++c) channels.push_back(c);
    }
    const std::string cutNote =
        " (cut at the " + std::to_string(AHX_LENGTH_CAP_SECONDS / 60) + "-minute limit)";
    bool allGood = true;
    for (const std::optional<uint32_t> songOfAll : songs) {
        const uint32_t song = songOfAll.value_or(options.songs.song.value_or(0));
        try {
            // A missing subsong is reported as such, before any output file is looked at.
            SelectSong(module, player.get(), song);
            std::vector<std::unique_ptr<AudioFileWriter>> writers;
            std::vector<std::string> keys;
            for (const uint32_t channel : channels) {
                const std::string path = OutputPathFor(plan, module, songOfAll, channel);
                const std::string key = std::filesystem::absolute(path).lexically_normal().string();
                // Two inputs with the same name in different folders would land on one output.
                if (!plan.toStandardOutput && written.count(key) != 0) {
                    throw FileError(path + ": written already in this run from another input; render it separately");
                }
                writers.push_back(std::make_unique<AudioFileWriter>(path, plan.format, options.sampleRate,
                                                                    options.force, TagsFor(module, info, song, channel),
                                                                    options.quality));
                keys.push_back(key);
            }
            const SongPlan span = PlanSong(player.get(), song, options.songs, options.sampleRate, false);
            FrameShaping shaping;
            shaping.frames = FramesToRender(module, span, options);
            shaping.fadeFrames = std::min(shaping.frames, FramesOf(options.fadeSeconds, options.sampleRate));
            shaping.separationPercent = options.songs.separationPercent;
            shaping.stems = options.stems;
            ahx_set_voice_mask(player.get(), AudibleChannels(options.songs));
            ahx_seek(player.get(), span.startFrame);
            std::vector<AudioFileWriter*> targets;
            for (const auto& writer : writers) targets.push_back(writer.get());
            const std::vector<int32_t> peaks =
                RenderFrames(player.get(), shaping, targets, [&progress](uint64_t done) { progress.Update(done); });
            for (const auto& writer : writers) writer->Commit();
            if (plan.toStandardOutput) continue;
            written.insert(keys.begin(), keys.end());
            progress.Clear();
            for (size_t o = 0; o < writers.size(); ++o) {
                std::cout << Printable(writers[o]->Path()) << ": " << FormatClock(shaping.frames, options.sampleRate)
                          << ", " << shaping.frames << " frames at " << options.sampleRate << " Hz, peak "
                          << FormatPeak(peaks[o]) << (span.endsByItself ? "" : cutNote) << '\n';
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
    std::vector<std::string> bases;  // each input's output name, before song, channel and extension
    try {
        options = ParseRenderOptions(arguments);
        if (options.help) {
            std::cout << kRenderHelp;
            return kExitSuccess;
        }
        const std::vector<ModuleInput> inputs = ExpandModuleInputs(options.files);
        options.files = ExpandModulePaths(options.files);
        bases = OutputBases(inputs);
        plan = PlanOutputs(options);
        CheckFormat(options, plan.format);
    } catch (const UsageError& error) {
        return ReportUsageError("render", error.what());
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
    if (std::string why; !plan.toStandardOutput && !plan.file && !CreateOutputFolders(plan.folder, bases, why)) {
        std::cerr << "ahx: " << Printable(why) << '\n';
        return kExitFileError;
    }

    const size_t fileCount = options.files.empty() ? 1 : options.files.size();
    ProgressLine progress(fileCount, options.sampleRate);
    std::set<std::string> written;
    bool allGood = true;
    bool usageError = false;
    try {
        for (size_t i = 0; i < fileCount; ++i) {
            try {
                ModuleFile module = options.files.empty() ? BundledDemoSong() : ReadModuleFile(options.files[i]);
                if (!bases.empty()) module.stem = bases[i];
                progress.StartFile(i, module.displayName);
                allGood = RenderModule(module, options, plan, progress, written) && allGood;
            } catch (const FileError& error) {
                ReportError(progress, error.what());
                allGood = false;
            } catch (const UsageError& error) {
                progress.Clear();
                ReportUsageError("render", error.what());
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
