#include "waves/wave_bank.h"

namespace {

double Clamp(double value) {
    if (value > 127.0) return 127.0;
    if (value < -128.0) return -128.0;
    return value;
}

struct FilterState {
    double band;
    double low;
    double high;
};

// One step of the two-integrator state-variable filter; every operation rounds to double on its own.
void FilterStep(FilterState& state, double input, double coefficient) {
    state.high = Clamp((input - state.band) - state.low);
    state.band = Clamp(state.band + coefficient * state.high);
    state.low = Clamp(state.low + coefficient * state.band);
}

void FilterWaveform(const int8_t* source, uint32_t sampleCount, double coefficient, int8_t* lowPass,
                    int8_t* highPass) {
    FilterState state = {0.0, 0.0, 0.0};
    // A warm-up period first, so the stored output is the filter's steady state on a looping wave.
    for (uint32_t i = 0; i < sampleCount; ++i) FilterStep(state, source[i], coefficient);
    for (uint32_t i = 0; i < sampleCount; ++i) {
        FilterStep(state, source[i], coefficient);
        lowPass[i] = static_cast<int8_t>(static_cast<int32_t>(state.low));
        highPass[i] = static_cast<int8_t>(static_cast<int32_t>(state.high));
    }
}

}  // namespace

void FilterWaveSets(const int8_t* source, int8_t* lowPass, int8_t* highPass) {
    double base = 8.0;
    for (uint32_t setting = 0; setting < kFilterSettingCount; ++setting) {
        const double coefficient = (base * 1.25) / 100.0;
        uint32_t offset = 0;
        for (uint32_t waveform = 0; waveform < kWaveformsPerSet; ++waveform) {
            const uint32_t sampleCount = WaveLastIndex[waveform] + 1u;
            FilterWaveform(source + offset, sampleCount, coefficient,
                           lowPass + setting * kWaveSetSamples + offset,
                           highPass + setting * kWaveSetSamples + offset);
            offset += sampleCount;
        }
        base += 3.0;
    }
}
