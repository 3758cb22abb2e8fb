#include <algorithm>

#include "waves/compute/compute_wave_tables.h"

namespace {

// The settings side by side, one array per quantity, padded to a multiple of the vector widths.
constexpr uint32_t kLanes = 32;
static_assert(kLanes >= kFilterSettingCount);

// As std::min and std::max (no NaN reaches them): the same results as comparing by hand, and the
// form the compilers here vectorise best.
double Clamp(double value) { return std::max(-128.0, std::min(value, 127.0)); }

struct FilterStates {
    double band[kLanes];
    double low[kLanes];
    double high[kLanes];
};

// One step of the two-integrator state-variable filter at every setting; every operation rounds
// to double on its own. The settings are independent chains of dependent operations, stepped side
// by side so the compiler can run several in vector registers; each still rounds exactly as alone.
void FilterStep(FilterStates& states, double input, const double* coefficients) {
    for (uint32_t s = 0; s < kLanes; ++s) {
        const double high = Clamp((input - states.band[s]) - states.low[s]);
        const double band = Clamp(states.band[s] + coefficients[s] * high);
        states.low[s] = Clamp(states.low[s] + coefficients[s] * band);
        states.band[s] = band;
        states.high[s] = high;
    }
}

// Filters one waveform at every setting.
void FilterWaveformAtEverySetting(const int8_t* source, uint32_t sampleCount, const double* coefficients,
                                  int8_t* lowPass, int8_t* highPass) {
    FilterStates states = {};
    // A warm-up period first, so the stored output is the filter's steady state on a looping wave.
    for (uint32_t i = 0; i < sampleCount; ++i) FilterStep(states, source[i], coefficients);
    for (uint32_t i = 0; i < sampleCount; ++i) {
        FilterStep(states, source[i], coefficients);
        for (uint32_t s = 0; s < kFilterSettingCount; ++s) {
            lowPass[s * kWaveSetSamples + i] = static_cast<int8_t>(static_cast<int32_t>(states.low[s]));
            highPass[s * kWaveSetSamples + i] = static_cast<int8_t>(static_cast<int32_t>(states.high[s]));
        }
    }
}

}  // namespace

void FilterWaveSets(const int8_t* source, int8_t* lowPass, int8_t* highPass) {
    double coefficients[kLanes] = {};  // the padding lanes filter nothing
    double base = 8.0;
    for (uint32_t s = 0; s < kFilterSettingCount; ++s) {
        coefficients[s] = (base * 1.25) / 100.0;
        base += 3.0;
    }
    uint32_t offset = 0;
    for (uint32_t waveform = 0; waveform < kWaveformsPerSet; ++waveform) {
        const uint32_t sampleCount = WaveLastIndex[waveform] + 1u;
        FilterWaveformAtEverySetting(source + offset, sampleCount, coefficients, lowPass + offset, highPass + offset);
        offset += sampleCount;
    }
}
