#include "render/output_plan.h"

#include <unistd.h>

#include "common/arguments.h"
#include "common/song_number.h"
#include "common/text_output.h"

namespace {

// Opus encodes at 48000 Hz and a few lower rates, not at 44100; unless --rate says otherwise.
constexpr uint32_t kOpusRate = 48000;

bool NamesFolder(const std::string& output) {
    std::error_code error;
    return output.ends_with('/') || std::filesystem::is_directory(output, error);
}

}  // namespace

OutputPlan PlanOutputs(const RenderOptions& options) {
    OutputPlan plan;
    plan.format = options.format.value_or(AudioFormat::Wav);
    const bool severalOutputs = options.files.size() > 1 || !options.songs.song;
    if (!options.output) return plan;
    if (*options.output == kStandardOutput && options.stems) {
        throw UsageError("-o - writes one stream; --stems writes a file per channel");
    }

    const std::string& output = *options.output;
    if (output == kStandardOutput) {
        if (severalOutputs) throw UsageError("-o - writes one song; it cannot take several files or --song all");
        if (::isatty(STDOUT_FILENO) == 1) {
            throw UsageError("-o - would write binary samples to the terminal; pipe it into a player");
        }
        plan.toStandardOutput = true;
        plan.format = options.format.value_or(AudioFormat::Raw);
        return plan;
    }
    if (NamesFolder(output)) {
        plan.folder = output;
        return plan;
    }
    const std::optional<AudioFormat> fromName = AudioFormatFromExtension(output);
    // One module's every song takes a file name as the base of their names, as stems do.
    if (severalOutputs && !(fromName && options.files.size() <= 1)) {
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
    if (format == AudioFormat::Opus && !options.rateGiven) options.sampleRate = kOpusRate;
    const std::string why = WhyNotWritable(format, options.sampleRate);
    if (!why.empty()) throw UsageError(why);
}

// channel: for a stem, the channel as users number it (from 1); 0 for the mix.
std::string OutputPathFor(const OutputPlan& plan, const ModuleFile& module, std::optional<uint32_t> songOfAll,
                          uint32_t channel) {
    if (plan.toStandardOutput) return std::string(kStandardOutput);
    std::string parts = songOfAll ? "-song" + std::to_string(SongNumber(*songOfAll)) : "";
    if (channel != 0) parts += "-ch" + std::to_string(channel);
    if (plan.file) {
        // A named output is the base of its songs' and stems' names, before the extension.
        std::filesystem::path path = *plan.file;
        path.replace_filename(plan.file->stem().string() + parts + plan.file->extension().string());
        return path.string();
    }
    const std::string name = module.stem + parts + std::string(ExtensionOf(plan.format));
    return plan.folder == "." ? name : (plan.folder / name).string();
}

// "HVL version 1, song 2 of 3" as the library writes it, and the channel for a stem.
AudioTags TagsFor(const ModuleFile& module, const ahx_player* player, uint32_t song, uint32_t channel) {
    const ahx_info& info = *ahx_get_info(player);
    char described[AHX_TEXT_BYTES];
    if (ahx_describe_song(player, song, described, sizeof described) != AHX_OK) {
        throw FileError(module.displayName + ": has no song " + std::to_string(SongNumber(song)));
    }
    std::string comment = described;
    if (channel != 0) comment += ", channel " + std::to_string(channel) + " of " + std::to_string(info.channels);
    // Tags end up on terminals and in players' lists: no control characters from the module.
    return AudioTags{Printable(TitleText(info.title)), std::string("ahx ") + ahx_version_string(), comment};
}

