// Point-sampling mixer: every voice loops over its 640-sample buffer with a 16.16 step, optionally
// multiplied by its ring buffer, scaled by volume and pan gains; the sums are scaled by mixGain.
#include <cstdint>
#include <cstring>

#include "loader/tune.h"
#include "mixer/mixer.h"

namespace {

constexpr uint32_t kLastPositionFixed = kBufferSpanFixed - 1;
// Frames summed per pass over the voices; bounds the accumulators on the stack.
constexpr uint32_t kBlockFrames = 512;

// What one voice contributes during a call, copied from its Voice when the call starts.
struct MixVoice {
    const int8_t* samples;
    const int8_t* ringSamples;  // null: no ring modulation
    uint32_t position;
    uint32_t step;
    uint32_t ringPosition;
    uint32_t ringStep;
    int32_t volume;
    int32_t gainLeft;
    int32_t gainRight;
};

struct MixBlock {
    int32_t left[kBlockFrames];
    int32_t right[kBlockFrames];
};

MixVoice CopyVoice(const Voice& voice) {
    MixVoice copy;
    // mixSource is always the voice's own buffer and ringMixSource its ring buffer or none; reading
    // the buffers directly stays right even for a Tune that was copied as a whole.
    copy.samples = voice.voiceBuffer;
    copy.ringSamples = voice.ringMixSource != nullptr ? voice.ringBuffer : nullptr;
    copy.position = voice.samplePosition;
    // Steps are never 0 by construction; forcing it keeps the run-length division safe regardless.
    copy.step = voice.sampleStep != 0 ? voice.sampleStep : 1;
    copy.ringPosition = voice.ringPosition;
    copy.ringStep = voice.ringStep != 0 ? voice.ringStep : 1;
    copy.volume = voice.mixVolume;
    copy.gainLeft = static_cast<int32_t>(voice.panGainLeft);
    copy.gainRight = static_cast<int32_t>(voice.panGainRight);
    return copy;
}

// Wraps a position back into the buffer and returns how many frames it can advance before it
// would read past the last sample. A stored position is at most one step past the end, where
// the modulo is the single subtraction; it only differs for states the replay never makes.
uint32_t WrapAndMeasure(uint32_t* position, uint32_t step) {
    if (*position >= kBufferSpanFixed) *position %= kBufferSpanFixed;
    return (kLastPositionFixed - *position) / step + 1;
}

uint32_t RunFrames(MixVoice* voices, uint32_t voiceCount, uint32_t framesWanted) {
    uint32_t runFrames = framesWanted;
    for (uint32_t v = 0; v < voiceCount; ++v) {
        MixVoice& voice = voices[v];
        const uint32_t plain = WrapAndMeasure(&voice.position, voice.step);
        if (plain < runFrames) runFrames = plain;
        if (voice.ringSamples == nullptr) continue;
        const uint32_t ring = WrapAndMeasure(&voice.ringPosition, voice.ringStep);
        if (ring < runFrames) runFrames = ring;
    }
    return runFrames;
}

// Each voice term is floored on its own (arithmetic shift), as the sum of the floors. The volume
// and the pan gain are multiplied first: (s * volume) * gain is the same product in fewer steps.
void AddPlainVoice(MixVoice* voice, MixBlock* block, uint32_t frameCount) {
    const int8_t* samples = voice->samples;
    uint32_t position = voice->position;
    const uint32_t step = voice->step;
    const int32_t scaleLeft = voice->volume * voice->gainLeft;
    const int32_t scaleRight = voice->volume * voice->gainRight;
    for (uint32_t i = 0; i < frameCount; ++i) {
        const int32_t sample = samples[position >> 16];
        block->left[i] += (sample * scaleLeft) >> 7;
        block->right[i] += (sample * scaleRight) >> 7;
        position += step;
    }
    voice->position = position;
}

// The ring sample acts as a signed multiplier r / 128 on the voice sample, before the volume.
void AddRingVoice(MixVoice* voice, MixBlock* block, uint32_t frameCount) {
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
        block->left[i] += (product * scaleLeft) >> 7;
        block->right[i] += (product * scaleRight) >> 7;
        position += step;
        ringPosition += ringStep;
    }
    voice->position = position;
    voice->ringPosition = ringPosition;
}

// Scales a voice sum by the tune's gain and saturates: wrapping would turn a loud passage into noise.
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

void AddVoice(MixVoice* voice, MixBlock* block, uint32_t frameCount) {
    if (voice->ringSamples != nullptr) {
        AddRingVoice(voice, block, frameCount);
    } else {
        AddPlainVoice(voice, block, frameCount);
    }
}

// A voice that is not heard moves on as if it had been: within a run no position wraps, so the
// frames' steps add up to one product (modulo 2^32, as the repeated additions would).
void SkipVoice(MixVoice* voice, uint32_t frameCount) {
    voice->position += frameCount * voice->step;
    if (voice->ringSamples != nullptr) voice->ringPosition += frameCount * voice->ringStep;
}

// Raises *peak to the largest |term| the voice contributes over the next frameCount frames; reads
// the same samples the mix will, without moving the voice.
void MeasurePeak(const MixVoice& voice, uint32_t frameCount, uint16_t* peak) {
    uint32_t position = voice.position;
    uint32_t ringPosition = voice.ringPosition;
    int32_t largest = *peak;
    for (uint32_t i = 0; i < frameCount; ++i) {
        int32_t sample = voice.samples[position >> 16];
        if (voice.ringSamples != nullptr) {
            sample = (voice.ringSamples[ringPosition >> 16] * sample) >> 7;
            ringPosition += voice.ringStep;
        }
        const int32_t magnitude = (sample < 0 ? -sample : sample) * voice.volume;
        if (magnitude > largest) largest = magnitude;
        position += voice.step;
    }
    *peak = static_cast<uint16_t>(largest);
}

void StoreBlock(const MixBlock& block, uint32_t frameCount, int64_t mixGain, uint8_t** left, uint8_t** right,
                uint32_t frameStrideBytes) {
    for (uint32_t i = 0; i < frameCount; ++i) {
        StoreSample(*left, ScaleAndSaturate(block.left[i], mixGain));
        StoreSample(*right, ScaleAndSaturate(block.right[i], mixGain));
        *left += frameStrideBytes;
        *right += frameStrideBytes;
    }
}

uint32_t VoicesInUse(const Tune* tune) {
    return tune->channelCount < kMaxChannels ? tune->channelCount : kMaxChannels;
}

void CopyVoices(const Tune* tune, uint32_t voiceCount, MixVoice* voices) {
    for (uint32_t v = 0; v < voiceCount; ++v) voices[v] = CopyVoice(tune->voices[v]);
}

void StorePositions(Tune* tune, uint32_t voiceCount, const MixVoice* voices) {
    for (uint32_t v = 0; v < voiceCount; ++v) {
        tune->voices[v].samplePosition = voices[v].position;
        tune->voices[v].ringPosition = voices[v].ringPosition;
    }
}

}  // namespace

void MixChunk(Tune* tune, uint32_t frameCount, void* left, void* right, uint32_t frameStrideBytes) {
    MixVoices(tune, kAllVoices, frameCount, left, right, frameStrideBytes, nullptr);
}

void MixVoices(Tune* tune, uint32_t audibleVoices, uint32_t frameCount, void* left, void* right,
               uint32_t frameStrideBytes, uint16_t* voicePeaks) {
    const uint32_t voiceCount = VoicesInUse(tune);
    MixVoice voices[kMaxChannels];
    CopyVoices(tune, voiceCount, voices);
    const int64_t mixGain = tune->mixGain;
    uint8_t* leftBytes = static_cast<uint8_t*>(left);
    uint8_t* rightBytes = static_cast<uint8_t*>(right);
    MixBlock block;

    uint32_t framesLeft = frameCount;
    while (framesLeft > 0) {
        const uint32_t framesWanted = framesLeft < kBlockFrames ? framesLeft : kBlockFrames;
        // No voice reads past sample 639 of either buffer within a run, so the loops below need
        // no wrap test of their own.
        const uint32_t runFrames = RunFrames(voices, voiceCount, framesWanted);
        std::memset(block.left, 0, runFrames * sizeof block.left[0]);
        std::memset(block.right, 0, runFrames * sizeof block.right[0]);
        for (uint32_t v = 0; v < voiceCount; ++v) {
            if ((audibleVoices >> v & 1) == 0) {
                SkipVoice(&voices[v], runFrames);
                continue;
            }
            if (voicePeaks != nullptr) MeasurePeak(voices[v], runFrames, &voicePeaks[v]);
            AddVoice(&voices[v], &block, runFrames);
        }
        StoreBlock(block, runFrames, mixGain, &leftBytes, &rightBytes, frameStrideBytes);
        framesLeft -= runFrames;
    }
    StorePositions(tune, voiceCount, voices);
}

void MixStems(Tune* tune, uint32_t audibleVoices, uint32_t frameCount, int16_t* const* stemFrames) {
    const uint32_t voiceCount = VoicesInUse(tune);
    MixVoice voices[kMaxChannels];
    CopyVoices(tune, voiceCount, voices);
    const int64_t mixGain = tune->mixGain;
    MixBlock block;
    constexpr uint32_t kFrameBytes = 2 * sizeof(int16_t);

    // A voice's path through its buffers does not depend on the other voices, so each is mixed
    // alone, with runs of its own.
    for (uint32_t v = 0; v < voiceCount; ++v) {
        const bool audible = (audibleVoices >> v & 1) != 0;
        uint8_t* leftBytes = reinterpret_cast<uint8_t*>(stemFrames[v]);
        uint8_t* rightBytes = leftBytes + sizeof(int16_t);
        uint32_t framesLeft = frameCount;
        while (framesLeft > 0) {
            const uint32_t framesWanted = framesLeft < kBlockFrames ? framesLeft : kBlockFrames;
            const uint32_t runFrames = RunFrames(&voices[v], 1, framesWanted);
            std::memset(block.left, 0, runFrames * sizeof block.left[0]);
            std::memset(block.right, 0, runFrames * sizeof block.right[0]);
            if (audible) {
                AddVoice(&voices[v], &block, runFrames);
            } else {
                SkipVoice(&voices[v], runFrames);
            }
            StoreBlock(block, runFrames, mixGain, &leftBytes, &rightBytes, kFrameBytes);
            framesLeft -= runFrames;
        }
    }
    StorePositions(tune, voiceCount, voices);
}

void AdvanceVoices(Tune* tune, uint32_t frameCount) {
    const uint32_t voiceCount = VoicesInUse(tune);
    MixVoice voices[kMaxChannels];
    CopyVoices(tune, voiceCount, voices);
    for (uint32_t v = 0; v < voiceCount; ++v) {
        uint32_t framesLeft = frameCount;
        while (framesLeft > 0) {
            const uint32_t runFrames = RunFrames(&voices[v], 1, framesLeft);
            SkipVoice(&voices[v], runFrames);
            framesLeft -= runFrames;
        }
    }
    StorePositions(tune, voiceCount, voices);
}
