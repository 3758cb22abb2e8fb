// Point-sampling mixer: every voice loops over its 640-sample buffer with a 16.16 step, optionally
// multiplied by its ring buffer, scaled by volume and pan gains; the sums are scaled by mixGain.
// Voices are added one after the other into a block of sums. A voice's path through its buffers
// does not depend on the others, so each one runs up to its own buffer ends, not everyone's.
#include <cstdint>
#include <cstring>

#include "loader/tune.h"
#include "mixer/mix_voice.h"
#include "mixer/mixer.h"
#include "mixer/mixer_path.h"

namespace {

struct MixBlock {
    int32_t left[kBlockFrames + kSumsPastRun];
    int32_t right[kBlockFrames + kSumsPastRun];
};

// Zeroes the sums of a block's frames and the room after them.
void ClearSums(MixBlock* block, uint32_t frameCount) {
    std::memset(block->left, 0, (frameCount + kSumsPastRun) * sizeof block->left[0]);
    std::memset(block->right, 0, (frameCount + kSumsPastRun) * sizeof block->right[0]);
}

// Bounds |sum| x mixGain below 2^31, where 32-bit products give the 64-bit results.
constexpr uint64_t kNarrowProductLimit = uint64_t{1} << 31;
// Largest magnitude of a voice term before panning: sample (or ring product) 128 times volume 255.
constexpr uint64_t kLargestVoiceValue = 128 * 255;

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

// Frames the voice can play before either of its positions reaches a buffer end, at most framesWanted.
uint32_t VoiceRunFrames(MixVoice* voice, uint32_t framesWanted) {
    uint32_t runFrames = framesWanted;
    const uint32_t plain = WrapAndMeasure(&voice->position, voice->step);
    if (plain < runFrames) runFrames = plain;
    if (voice->ringSamples == nullptr) return runFrames;
    const uint32_t ring = WrapAndMeasure(&voice->ringPosition, voice->ringStep);
    return ring < runFrames ? ring : runFrames;
}

// A voice that is not heard moves on as if it had been: within a run no position wraps, so the
// frames' steps add up to one product (modulo 2^32, as the repeated additions would).
void SkipVoice(MixVoice* voice, uint32_t frameCount) {
    voice->position += frameCount * voice->step;
    if (voice->ringSamples != nullptr) voice->ringPosition += frameCount * voice->ringStep;
}

// Where a position is after frameCount (>= 1) frames of a step no longer than the buffer: the wrap
// before each frame keeps every read inside the buffer, so before the last frame the position is
// (start + (frameCount - 1) * step) mod span, and the last frame adds one step, unwrapped.
uint32_t PositionAfter(uint32_t position, uint32_t step, uint32_t frameCount) {
    const uint64_t start = position >= kBufferSpanFixed ? position % kBufferSpanFixed : position;
    const uint64_t beforeLast = (start + uint64_t{frameCount - 1} * step) % kBufferSpanFixed;
    return static_cast<uint32_t>(beforeLast + step);
}

void AdvanceVoice(MixVoice* voice, uint32_t frameCount) {
    const bool shortSteps = voice->step <= kBufferSpanFixed &&
                            (voice->ringSamples == nullptr || voice->ringStep <= kBufferSpanFixed);
    if (shortSteps && frameCount > 0) {
        voice->position = PositionAfter(voice->position, voice->step, frameCount);
        if (voice->ringSamples != nullptr) voice->ringPosition = PositionAfter(voice->ringPosition, voice->ringStep, frameCount);
        return;
    }
    // Longer steps, which the replay never makes, go run by run as the mix would.
    for (uint32_t done = 0; done < frameCount;) {
        const uint32_t runFrames = VoiceRunFrames(voice, frameCount - done);
        SkipVoice(voice, runFrames);
        done += runFrames;
    }
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

// Adds frameCount frames of a voice to the block, run by run; with a peak, measures each run first.
void AddVoiceToBlock(MixVoice* voice, MixBlock* block, uint32_t frameCount, uint16_t* peak, const MixLoops& loops) {
    for (uint32_t done = 0; done < frameCount;) {
        const uint32_t runFrames = VoiceRunFrames(voice, frameCount - done);
        if (peak != nullptr) MeasurePeak(*voice, runFrames, peak);
        loops.addVoice(voice, block->left + done, block->right + done, runFrames);
        done += runFrames;
    }
}

// Whether the 32-bit interleaved store gives the exact results: sums of these voices' terms times
// mixGain stay below 2^31. Each term is at most 255 x gain + 1 in magnitude (floored shift).
bool NarrowStoreFits(const MixVoice* voices, uint32_t voiceCount, uint32_t audibleVoices, uint64_t mixGain) {
    uint64_t largestSum = 0;
    for (uint32_t v = 0; v < voiceCount; ++v) {
        if ((audibleVoices >> v & 1) == 0) continue;
        const uint32_t gainLeft = static_cast<uint32_t>(voices[v].gainLeft);
        const uint32_t gainRight = static_cast<uint32_t>(voices[v].gainRight);
        const uint64_t gain = gainLeft > gainRight ? gainLeft : gainRight;
        largestSum += (kLargestVoiceValue * gain >> 7) + 1;
    }
    // Both factors below 2^31 keep the product itself from overflowing.
    return largestSum < kNarrowProductLimit && mixGain < kNarrowProductLimit &&
           largestSum * mixGain < kNarrowProductLimit;
}

struct Destination {
    uint8_t* left;
    uint8_t* right;
    uint32_t frameStrideBytes;
    bool narrowInterleaved;  // interleaved frames, and sums whose product with the gain fits 32 bits
    MixLoops loops;
};

void StoreBlock(const MixBlock& block, uint32_t frameCount, uint32_t mixGain, Destination* destination) {
    if (destination->narrowInterleaved) {
        destination->loops.storeInterleaved(block.left, block.right, frameCount, static_cast<int32_t>(mixGain),
                                            destination->left);
    } else {
        StoreFramesPortable(block.left, block.right, frameCount, mixGain, destination->left, destination->right,
                            destination->frameStrideBytes);
    }
    const uint64_t blockBytes = uint64_t{frameCount} * destination->frameStrideBytes;
    destination->left += blockBytes;
    destination->right += blockBytes;
}

Destination MakeDestination(void* left, void* right, uint32_t frameStrideBytes, const MixLoops& loops,
                            bool narrowProducts) {
    Destination destination{static_cast<uint8_t*>(left), static_cast<uint8_t*>(right), frameStrideBytes, false, loops};
    destination.narrowInterleaved = narrowProducts && frameStrideBytes == kInterleavedFrameBytes &&
                                    destination.right == destination.left + sizeof(int16_t);
    return destination;
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
    const MixLoops loops = ChosenMixLoops();
    const bool narrow = NarrowStoreFits(voices, voiceCount, audibleVoices, tune->mixGain);
    Destination destination = MakeDestination(left, right, frameStrideBytes, loops, narrow);
    MixBlock block;

    for (uint32_t framesLeft = frameCount; framesLeft > 0;) {
        const uint32_t blockFrames = framesLeft < kBlockFrames ? framesLeft : kBlockFrames;
        ClearSums(&block, blockFrames);
        for (uint32_t v = 0; v < voiceCount; ++v) {
            if ((audibleVoices >> v & 1) == 0) {
                AdvanceVoice(&voices[v], blockFrames);
                continue;
            }
            AddVoiceToBlock(&voices[v], &block, blockFrames, voicePeaks != nullptr ? &voicePeaks[v] : nullptr, loops);
        }
        StoreBlock(block, blockFrames, tune->mixGain, &destination);
        framesLeft -= blockFrames;
    }
    StorePositions(tune, voiceCount, voices);
}

void MixStems(Tune* tune, uint32_t audibleVoices, uint32_t frameCount, int16_t* const* stemFrames) {
    const uint32_t voiceCount = VoicesInUse(tune);
    MixVoice voices[kMaxChannels];
    CopyVoices(tune, voiceCount, voices);
    const MixLoops loops = ChosenMixLoops();
    MixBlock block;

    for (uint32_t v = 0; v < voiceCount; ++v) {
        const bool audible = (audibleVoices >> v & 1) != 0;
        const bool narrow = NarrowStoreFits(&voices[v], 1, 1, tune->mixGain);
        int16_t* frames = stemFrames[v];
        Destination destination = MakeDestination(frames, frames + 1, kInterleavedFrameBytes, loops, narrow);
        for (uint32_t framesLeft = frameCount; framesLeft > 0;) {
            const uint32_t blockFrames = framesLeft < kBlockFrames ? framesLeft : kBlockFrames;
            ClearSums(&block, blockFrames);
            if (audible) {
                AddVoiceToBlock(&voices[v], &block, blockFrames, nullptr, loops);
            } else {
                AdvanceVoice(&voices[v], blockFrames);
            }
            StoreBlock(block, blockFrames, tune->mixGain, &destination);
            framesLeft -= blockFrames;
        }
    }
    StorePositions(tune, voiceCount, voices);
}

void AdvanceVoices(Tune* tune, uint32_t frameCount) {
    const uint32_t voiceCount = VoicesInUse(tune);
    MixVoice voices[kMaxChannels];
    CopyVoices(tune, voiceCount, voices);
    for (uint32_t v = 0; v < voiceCount; ++v) AdvanceVoice(&voices[v], frameCount);
    StorePositions(tune, voiceCount, voices);
}
