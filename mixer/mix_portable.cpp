// The mixing loops in plain C++, for any processor.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "mixer/mix_voice.h"

namespace {

constexpr bool kLittleEndian = std::endian::native == std::endian::little;

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
// is the same arithmetic on every frame, which the compiler can do several frames at a time,
// with 16-bit multiplies when the scales fit (values are -128..128).
template <typename Scale>
void ScaleValues(const int16_t* values, Scale scaleLeft, Scale scaleRight, int32_t* left, int32_t* right,
                 uint32_t frameCount) {
    for (uint32_t i = 0; i < frameCount; ++i) {
        left[i] += (int32_t{values[i]} * scaleLeft) >> 7;
        right[i] += (int32_t{values[i]} * scaleRight) >> 7;
    }
}

void AddValues(const int16_t* values, const MixVoice& voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const int32_t scaleLeft = voice.volume * voice.gainLeft;
    const int32_t scaleRight = voice.volume * voice.gainRight;
    const auto fits = [](int32_t scale) { return scale >= 0 && scale <= INT16_MAX; };
    if (fits(scaleLeft) && fits(scaleRight)) {
        ScaleValues(values, static_cast<int16_t>(scaleLeft), static_cast<int16_t>(scaleRight), left, right,
                    frameCount);
    } else {
        ScaleValues(values, scaleLeft, scaleRight, left, right, frameCount);
    }
}

void AddPlainVoice(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    int16_t values[kBlockFrames];
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
    int16_t values[kBlockFrames];
    const int8_t* samples = voice->samples;
    const int8_t* ringSamples = voice->ringSamples;
    uint32_t position = voice->position;
    uint32_t ringPosition = voice->ringPosition;
    const uint32_t step = voice->step;
    const uint32_t ringStep = voice->ringStep;
    for (uint32_t i = 0; i < frameCount; ++i) {
        values[i] = static_cast<int16_t>((ringSamples[ringPosition >> 16] * samples[position >> 16]) >> 7);
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

// Frames are put together as 32-bit words, the left sample in the half that comes first in memory,
// in one plain loop the compiler can vectorise, then copied out.
void StoreInterleavedPortable(const int32_t* left, const int32_t* right, uint32_t frameCount, int32_t mixGain,
                              uint8_t* frameBytes) {
    uint32_t frames[kBlockFrames];
    for (uint32_t i = 0; i < frameCount; ++i) {
        const int32_t scaledLeft = std::clamp<int32_t>((left[i] * mixGain) >> 8, INT16_MIN, INT16_MAX);
        const int32_t scaledRight = std::clamp<int32_t>((right[i] * mixGain) >> 8, INT16_MIN, INT16_MAX);
        const uint32_t leftHalf = static_cast<uint16_t>(scaledLeft);
        const uint32_t rightHalf = static_cast<uint16_t>(scaledRight);
        frames[i] = kLittleEndian ? leftHalf | rightHalf << 16 : leftHalf << 16 | rightHalf;
    }
    std::memcpy(frameBytes, frames, kInterleavedFrameBytes * size_t{frameCount});
}
