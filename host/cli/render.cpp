#include "render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "commands.h"

namespace {

constexpr uint32_t kChannels = 2;
constexpr double kFullScale = 32768.0;
// Frames rendered between checks for Ctrl-C and progress updates: about 20 ms at 44100 Hz.
constexpr uint64_t kPieceFrames = 882;

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
    const PlayerPtr player = OpenSong(module, song, settings.stereoMode, settings.sampleRate);
    RenderResult result;
    if (settings.seconds) {
        result.frames = static_cast<uint64_t>(std::llround(*settings.seconds * settings.sampleRate));
    } else {
        ahx_length length{};
        ahx_measure_song(player.get(), song, settings.loops, &length);
        result.frames = length.frames;
        result.songEnded = length.ends != 0;
    }
    const uint64_t fadeFrames =
        std::min(result.frames, static_cast<uint64_t>(std::llround(settings.fadeSeconds * settings.sampleRate)));

    std::vector<int16_t> piece(kPieceFrames * kChannels);
    uint64_t framesDone = 0;
    while (framesDone < result.frames) {
        if (InterruptRequested()) throw Interrupted();
        const uint64_t frames = std::min(kPieceFrames, result.frames - framesDone);
        ahx_render_s16(player.get(), piece.data(), frames);
        for (uint64_t i = 0; i < frames * kChannels; ++i) {
            int16_t& sample = piece[i];
            if (fadeFrames > 0) sample = Faded(sample, framesDone + i / kChannels, result.frames, fadeFrames);
            result.peak = std::max(result.peak, std::abs(int32_t{sample}));
        }
        output.Write(piece.data(), frames);
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
