// `ahx render`: the batch loop over files and songs, with its progress line and summaries.
#include "render/render_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>

#include "common/exit_codes.h"
#include "common/help.h"
#include "common/interrupt.h"
#include "common/module_file.h"
#include "common/module_inputs.h"
#include "common/ordered_batch.h"
#include "common/song_plan.h"
#include "common/text_output.h"
#include "render/output_claims.h"
#include "render/output_names.h"
#include "render/output_plan.h"
#include "render/progress_line.h"
#include "render/render_options.h"
#include "render/song_render.h"

namespace {

// An item's verdict, worst last.
enum ItemStatus { kItemDone, kItemFailed, kItemUsageError, kItemInterrupted };

void ReportError(ItemOutput& output, const std::string& message) {
    output.Err("ahx: " + Printable(message) + "\n");
    output.status = std::max<int>(output.status, kItemFailed);
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
// Songs first to end - 1 of a file (with --song all).
struct SongRange {
    uint32_t first, end;
};

// One input file, or a run of its songs when a single file's songs are the batch.
struct BatchItem {
    size_t file = 0;
    std::optional<SongRange> songs;
};

void RenderModule(const ModuleFile& module, const RenderOptions& options, const OutputPlan& plan,
                  ProgressLine& progress, size_t item, std::optional<SongRange> onlySongs, OutputClaims& claims,
                  ItemOutput& output) {
    const PlayerPtr player = OpenModule(module, StereoModeOf(options.songs), options.sampleRate);
    const ahx_info& info = *ahx_get_info(player.get());
    CheckChannels(options.songs, module, info.channels);
    std::vector<std::optional<uint32_t>> songs;  // song number for the name, when rendering all
    if (options.songs.song) {
        songs.push_back(std::nullopt);
    } else {
        for (uint32_t s = 0; s <= info.subsongs; ++s) {
            if (!onlySongs || (s >= onlySongs->first && s < onlySongs->end)) songs.push_back(s);
        }
    }
    // Stems are numbered as users number channels: from 1; 0 stands for the mix.
    std::vector<uint32_t> channels{0};
    if (options.stems) {
        channels.clear();
        for (uint32_t c = 1; c <= info.channels; ++c) channels.push_back(c);
    }
    const std::string cutNote =
        " (cut at the " + std::to_string(AHX_LENGTH_CAP_SECONDS / 60) + "-minute limit)";
    auto keyOf = [](const std::string& path) { return std::filesystem::absolute(path).lexically_normal().string(); };
    if (!plan.toStandardOutput) {
        std::vector<std::string> mayWrite;
        for (const std::optional<uint32_t> songOfAll : songs) {
            for (const uint32_t channel : channels) mayWrite.push_back(keyOf(OutputPathFor(plan, module, songOfAll, channel)));
        }
        claims.Publish(item, mayWrite);
    }
    for (const std::optional<uint32_t> songOfAll : songs) {
        const uint32_t song = songOfAll.value_or(options.songs.song.value_or(0));
        try {
            // A missing subsong is reported as such, before any output file is looked at.
            SelectSong(module, player.get(), song);
            std::vector<std::unique_ptr<AudioFileWriter>> writers;
            std::vector<std::string> keys;
            for (const uint32_t channel : channels) {
                const std::string path = OutputPathFor(plan, module, songOfAll, channel);
                const std::string key = keyOf(path);
                // Two inputs with the same name in different folders would land on one output.
                if (!plan.toStandardOutput && claims.WrittenEarlier(item, key)) {
                    throw FileError(path + ": written already in this run from another input; render it separately");
                }
                writers.push_back(std::make_unique<AudioFileWriter>(path, plan.format, options.sampleRate,
                                                                    options.force, TagsFor(module, player.get(), song, channel),
                                                                    options.quality));
                keys.push_back(key);
            }
            const SongPlan span = PlanSong(player.get(), song, options.songs, options.sampleRate, false);
            FrameShaping shaping;
            shaping.frames = FramesToRender(module, span, options);
            shaping.fadeFrames = std::min(shaping.frames, FramesOf(options.fadeSeconds, options.sampleRate));
            shaping.separationPercent = options.songs.separationPercent;
            shaping.stems = options.stems;
            shaping.measureLoudness = options.replayGain;
            ahx_set_voice_mask(player.get(), AudibleChannels(options.songs));
            ahx_seek(player.get(), span.startFrame);
            std::vector<AudioFileWriter*> targets;
            for (const auto& writer : writers) targets.push_back(writer.get());
            uint64_t shown = 0;
            const std::vector<OutputLevels> levels = RenderFrames(player.get(), shaping, targets, [&](uint64_t done) {
                progress.Add(done - shown);
                shown = done;
            });
            for (size_t o = 0; o < writers.size(); ++o) {
                std::vector<std::string> replayGain;
                if (const std::optional<Loudness>& loudness = levels[o].loudness) {
                    replayGain = {"REPLAYGAIN_TRACK_GAIN=" + ReplayGainText(*loudness),
                                  "REPLAYGAIN_TRACK_PEAK=" + ReplayPeakText(*loudness)};
                }
                writers[o]->Commit(replayGain);
            }
            if (plan.toStandardOutput) continue;
            for (const std::string& key : keys) claims.MarkWritten(key);
            for (size_t o = 0; o < writers.size(); ++o) {
                output.Out(Printable(writers[o]->Path()) + ": " + FormatClock(shaping.frames, options.sampleRate) +
                           ", " + std::to_string(shaping.frames) + " frames at " + std::to_string(options.sampleRate) +
                           " Hz, peak " + FormatPeak(levels[o].peak) + (span.endsByItself ? "" : cutNote) + "\n");
            }
        } catch (const FileError& error) {
            ReportError(output, error.what());
        }
    }
}

// One input of the batch, its messages held in output.
void RenderItem(const RenderOptions& options, const OutputPlan& plan, const std::vector<std::string>& bases,
                ProgressLine& progress, OutputClaims& claims, size_t item, const BatchItem& what, ItemOutput& output) {
    try {
        if (InterruptRequested()) throw Interrupted();
        ModuleFile module = options.files.empty() ? BundledDemoSong() : ReadModuleFile(options.files[what.file]);
        if (!bases.empty()) module.stem = bases[what.file];
        progress.StartFile(module.displayName);
        RenderModule(module, options, plan, progress, item, what.songs, claims, output);
    } catch (const FileError& error) {
        ReportError(output, error.what());
    } catch (const UsageError& error) {
        output.Err("ahx render: " + Printable(error.what()) + " (see ahx render --help)\n");
        output.status = kItemUsageError;
    } catch (const Interrupted&) {
        output.status = kItemInterrupted;
    }
    claims.Finish(item);
}

// The files, or when a single file has several songs to render and several cores to do it, runs
// of its songs, one per job (each item opens the module once). A file that fails to open stays
// one item, so that its message comes once.
std::vector<BatchItem> PlanItems(const RenderOptions& options, unsigned jobs) {
    std::vector<BatchItem> items;
    for (size_t f = 0; f < std::max<size_t>(options.files.size(), 1); ++f) items.push_back({f, std::nullopt});
    if (items.size() > 1 || jobs == 1 || options.songs.song) return items;
    try {
        const ModuleFile module = options.files.empty() ? BundledDemoSong() : ReadModuleFile(options.files[0]);
        const PlayerPtr player = OpenModule(module, StereoModeOf(options.songs), options.sampleRate);
        const ahx_info& info = *ahx_get_info(player.get());
        CheckChannels(options.songs, module, info.channels);
        if (info.subsongs == 0) return items;
        items.clear();
        const uint32_t songCount = info.subsongs + 1;
        const uint32_t runs = std::min(songCount, jobs);
        for (uint32_t run = 0; run < runs; ++run) {
            items.push_back({0, SongRange{songCount * run / runs, songCount * (run + 1) / runs}});
        }
    } catch (const FileError&) {
    } catch (const UsageError&) {
    }
    return items;
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
        // libsndfile takes only its own fixed tag kinds, and before the first sample; only FLAC
        // files are tagged by the tool itself once the render is done.
        if (options.replayGain && plan.format != AudioFormat::Flac) {
            throw UsageError("--replaygain tags FLAC files only; " + std::string(LabelOf(plan.format)) +
                             " output cannot carry the tags");
        }
        if (options.replayGain && plan.toStandardOutput) throw UsageError("--replaygain tags files, not standard output");
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

    // Output on standard output comes one song after another; standard input is read once.
    const bool readsStandardInput =
        std::find(options.files.begin(), options.files.end(), kStandardInput) != options.files.end();
    const unsigned jobs = plan.toStandardOutput || readsStandardInput ? 1 : options.jobs.value_or(UsableCores());
    const std::vector<BatchItem> items = PlanItems(options, jobs);
    ProgressLine progress(items.size(), options.sampleRate);
    OutputClaims claims(items.size());
    int worst = kItemDone;
    RunOrdered(
        items.size(), jobs,
        [&](size_t item, ItemOutput& output) { RenderItem(options, plan, bases, progress, claims, item, items[item], output); },
        [&](size_t item, ItemOutput& output) {
            progress.Print([&] {
                if (output.status == kItemInterrupted && worst != kItemInterrupted) {
                    std::cerr << "ahx: interrupted; the unfinished output was removed\n";
                }
                output.Print();
            });
            worst = std::max(worst, output.status);
            const size_t next = item + 1;
            progress.Reported(next, next < items.size() && !options.files.empty() ? options.files[items[next].file] : "");
            return true;
        });
    progress.Print([] {});
    if (worst == kItemInterrupted) return kExitInterrupted;
    if (worst == kItemUsageError) return kExitUsage;
    return worst == kItemFailed ? kExitFileError : kExitSuccess;
}
