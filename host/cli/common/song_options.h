#pragma once
// The options render and play share: which songs, how long, from where, and which channels.
#include <cstdint>
#include <optional>
#include <string_view>

#include "common/arguments.h"
#include "common/stereo_width.h"

// The longest --seconds, --start (and render's --fade): a day; a typing slip should not fill a disk.
inline constexpr double kLongestSeconds = 86400;

struct SongOptions {
    std::optional<uint32_t> song = 0;  // nothing: every song of each file (--song all)
    uint32_t loops = 1;
    std::optional<double> seconds;     // how long each song plays, from --start on
    double startSeconds = 0;           // lengths still count from the song's start
    std::optional<int32_t> stereoMode;  // AHX modules only; nothing: AHX_LISTENING_STEREO_MODE
    int separationPercent = kUnchangedSeparation;
    uint32_t mutedChannels = 0;        // bit c - 1 for channel c, as ParseChannelList gives them
    std::optional<uint32_t> soloChannels;
};

// Reads option (with its value from cursor) into options when it is one of the shared ones;
// false when it is not. Throws UsageError for a bad value.
bool ParseSongOption(ArgumentCursor& cursor, std::string_view option, SongOptions& options);
// What the shared options require of each other, once all are read; throws UsageError.
void CheckSongOptions(const SongOptions& options);

// The stereo mode to open AHX modules with (HVL modules carry their own).
int32_t StereoModeOf(const SongOptions& options);

// The channels heard at the start: the solo list (or all), less the muted ones.
uint32_t AudibleChannels(const SongOptions& options);
// Both lists together, to check against a module's channel count.
uint32_t NamedChannels(const SongOptions& options);
