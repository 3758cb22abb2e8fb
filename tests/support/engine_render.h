#pragma once
// What the engine renders itself, a fiftieth at a time as the plug-in does: the reference every
// other way of rendering (library, plug-in, tool) is compared with.
#include <cstdint>
#include <memory>
#include <vector>

#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

using TunePtr = std::unique_ptr<Tune, decltype(&FreeTune)>;

inline TunePtr LoadBytes(const std::vector<uint8_t>& bytes, int32_t stereoMode = 0, uint32_t sampleRate = 44100) {
    [[maybe_unused]] static const bool built = (BuildWaveTables(), true);
    return TunePtr(LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), stereoMode, sampleRate), &FreeTune);
}

// frameCount interleaved stereo frames from where the tune's replay is, whole fiftieths at a time.
inline std::vector<int16_t> RenderTune(Tune* tune, size_t frameCount) {
    std::vector<int16_t> frames(2 * frameCount + 2 * size_t{FramesPerDecode(tune)});
    for (size_t done = 0; done < frameCount; done += FramesPerDecode(tune)) {
        DecodeFrame(tune, &frames[2 * done], &frames[2 * done + 1], 2 * sizeof(int16_t));
    }
    frames.resize(2 * frameCount);
    return frames;
}

// frameCount interleaved stereo frames of `song`, empty when the module does not load or has no such song.
inline std::vector<int16_t> EngineRender(const std::vector<uint8_t>& bytes, size_t frameCount,
                                         uint32_t sampleRate = 44100, int32_t stereoMode = 0, uint32_t song = 0) {
    const TunePtr tune = LoadBytes(bytes, stereoMode, sampleRate);
    if (tune == nullptr || StartSubsong(tune.get(), song) == 0) return {};
    return RenderTune(tune.get(), frameCount);
}

// frameCount frames of interleaved stereo `frames` from firstFrame on.
inline std::vector<int16_t> Slice(const std::vector<int16_t>& frames, size_t firstFrame, size_t frameCount) {
    return std::vector<int16_t>(frames.begin() + static_cast<ptrdiff_t>(2 * firstFrame),
                                frames.begin() + static_cast<ptrdiff_t>(2 * (firstFrame + frameCount)));
}
