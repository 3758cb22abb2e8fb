#include "common/song_options.h"

#include <string>

#include "ahx/ahx.h"

namespace {

constexpr uint32_t kMostLoops = 1000;
constexpr int64_t kHighestSong = 255;     // subsongs are counted in a byte

}  // namespace

bool ParseSongOption(ArgumentCursor& cursor, std::string_view a, SongOptions& options) {
    if (a == "--song") {
        const std::string_view value = cursor.Value(a);
        // Users count songs from 1 (song_number.h); the library from 0.
        options.song = value == "all" ? std::nullopt
                                      : std::optional<uint32_t>(static_cast<uint32_t>(ParseInteger(a, value, 1, kHighestSong + 1) - 1));
    } else if (a == "--loops") {
        options.loops = static_cast<uint32_t>(ParseInteger(a, cursor.Value(a), 1, kMostLoops));
    } else if (a == "--seconds") {
        options.seconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        if (*options.seconds == 0) throw UsageError("--seconds 0 would give nothing; give a length above 0");
    } else if (a == "--start") {
        options.startSeconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
    } else if (a == "--stereo") {
        options.stereoMode = static_cast<int32_t>(ParseInteger(a, cursor.Value(a), 0, AHX_HIGHEST_STEREO_MODE));
    } else if (a == "--separation") {
        options.separationPercent = static_cast<int>(ParseInteger(a, cursor.Value(a), 0, kWidestSeparation));
    } else if (a == "--mute") {
        options.mutedChannels |= ParseChannelList(a, cursor.Value(a));
    } else if (a == "--solo") {
        options.soloChannels = options.soloChannels.value_or(0) | ParseChannelList(a, cursor.Value(a));
    } else {
        return false;
    }
    return true;
}

void CheckSongOptions(const SongOptions& options) {
    if (options.seconds && options.loops != 1) {
        throw UsageError("--seconds and --loops both set the length; give one of them");
    }
}

int32_t StereoModeOf(const SongOptions& options) { return options.stereoMode.value_or(AHX_LISTENING_STEREO_MODE); }

uint32_t AudibleChannels(const SongOptions& options) {
    return options.soloChannels.value_or(~uint32_t{0}) & ~options.mutedChannels;
}

uint32_t NamedChannels(const SongOptions& options) { return options.mutedChannels | options.soloChannels.value_or(0); }
