#pragma once
// `ahx play` options: what to play and how, as the command line gives them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/song_options.h"

// Long enough that a machine whose cores are all busy keeps the device fed, short enough that a
// key is heard at once; see scripts/measure-dropouts.py and scripts/measure-key-latency.py.
inline constexpr uint32_t kDefaultBufferMilliseconds = 100;
inline constexpr uint32_t kShortestBufferMilliseconds = 5;

struct PlayOptions {
    std::vector<std::string> files;     // empty: the bundled demo song
    SongOptions songs;
    std::optional<std::string> driver;  // an SDL audio driver name
    uint32_t bufferMilliseconds = kDefaultBufferMilliseconds;
    bool quiet = false;
    bool normalise = false;             // every song at the same loudness
    bool help = false;
};

// Throws UsageError.
PlayOptions ParsePlayOptions(const std::vector<std::string_view>& arguments);
