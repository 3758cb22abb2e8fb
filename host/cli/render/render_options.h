#pragma once
// `ahx render` options as the command line gives them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ahx/ahx.h"
#include "common/song_options.h"
#include "render/audio_formats.h"
#include "render/song_render.h"

struct RenderOptions {
    std::vector<std::string> files;  // empty: the bundled demo song
    std::optional<std::string> output;
    SongOptions songs;
    double fadeSeconds = 0;
    uint32_t sampleRate = AHX_DEFAULT_SAMPLE_RATE;
    bool stems = false;              // one output per channel instead of the mix
    std::optional<AudioFormat> format;
    std::optional<int> quality;
    std::optional<unsigned> jobs;    // files rendered at once; the usable cores by default
    bool replayGain = false;         // track gain and peak in the tags
    bool rateGiven = false;
    bool force = false;
    bool help = false;
};

// Throws UsageError.
RenderOptions ParseRenderOptions(const std::vector<std::string_view>& arguments);
