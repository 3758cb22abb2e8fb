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
// The values are read in one loop and scaled in another: the reads go one by one, the scaling
// is the same arithmetic on every frame, which the compiler can do several frames at a time.
void AddValues(const int32_t* values, const MixVoice& voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const int32_t scaleLeft = voice.volume * voice.gainLeft;
    const int32_t scaleRight = voice.volume * voice.gainRight;
    for (uint32_t i = 0; i < frameCount; ++i) {
        left[i] += (values[i] * scaleLeft) >> 7;
        right[i] += (values[i] * scaleRight) >> 7;
    }
}

void AddPlainVoice(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    int32_t values[kBlockFrames];
    const int8_t* samples = voice->samples;
    uint32_t position = voice->position;
    const uint32_t step = voice->step;
    for (uint32_t i = 0; i < frameCount; ++i) {
        values[i] = samples[position >> 16];
        position += step;
    }
    voice->position = position;
    AddValues(values, *voice, left, right, frameCount);
}

// The ring sample acts as a signed multiplier r / 128 on the voice sample, before the volume.
void AddRingVoice(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    int32_t values[kBlockFrames];
    const int8_t* samples = voice->samples;
    const int8_t* ringSamples = voice->ringSamples;
    uint32_t position = voice->position;
    uint32_t ringPosition = voice->ringPosition;
    const uint32_t step = voice->step;
    const uint32_t ringStep = voice->ringStep;
    for (uint32_t i = 0; i < frameCount; ++i) {
        values[i] = (ringSamples[ringPosition >> 16] * samples[position >> 16]) >> 7;
        position += step;
        ringPosition += ringStep;
    }
    voice->position = position;
    voice->ringPosition = ringPosition;
    AddValues(values, *voice, left, right, frameCount);
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
