// `ahx info`: what a module holds, as text for people or one JSON object per file for scripts.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "common/exit_codes.h"
#include "common/help.h"
#include "common/loudness.h"
#include "common/module_file.h"
#include "common/ordered_batch.h"
#include "common/song_plan.h"
#include "common/song_number.h"
#include "common/text_output.h"
#include "inspect/file_list_options.h"
#include "inspect/inspect_commands.h"
#include "inspect/unreadable.h"

namespace {

constexpr uint32_t kInfoRate = AHX_DEFAULT_SAMPLE_RATE;

struct SongSummary {
    uint32_t song;
    uint32_t startPosition;
    ahx_length length;        // as render measures it
    ahx_song_summary course;  // how it goes on after once through, and the channels it uses
    std::optional<Loudness> loudness;  // of the song as render writes it by default
};

struct ModuleSummary {
    std::string file;
    std::string formatName;  // "HVL" or "AHX"
    uint32_t version;
    bool ahx;
    std::string title;
    uint32_t channels, positions, restartPosition, trackLength, tracks;
    uint32_t speedHz;
    uint32_t stereoMode;
    uint32_t mixGainPercent;
    std::vector<SongSummary> songs;
    std::vector<std::string> instrumentNames;
};

// The header's percentage p became p * 256 / 100 truncated; the smallest p giving the stored gain.
uint32_t GainPercent(uint32_t mixGain) { return (mixGain * 100 + 255) / 256; }

// The song as `ahx render` writes it without options, through a loudness meter.
Loudness MeasureSong(ahx_player* player, uint32_t song) {
    ahx_select_song(player, song);
    const SongPlan span = PlanSong(player, song, SongOptions{}, kInfoRate, false);
    ahx_seek(player, span.startFrame);
    return MeasureFrames(player, kInfoRate, span.endFrame - span.startFrame);
}

ModuleSummary Summarise(const ModuleFile& module, bool loudness) {
    const PlayerPtr player = OpenModule(module, 0, kInfoRate);
    // Loudness is of what render writes by default, which plays AHX modules in its own stereo mode;
    // the rest of the summary reads the module at stereo mode 0.
    const PlayerPtr heard = loudness && IsAhx(module) ? OpenModule(module, StereoModeOf(SongOptions{}), kInfoRate)
                                                      : PlayerPtr{};
    const ahx_info& info = *ahx_get_info(player.get());
    ModuleSummary s;
    s.file = module.displayName;
    s.ahx = IsAhx(module);
    s.formatName = s.ahx ? "AHX" : "HVL";
    s.version = info.version;
    s.title = TitleText(info.title);
    s.channels = info.channels;
    s.positions = info.positions;
    s.restartPosition = info.restart;
    s.trackLength = info.track_length;
    s.tracks = info.tracks;
    s.speedHz = info.ticks_per_second;
    s.stereoMode = info.stereo_mode;
    s.mixGainPercent = GainPercent(info.mix_gain);
    for (uint32_t song = 0; song <= info.subsongs; ++song) {
        SongSummary summary{song, 0, {}, {}, {}};
        ahx_summarise_song(player.get(), song, &summary.course);
        ahx_get_song_start(player.get(), song, &summary.startPosition);
        ahx_measure_song(player.get(), song, 1, &summary.length);
        if (loudness) summary.loudness = MeasureSong(heard ? heard.get() : player.get(), song);
        s.songs.push_back(summary);
    }
    for (uint32_t i = 1; i <= info.instruments; ++i) s.instrumentNames.push_back(TitleText(ahx_instrument_name(player.get(), i)));
    return s;
}

std::string Clock(uint64_t frames) { return FormatClock(frames, kInfoRate); }

std::string Step(uint32_t position, uint32_t row) {
    return "position " + std::to_string(position) + ", row " + std::to_string(row);
}

// "plays 0:01.44, then loops for ever from position 0, row 0"
std::string Course(const SongSummary& song) {
    switch (song.length.end) {
        case AHX_SONG_LOOPS:
            return "plays " + Clock(song.length.frames) + ", then loops for ever from " +
                   Step(song.course.position, song.course.row);
        case AHX_SONG_STOPS:
            return "ends at " + Clock(song.course.frames) + ", stuck on " + Step(song.course.position, song.course.row) +
                   " (tempo 0)";
        case AHX_SONG_CUT: break;
    }
    return "does not repeat within " + Clock(song.length.frames) + " (render stops there)";
}

uint32_t ChannelCount(uint32_t mask) {
    uint32_t count = 0;
    for (; mask != 0; mask &= mask - 1) ++count;
    return count;
}

void PrintText(const ModuleSummary& s, std::ostream& out) {
    out << Printable(s.file) << '\n';
    out << "  format        " << s.formatName << (s.ahx ? " revision " : " version ") << s.version << '\n';
    out << "  title         " << Printable(s.title) << '\n';
    out << "  channels      " << s.channels << '\n';
    out << "  positions     " << s.positions << ", restart at " << s.restartPosition << '\n';
    out << "  track length  " << s.trackLength << " steps\n";
    out << "  tracks        " << s.tracks << '\n';
    out << "  speed         " << s.speedHz << " Hz\n";
    if (s.ahx) {
        out << "  stereo mode   none in the file (render and play use " << StereoModeOf(SongOptions{})
            << " unless --stereo says otherwise)\n";
        out << "  mix gain      " << s.mixGainPercent << " % at stereo mode 0\n";
    } else {
        out << "  stereo mode   " << s.stereoMode << '\n';
        out << "  mix gain      " << s.mixGainPercent << " %\n";
    }
    out << "  songs         " << s.songs.size() << '\n';
    for (const SongSummary& song : s.songs) {
        const uint32_t number = SongNumber(song.song);
        out << "    song " << number << (number < 10 ? "      " : number < 100 ? "     " : "    ")
            << "starts at position " << song.startPosition << ", " << Course(song) << "; "
            << ChannelCount(song.course.channels_used) << " of " << s.channels << " channels used\n";
        if (song.loudness) {
            out << "             loudness " << FormatLevel(song.loudness->integratedLufs, "LUFS") << ", range "
                << FormatLevel(song.loudness->rangeLu, "LU") << ", true peak "
                << FormatLevel(song.loudness->truePeakDbtp, "dBTP") << '\n';
        }
    }
    out << "  instruments   " << s.instrumentNames.size() << '\n';
    for (size_t i = 0; i < s.instrumentNames.size(); ++i) {
        char number[32];
        std::snprintf(number, sizeof number, "    %2zu  ", i + 1);
        out << number << Printable(s.instrumentNames[i]) << '\n';
    }
}

void PrintJson(const ModuleSummary& s, std::ostream& out) {
    out << "{\"file\":" << JsonString(s.file) << ",\"format\":\"" << s.formatName << "\",\"version\":" << s.version
        << ",\"title\":" << JsonString(s.title) << ",\"channels\":" << s.channels << ",\"positions\":" << s.positions
        << ",\"restartPosition\":" << s.restartPosition << ",\"trackLength\":" << s.trackLength
        << ",\"tracks\":" << s.tracks << ",\"speedHz\":" << s.speedHz << ",\"stereoMode\":";
    if (s.ahx) {
        out << "null";
    } else {
        out << s.stereoMode;
    }
    out << ",\"mixGainPercent\":" << s.mixGainPercent << ",\"songs\":[";
    for (size_t i = 0; i < s.songs.size(); ++i) {
        const SongSummary& song = s.songs[i];
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.3f", static_cast<double>(song.length.frames) / kInfoRate);
        out << (i ? "," : "") << "{\"song\":" << SongNumber(song.song) << ",\"startPosition\":" << song.startPosition
            << ",\"frames\":" << song.length.frames << ",\"seconds\":" << seconds
            << ",\"ends\":" << (song.length.ends ? "true" : "false");
        const char* ends[] = {"loops", "stops", "cut"};
        out << ",\"end\":\"" << ends[song.length.end] << '"';
        if (song.length.end != AHX_SONG_CUT) {
            out << ",\"endPosition\":" << song.course.position << ",\"endRow\":" << song.course.row;
        }
        out << ",\"channelsUsed\":[";
        const char* separator = "";
        for (uint32_t c = 0; c < s.channels; ++c) {
            if ((song.course.channels_used >> c & 1) == 0) continue;
            out << separator << c + 1;
            separator = ",";
        }
        out << ']';
        if (song.loudness) {
            out << ",\"loudnessLufs\":" << JsonLevel(song.loudness->integratedLufs)
                << ",\"loudnessRangeLu\":" << JsonLevel(song.loudness->rangeLu)
                << ",\"truePeakDbtp\":" << JsonLevel(song.loudness->truePeakDbtp);
        }
        out << '}';
    }
    out << "],\"instruments\":[";
    for (size_t i = 0; i < s.instrumentNames.size(); ++i) {
        out << (i ? "," : "") << "{\"number\":" << i + 1 << ",\"name\":" << JsonString(s.instrumentNames[i]) << '}';
    }
    out << "]}\n";
}

}  // namespace

int RunInfo(const std::vector<std::string_view>& arguments) {
    FileListOptions options;
    if (const std::optional<int> done = ParseFileListOptions("info", kInfoHelp, arguments, &options)) return *done;
    const std::vector<std::string>& files = options.files;
    const bool json = options.json;

    bool allGood = true;
    RunOrdered(
        files.size(), options.jobs.value_or(UsableCores()),
        [&](size_t i, ItemOutput& output) {
            try {
                const ModuleSummary summary = Summarise(ReadModuleFile(files[i]), options.loudness);
                std::ostringstream out;
                if (json) {
                    PrintJson(summary, out);
                } else {
                    if (i > 0) out << '\n';
                    PrintText(summary, out);
                }
                output.Out(out.str());
            } catch (const FileError& error) {
                output.Err("ahx: " + Printable(error.what()) + "\n");
                if (json) output.Out(UnreadableJsonStart(files[i], ReasonWithoutFile(error.what(), files[i])) + "}\n");
                output.status = 1;
            }
        },
        [&](size_t, ItemOutput& output) {
            output.Print();
            allGood = allGood && output.status == 0;
            return true;
        });
    return allGood ? kExitSuccess : kExitFileError;
}
