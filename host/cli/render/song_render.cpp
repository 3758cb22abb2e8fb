#include "render/song_render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "common/interrupt.h"

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

// Fade, stereo width and peak of one piece of one output.
void FinishPiece(int16_t* frames, uint64_t frameCount, uint64_t firstFrame, uint64_t totalFrames,
                 uint64_t fadeFrames, int separationPercent, int32_t* peak) {
    SetSeparation(frames, frameCount, separationPercent);
    for (uint64_t i = 0; i < frameCount * kChannels; ++i) {
        int16_t& sample = frames[i];
        if (fadeFrames > 0) sample = Faded(sample, firstFrame + i / kChannels, totalFrames, fadeFrames);
        *peak = std::max(*peak, std::abs(int32_t{sample}));
    }
}

}  // namespace

std::vector<int32_t> RenderFrames(ahx_player* player, const FrameShaping& shaping,
                                  std::span<AudioFileWriter* const> writers, const ProgressCallback& progress) {
    std::vector<int32_t> peaks(writers.size(), 0);
    std::vector<std::vector<int16_t>> pieces(writers.size(), std::vector<int16_t>(kPieceFrames * kChannels));
    std::vector<int16_t*> stems;
    for (std::vector<int16_t>& piece : pieces) stems.push_back(piece.data());
    uint64_t framesDone = 0;
    while (framesDone < shaping.frames) {
        if (InterruptRequested()) throw Interrupted();
        const uint64_t frames = std::min(kPieceFrames, shaping.frames - framesDone);
        if (shaping.stems) {
            ahx_render_stems_s16(player, stems.data(), frames);
        } else {
            ahx_render_s16(player, stems[0], frames);
        }
        for (size_t o = 0; o < writers.size(); ++o) {
            FinishPiece(stems[o], frames, framesDone, shaping.frames, shaping.fadeFrames, shaping.separationPercent,
                        &peaks[o]);
            writers[o]->Write(stems[o], frames);
        }
        framesDone += frames;
        if (progress) progress(framesDone);
    }
    return peaks;
}

std::string FormatPeak(int32_t peak) {
    if (peak == 0) return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(peak / kFullScale));
    return text;
}
