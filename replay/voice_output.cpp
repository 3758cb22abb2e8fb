// Turns a voice's period, volume and waveform source into what the mixer reads.
#include <cstdint>
#include <cstring>

#include "replay/replay.h"
#include "replay/voice.h"
#include "waves/wave_bank.h"

namespace {

// 3546897 clock cycles per second times 65536: period clock / period / rate is a 16.16 step.
constexpr float kPeriodClock = 232449441792.0f;
// Magnitudes at or beyond 2^63 have no 64-bit integer; converting them would be undefined.
constexpr double kInt64Limit = 9223372036854775808.0;

// Stores the buffer in tiles of a fixed size, which compile to a few wide moves each. Copying the
// buffer's own start forward instead would read bytes just written, which stalls the stores.
constexpr uint32_t kTileSamples = 32;
constexpr uint32_t kShortestWaveSamples = 4;
static_assert(kVoiceBufferSamples % kTileSamples == 0);

// Copies a waveform of 4 << waveLength samples over the whole 640-sample buffer. Waveforms shorter
// than a tile are first repeated into one; longer ones are a whole number of tiles themselves.
void FillByRepetition(int8_t* buffer, const int8_t* source, uint16_t waveLength) {
    // Longer waveforms would not divide the buffer; the readers keep them away, this keeps reads in bounds.
    const uint32_t lengthIndex = waveLength > kHighestWaveLength ? kHighestWaveLength : waveLength;
    const uint32_t waveMask = (4u << lengthIndex) - 1;
    int8_t tile[kTileSamples];
    const bool shortWave = waveMask < kTileSamples;
    if (shortWave) {
        // Every waveform is a whole number of 4-sample pieces.
        for (uint32_t i = 0; i < kTileSamples; i += kShortestWaveSamples) {
            std::memcpy(tile + i, source + (i & waveMask), kShortestWaveSamples);
        }
    }
    for (uint32_t at = 0; at < kVoiceBufferSamples; at += kTileSamples) {
        std::memcpy(buffer + at, shortWave ? tile : source + (at & waveMask), kTileSamples);
    }
}

}  // namespace

uint32_t ConvertPeriodToStep(int16_t period, double mixFrequency) {
    // A period that was never computed (0) would divide into infinity.
    if (period == 0) return 1;
    const float cyclesPerSample = kPeriodClock / static_cast<float>(period);
    const double stepExact = static_cast<double>(cyclesPerSample) / mixFrequency;
    // A rate of 0 or a non-number gives a quotient no integer can hold; 1 keeps the mixer safe.
    if (!(stepExact > -kInt64Limit && stepExact < kInt64Limit)) return 1;
    uint32_t step = static_cast<uint32_t>(static_cast<int64_t>(stepExact));
    if (step > kBufferSpanFixed) step -= kBufferSpanFixed;
    if (step == 0) step = 1;
    return step;
}

void SetVoiceSteps(Voice* voice, double mixFrequency) {
    voice->mixVolume = static_cast<uint8_t>(voice->audioVolume);
    if (voice->periodChanged) {
        voice->periodChanged = 0;
        voice->sampleStep = ConvertPeriodToStep(voice->audioPeriod, mixFrequency);
    }
    if (voice->waveformChanged && voice->waveSource != nullptr) voice->mixSource = voice->voiceBuffer;
    if (voice->ringPeriodChanged) {
        voice->ringPeriodChanged = 0;
        voice->ringStep = ConvertPeriodToStep(voice->ringPeriod, mixFrequency);
    }
    if (voice->ringOn && voice->ringWave != nullptr) voice->ringMixSource = voice->ringBuffer;
}

void FillVoiceBuffers(Voice* voice) {
    // Both flags stay set once raised: the source is copied again every tick, so filter sweeps,
    // new square widths and new noise windows are heard from the very next mix.
    if (voice->waveformChanged && voice->waveSource != nullptr) {
        if (voice->waveform == kWaveNoise) {
            std::memcpy(voice->voiceBuffer, voice->waveSource, kVoiceBufferSamples);
        } else {
            FillByRepetition(voice->voiceBuffer, voice->waveSource, voice->waveLength);
        }
    }
    if (voice->ringOn && voice->ringWave != nullptr) {
        FillByRepetition(voice->ringBuffer, voice->ringWave, voice->waveLength);
    }
}

void SetupVoiceOutput(Voice* voice, double mixFrequency) {
    SetVoiceSteps(voice, mixFrequency);
    FillVoiceBuffers(voice);
}
