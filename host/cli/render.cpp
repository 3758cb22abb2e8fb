#include "render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "commands.h"
#include "mixer/mixer.h"
#include "song_length.h"

namespace {

constexpr uint32_t kChannels = 2;
constexpr double kFullScale = 32768.0;

// A linear fade to silence over the last fadeFrames frames; frame is the absolute index.
int16_t Faded(int16_t sample, uint64_t frame, uint64_t totalFrames, uint64_t fadeFrames) {
    const uint64_t fadeStart = totalFrames - fadeFrames;
    if (frame < fadeStart) return sample;
    const double gain = static_cast<double>(totalFrames - frame) / static_cast<double>(fadeFrames);
    return static_cast<int16_t>(std::lround(sample * gain));
}

}  // namespace

RenderResult RenderSong(const ModuleFile& module, uint32_t song, const RenderSettings& settings,
                        AudioOutput& output, const ProgressCallback& progress) {
    TunePtr tune = LoadSong(module, song, settings.stereoMode, settings.sampleRate);
    RenderResult result;
    if (settings.seconds) {
        result.frames = static_cast<uint64_t>(std::llround(*settings.seconds * settings.sampleRate));
    } else {
        const SongLength length = MeasureSong(module, song, settings.stereoMode, settings.sampleRate, settings.loops);
        result.frames = length.frames;
        result.songEnded = length.ends;
    }
    const uint64_t fadeFrames =
        std::min(result.frames, static_cast<uint64_t>(std::llround(settings.fadeSeconds * settings.sampleRate)));

    std::vector<int16_t> chunk(size_t{FramesPerDecode(tune.get())} * kChannels);
    uint64_t framesDone = 0;
    while (framesDone < result.frames) {
        if (InterruptRequested()) throw Interrupted();
        DecodeFrame(tune.get(), chunk.data(), chunk.data() + 1, kChannels * sizeof(int16_t));
        const uint64_t frames = std::min<uint64_t>(FramesPerDecode(tune.get()), result.frames - framesDone);
        for (uint64_t i = 0; i < frames * kChannels; ++i) {
            int16_t& sample = chunk[i];
            if (fadeFrames > 0) sample = Faded(sample, framesDone + i / kChannels, result.frames, fadeFrames);
            result.peak = std::max(result.peak, std::abs(int32_t{sample}));
        }
        output.Write(chunk.data(), frames);
        framesDone += frames;
        if (progress) progress(framesDone, result.frames);
    }
    return result;
}

std::string FormatDuration(uint64_t frames, uint32_t sampleRate) {
    const uint64_t centiseconds = (frames * 100 + sampleRate / 2) / sampleRate;
    char text[48];
    std::snprintf(text, sizeof text, "%llu:%02llu.%02llu", static_cast<unsigned long long>(centiseconds / 6000),
                  static_cast<unsigned long long>(centiseconds / 100 % 60),
                  static_cast<unsigned long long>(centiseconds % 100));
    return text;
}

std::string FormatPeak(int32_t peak) {
    if (peak == 0) return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(peak / kFullScale));
    return text;
}
