#include "render/song_render.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <memory>

#include "common/interrupt.h"

namespace {

constexpr uint32_t kChannels = 2;
constexpr double kFullScale = 32768.0;
// Frames rendered between checks for Ctrl-C and progress updates: about 90 ms at 44100 Hz, large
// enough that the calls around each piece cost nothing next to the mixing.
constexpr uint64_t kPieceFrames = 4096;

// A linear fade to silence over the last fadeFrames of totalFrames; firstFrame is the piece's
// absolute index. Only the frames inside the fade are touched.
void Fade(int16_t* frames, uint64_t frameCount, uint64_t firstFrame, uint64_t totalFrames, uint64_t fadeFrames) {
    const uint64_t fadeStart = totalFrames - fadeFrames;
    const uint64_t end = firstFrame + frameCount;
    for (uint64_t frame = std::max(firstFrame, fadeStart); frame < end; ++frame) {
        const double gain = static_cast<double>(totalFrames - frame) / static_cast<double>(fadeFrames);
        int16_t* pair = frames + (frame - firstFrame) * kChannels;
        pair[0] = static_cast<int16_t>(std::lround(pair[0] * gain));
        pair[1] = static_cast<int16_t>(std::lround(pair[1] * gain));
    }
}

// Largest absolute sample, 0..32768; min and max keep the loop free of branches.
int32_t PeakOf(const int16_t* samples, size_t sampleCount) {
    int16_t lowest = 0, highest = 0;
    for (size_t i = 0; i < sampleCount; ++i) {
        lowest = std::min(lowest, samples[i]);
        highest = std::max(highest, samples[i]);
    }
    return std::max<int32_t>(highest, -int32_t{lowest});
}

}  // namespace

std::vector<OutputLevels> RenderFrames(ahx_player* player, const FrameShaping& shaping,
                                       std::span<AudioFileWriter* const> writers, const ProgressCallback& progress) {
    std::vector<OutputLevels> levels(writers.size());
    std::vector<std::unique_ptr<LoudnessMeter>> meters;
    if (shaping.measureLoudness) {
        for (size_t o = 0; o < writers.size(); ++o) meters.push_back(std::make_unique<LoudnessMeter>(ahx_get_info(player)->sample_rate));
    }
    // Left uninitialised: the library writes every frame before anything reads it.
    std::vector<std::unique_ptr<int16_t[]>> pieces;
    std::vector<int16_t*> stems;
    for (size_t o = 0; o < writers.size(); ++o) {
        pieces.emplace_back(new int16_t[kPieceFrames * kChannels]);
        stems.push_back(pieces.back().get());
    }
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
            SetSeparation(stems[o], frames, shaping.separationPercent);
            if (framesDone + frames > shaping.frames - shaping.fadeFrames) {
                Fade(stems[o], frames, framesDone, shaping.frames, shaping.fadeFrames);
            }
            levels[o].peak = std::max(levels[o].peak, PeakOf(stems[o], frames * kChannels));
            if (!meters.empty()) meters[o]->Add(stems[o], frames);
            writers[o]->Write(stems[o], frames);
        }
        framesDone += frames;
        if (progress) progress(framesDone);
    }
    for (size_t o = 0; o < meters.size(); ++o) levels[o].loudness = meters[o]->Result();
    return levels;
}

std::string FormatPeak(int32_t peak) {
    if (peak == 0) return "silent";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f dBFS", 20.0 * std::log10(peak / kFullScale));
    return text;
}
