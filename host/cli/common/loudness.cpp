#include "common/loudness.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <vector>

namespace {

constexpr unsigned kChannels = 2;
constexpr size_t kPieceFrames = 8192;

}  // namespace

LoudnessMeter::LoudnessMeter(uint32_t sampleRate, bool integratedOnly)
    : state_(ebur128_init(kChannels, sampleRate,
                          integratedOnly ? EBUR128_MODE_I : EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK)),
      integratedOnly_(integratedOnly) {
    if (state_ == nullptr) throw std::bad_alloc();
}

LoudnessMeter::~LoudnessMeter() { ebur128_destroy(&state_); }

void LoudnessMeter::Add(const int16_t* interleaved, size_t frameCount) {
    ebur128_add_frames_short(state_, interleaved, frameCount);
}

Loudness LoudnessMeter::Result() const {
    Loudness result;
    ebur128_loudness_global(state_, &result.integratedLufs);
    if (integratedOnly_) return result;
    ebur128_loudness_range(state_, &result.rangeLu);
    double peak = 0;
    for (unsigned c = 0; c < kChannels; ++c) {
        double channelPeak = 0;
        ebur128_true_peak(state_, c, &channelPeak);
        peak = std::max(peak, channelPeak);
    }
    result.truePeakDbtp = 20.0 * std::log10(peak);
    return result;
}

Loudness MeasureFrames(ahx_player* player, uint32_t sampleRate, uint64_t frameCount, bool integratedOnly) {
    LoudnessMeter meter(sampleRate, integratedOnly);
    std::vector<int16_t> piece(kPieceFrames * kChannels);
    for (uint64_t done = 0; done < frameCount;) {
        const size_t frames = static_cast<size_t>(std::min<uint64_t>(kPieceFrames, frameCount - done));
        ahx_render_s16(player, piece.data(), frames);
        meter.Add(piece.data(), frames);
        done += frames;
    }
    return meter.Result();
}

std::string FormatLevel(double value, const char* unit) {
    char text[48];
    if (std::isinf(value)) {
        std::snprintf(text, sizeof text, "-inf %s", unit);
    } else {
        std::snprintf(text, sizeof text, "%.1f %s", value, unit);
    }
    return text;
}

std::string JsonLevel(double value) {
    if (!std::isfinite(value)) return "null";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

std::string ReplayGainText(const Loudness& loudness) {
    // Silence gets no gain: there is nothing to bring up.
    const double gain = std::isfinite(loudness.integratedLufs) ? kReplayGainReferenceLufs - loudness.integratedLufs : 0;
    char text[32];
    std::snprintf(text, sizeof text, "%.2f dB", gain);
    return text;
}

std::string ReplayPeakText(const Loudness& loudness) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6f", std::pow(10.0, loudness.truePeakDbtp / 20.0));
    return text;
}
