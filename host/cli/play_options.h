#pragma once
// `ahx play` options: what to play and how, as the command line gives them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct PlayOptions {
    std::vector<std::string> files;     // empty: the bundled demo song
    std::optional<uint32_t> song = 0;   // nothing: every song of each file (--song all)
    uint32_t loops = 1;
    std::optional<double> seconds;      // how long each song plays, from --start on
    double startSeconds = 0;
    int32_t stereoMode = 0;
    uint32_t muteChannels = 0;          // bit c - 1 for channel c, as ParseChannelList gives them
    std::optional<uint32_t> soloChannels;
    std::optional<std::string> driver;  // an SDL audio driver name
    bool quiet = false;
    bool help = false;
};

// Throws UsageError.
PlayOptions ParsePlayOptions(const std::vector<std::string_view>& arguments);

// The channels heard at the start: the solo list (or all), less the muted ones.
uint32_t AudibleChannels(const PlayOptions& options);
// Both lists together, to check against a module's channel count.
uint32_t NamedChannels(const PlayOptions& options);
