#include "waves/compute/compute_wave_tables.h"

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

// Filters one waveform at every setting. The settings are independent chains of dependent
// operations, stepped side by side so the processor overlaps them (and the compiler may pair them
// in vector registers); each chain still rounds every operation exactly as alone.
void FilterWaveformAtEverySetting(const int8_t* source, uint32_t sampleCount, const double* coefficients,
                                  int8_t* lowPass, int8_t* highPass) {
    FilterState states[kFilterSettingCount] = {};
    // A warm-up period first, so the stored output is the filter's steady state on a looping wave.
    for (uint32_t i = 0; i < sampleCount; ++i) {
        for (uint32_t s = 0; s < kFilterSettingCount; ++s) FilterStep(states[s], source[i], coefficients[s]);
    }
    for (uint32_t i = 0; i < sampleCount; ++i) {
        for (uint32_t s = 0; s < kFilterSettingCount; ++s) {
            FilterStep(states[s], source[i], coefficients[s]);
            lowPass[s * kWaveSetSamples + i] = static_cast<int8_t>(static_cast<int32_t>(states[s].low));
            highPass[s * kWaveSetSamples + i] = static_cast<int8_t>(static_cast<int32_t>(states[s].high));
        }
    }
}

}  // namespace

void FilterWaveSets(const int8_t* source, int8_t* lowPass, int8_t* highPass) {
    double coefficients[kFilterSettingCount];
    double base = 8.0;
    for (double& coefficient : coefficients) {
        coefficient = (base * 1.25) / 100.0;
        base += 3.0;
    }
    uint32_t offset = 0;
    for (uint32_t waveform = 0; waveform < kWaveformsPerSet; ++waveform) {
        const uint32_t sampleCount = WaveLastIndex[waveform] + 1u;
        FilterWaveformAtEverySetting(source + offset, sampleCount, coefficients, lowPass + offset, highPass + offset);
        offset += sampleCount;
    }
}
