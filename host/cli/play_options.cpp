#include "play_options.h"

#include "arguments.h"
#include "option_limits.h"

PlayOptions ParsePlayOptions(const std::vector<std::string_view>& arguments) {
    PlayOptions options;
    ArgumentCursor cursor(arguments);
    while (const auto argument = cursor.Next()) {
        const std::string_view a = *argument;
        if (cursor.OptionsEnded() || !a.starts_with("-")) {
            options.files.emplace_back(a);
        } else if (a == "-h" || a == "--help") {
            options.help = true;
        } else if (a == "--song") {
            const std::string_view value = cursor.Value(a);
            options.song = value == "all" ? std::nullopt
                                          : std::optional<uint32_t>(static_cast<uint32_t>(ParseInteger(a, value, 0, kHighestSong)));
        } else if (a == "--loops") {
            options.loops = static_cast<uint32_t>(ParseInteger(a, cursor.Value(a), 1, kMostLoops));
        } else if (a == "--seconds") {
            options.seconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        } else if (a == "--start") {
            options.startSeconds = ParseDecimal(a, cursor.Value(a), 0, kLongestSeconds);
        } else if (a == "--stereo") {
            options.stereoMode = static_cast<int32_t>(ParseInteger(a, cursor.Value(a), 0, kHighestStereoMode));
        } else if (a == "--mute") {
            options.muteChannels |= ParseChannelList(a, cursor.Value(a));
        } else if (a == "--solo") {
            options.soloChannels = options.soloChannels.value_or(0) | ParseChannelList(a, cursor.Value(a));
        } else if (a == "--driver") {
            options.driver = std::string(cursor.Value(a));
        } else if (a == "-q" || a == "--quiet") {
            options.quiet = true;
        } else {
            throw UsageError("unknown option " + std::string(a));
        }
    }
    if (options.seconds && options.loops != 1) {
        throw UsageError("--seconds and --loops both set the length; give one of them");
    }
    return options;
}

uint32_t AudibleChannels(const PlayOptions& options) {
    return options.soloChannels.value_or(~uint32_t{0}) & ~options.muteChannels;
}

uint32_t NamedChannels(const PlayOptions& options) { return options.muteChannels | options.soloChannels.value_or(0); }
