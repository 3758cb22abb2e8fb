#pragma once
// `ahx play` options: what to play and how, as the command line gives them.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/song_options.h"

struct PlayOptions {
    std::vector<std::string> files;     // empty: the bundled demo song
    SongOptions songs;
    std::optional<std::string> driver;  // an SDL audio driver name
    bool quiet = false;
    bool normalise = false;             // every song at the same loudness
    bool help = false;
};

// Throws UsageError.
PlayOptions ParsePlayOptions(const std::vector<std::string_view>& arguments);
