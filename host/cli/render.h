#pragma once
// Rendering one song of a module into an AudioOutput.
#include <cstdint>
#include <functional>
#include <optional>

#include "audio_output.h"
#include "module_file.h"

struct RenderSettings {
    std::optional<double> seconds;  // explicit length; otherwise the measured song length
    uint32_t loops = 1;
    double fadeSeconds = 0;
    uint32_t sampleRate = 44100;
    int32_t stereoMode = 0;
};

struct RenderResult {
    uint64_t frames = 0;
    int32_t peak = 0;           // largest absolute sample, 0..32768
    bool songEnded = true;      // false: the length cap cut the song short
};

// Called now and then with the frames rendered so far.
using ProgressCallback = std::function<void(uint64_t framesDone, uint64_t framesTotal)>;

// Throws FileError for a bad module or subsong and for write failures; Interrupted on a signal.
RenderResult RenderSong(const ModuleFile& module, uint32_t song, const RenderSettings& settings,
                        AudioOutput& output, const ProgressCallback& progress);

class Interrupted : public std::exception {};

// "1:02.35"
std::string FormatDuration(uint64_t frames, uint32_t sampleRate);
// "-3.2 dBFS", or "silent"
std::string FormatPeak(int32_t peak);
