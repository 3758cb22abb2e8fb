#pragma once
// Rendering one song of a module into AudioOutputs: the mix, or one output per channel.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "audio_output.h"
#include "module_file.h"

// Every channel heard; bit c stands for channel c + 1 as users number them.
constexpr uint32_t kAllChannels = 0xFFFF;
// --separation 100 keeps the module's own panning.
constexpr int kUnchangedSeparation = 100;

struct RenderSettings {
    std::optional<double> seconds;  // explicit length; otherwise the measured song length
    uint32_t loops = 1;
    double fadeSeconds = 0;
    double startSeconds = 0;        // where the output begins; lengths still count from the song's start
    uint32_t sampleRate = 44100;
    int32_t stereoMode = 0;
    uint32_t voiceMask = kAllChannels;
    int separationPercent = kUnchangedSeparation;
    bool stems = false;             // one output per channel instead of the mix
};

struct RenderResult {
    uint64_t frames = 0;
    std::vector<int32_t> peaks;  // per output, largest absolute sample, 0..32768
    bool songEnded = true;       // false: the length cap cut the song short
};

// Called now and then with the frames rendered so far.
using ProgressCallback = std::function<void(uint64_t framesDone, uint64_t framesTotal)>;

class Interrupted : public std::exception {};

// Renders into outputs: one for the mix, or one per channel with settings.stems. Throws FileError
// for a bad module or subsong, a start past the end and write failures; Interrupted on a signal.
RenderResult RenderSong(const ModuleFile& module, uint32_t song, const RenderSettings& settings,
                        std::span<AudioOutput* const> outputs, const ProgressCallback& progress);

// The stereo width change of --separation on interleaved frames, in place; see kRenderHelp.
void SetSeparation(int16_t* frames, size_t frameCount, int percent);

// "1:02.35"
std::string FormatDuration(uint64_t frames, uint32_t sampleRate);
// "-3.2 dBFS", or "silent"
std::string FormatPeak(int32_t peak);
