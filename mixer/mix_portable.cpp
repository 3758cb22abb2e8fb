// The mixing loops in plain C++, for any processor.
#include <cstdint>
#include <cstring>

#include "mixer/mix_voice.h"

namespace {

int16_t ScaleAndSaturate(int32_t sum, int64_t mixGain) {
    const int64_t scaled = (static_cast<int64_t>(sum) * mixGain) >> 8;
    if (scaled > INT16_MAX) return INT16_MAX;
    if (scaled < INT16_MIN) return INT16_MIN;
    return static_cast<int16_t>(scaled);
}

void StoreSample(uint8_t* destination, int16_t sample) {
    // Callers may hand any byte address; memcpy keeps unaligned frames defined.
    std::memcpy(destination, &sample, sizeof sample);
}

// Each voice term is floored on its own (arithmetic shift), as the sum of the floors. The volume
// and the pan gain are multiplied first: (s * volume) * gain is the same product in fewer steps.
void AddPlainVoice(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const int8_t* samples = voice->samples;
    uint32_t position = voice->position;
    const uint32_t step = voice->step;
    const int32_t scaleLeft = voice->volume * voice->gainLeft;
    const int32_t scaleRight = voice->volume * voice->gainRight;
    for (uint32_t i = 0; i < frameCount; ++i) {
        const int32_t sample = samples[position >> 16];
        left[i] += (sample * scaleLeft) >> 7;
        right[i] += (sample * scaleRight) >> 7;
        position += step;
    }
    voice->position = position;
}

// The ring sample acts as a signed multiplier r / 128 on the voice sample, before the volume.
void AddRingVoice(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const int8_t* samples = voice->samples;
    const int8_t* ringSamples = voice->ringSamples;
    uint32_t position = voice->position;
    uint32_t ringPosition = voice->ringPosition;
    const uint32_t step = voice->step;
    const uint32_t ringStep = voice->ringStep;
    const int32_t scaleLeft = voice->volume * voice->gainLeft;
    const int32_t scaleRight = voice->volume * voice->gainRight;
    for (uint32_t i = 0; i < frameCount; ++i) {
        const int32_t product = (ringSamples[ringPosition >> 16] * samples[position >> 16]) >> 7;
        left[i] += (product * scaleLeft) >> 7;
        right[i] += (product * scaleRight) >> 7;
        position += step;
        ringPosition += ringStep;
    }
    voice->position = position;
    voice->ringPosition = ringPosition;
}

}  // namespace

void AddVoicePortable(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    if (voice->ringSamples != nullptr) {
        AddRingVoice(voice, left, right, frameCount);
    } else {
        AddPlainVoice(voice, left, right, frameCount);
    }
}

void StoreFramesPortable(const int32_t* left, const int32_t* right, uint32_t frameCount, int64_t mixGain,
                         uint8_t* leftBytes, uint8_t* rightBytes, uint32_t frameStrideBytes) {
    for (uint32_t i = 0; i < frameCount; ++i) {
        StoreSample(leftBytes, ScaleAndSaturate(left[i], mixGain));
        StoreSample(rightBytes, ScaleAndSaturate(right[i], mixGain));
        leftBytes += frameStrideBytes;
        rightBytes += frameStrideBytes;
    }
}
