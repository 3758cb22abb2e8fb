#pragma once
// Loudness after EBU R128 (integrated, range, true peak), and the ReplayGain 2.0 track values
// derived from it.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include <ebur128.h>

#include "ahx/ahx.h"

struct Loudness {
    double integratedLufs = 0;  // -infinity for silence
    double rangeLu = 0;
    double truePeakDbtp = 0;    // -infinity for silence
};

// The level ReplayGain 2.0 brings every track to.
constexpr double kReplayGainReferenceLufs = -18.0;

class LoudnessMeter {
public:
    // integratedOnly: integrated loudness alone, which costs far less than range and true peak.
    explicit LoudnessMeter(uint32_t sampleRate, bool integratedOnly = false);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // interleaved: frameCount stereo frames, left first.
    void Add(const int16_t* interleaved, size_t frameCount);
    Loudness Result() const;

private:
    ebur128_state* state_;
    bool integratedOnly_;
};

// Renders frameCount frames from where player stands into a meter.
Loudness MeasureFrames(ahx_player* player, uint32_t sampleRate, uint64_t frameCount, bool integratedOnly = false);

// "-14.2 LUFS", "-inf LUFS" and so on, one decimal; JSON numbers with null for silence.
std::string FormatLevel(double value, const char* unit);
std::string JsonLevel(double value);
// ReplayGain 2.0 tag values: "-3.21 dB" and the true peak as a linear "0.912345".
std::string ReplayGainText(const Loudness& loudness);
std::string ReplayPeakText(const Loudness& loudness);
