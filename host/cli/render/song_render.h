#pragma once
// Rendering one song from an opened player into audio files: the mix, or one file per channel.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ahx/ahx.h"
#include "common/loudness.h"
#include "common/stereo_width.h"
#include "render/audio_file_writer.h"

// What is done to the frames on their way to the files.
struct FrameShaping {
    uint64_t frames = 0;      // rendered in all
    uint64_t fadeFrames = 0;  // the last of them fade to silence
    int separationPercent = kUnchangedSeparation;
    bool stems = false;       // one file per channel instead of the mix
    bool measureLoudness = false;
};

// What one output turned out to be.
struct OutputLevels {
    int32_t peak = 0;                 // largest absolute sample, 0..32768
    std::optional<Loudness> loudness;  // with shaping.measureLoudness
};

// Called now and then with the frames rendered so far.
using ProgressCallback = std::function<void(uint64_t framesDone)>;

class Interrupted : public std::exception {};

// Renders from where player stands into writers: one for the mix, or one per channel with
// shaping.stems. Returns each writer's levels, measured on the samples as written. Throws
// FileError for write failures, Interrupted on a signal.
std::vector<OutputLevels> RenderFrames(ahx_player* player, const FrameShaping& shaping,
                                       std::span<AudioFileWriter* const> writers, const ProgressCallback& progress);

// "-3.2 dBFS", or "silent"
std::string FormatPeak(int32_t peak);
