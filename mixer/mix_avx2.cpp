// The mixing loops 16 frames at a time in 256-bit registers. Compiled for AVX2 function by
// function, so the rest of the program still runs on any x86-64; chosen only when the processor has
// it (mixer_path.cpp), and on x86-64 only: elsewhere this file is empty.
#include <cstdint>

#include "mixer/mix_voice.h"

#if defined(__x86_64__)
#include <immintrin.h>

#define AHX_AVX2 __attribute__((target("avx2")))

namespace {

constexpr uint32_t kLanes = 8;
// Frames per loop pass: two registers of eight.
constexpr uint32_t kGroupFrames = 2 * kLanes;
constexpr uint32_t kWindowSamples = 16;
constexpr uint32_t kLastWindowStart = kVoiceBufferSamples - kWindowSamples;
// Largest step at which 16 frames starting anywhere in a sample read at most 16 samples:
// 65535 + 15 x step stays below 16 << 16. Every step at 44100 Hz and above is at most 46645.
constexpr uint32_t kLargestWindowStep = 1u << 16;
// madd multiplies the low 16 bits of each lane, exact for a term of -128..128 times a scale that
// fits 15 bits; the volumes and pan gains the replay makes give at most 64 x 254.
constexpr int32_t kLargestNarrowScale = INT16_MAX;

// Per-lane steps of one group: frames 0..7 and 8..15 from its first frame, modulo 2^32 as repeated
// additions would be; for the window, the same shifted up a byte.
struct LaneSteps {
    __m256i low, high;
    __m256i lowShifted, highShifted;
};

AHX_AVX2 inline LaneSteps MakeLaneSteps(uint32_t step) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i stepOfEach = _mm256_set1_epi32(static_cast<int32_t>(step));
    LaneSteps steps;
    steps.low = _mm256_mullo_epi32(lanes, stepOfEach);
    steps.high = _mm256_add_epi32(steps.low, _mm256_set1_epi32(static_cast<int32_t>(step * kLanes)));
    steps.lowShifted = _mm256_slli_epi32(steps.low, 8);
    steps.highShifted = _mm256_slli_epi32(steps.high, 8);
    return steps;
}

struct GroupSamples {
    __m256i low, high;  // frames 0..7 and 8..15, sign-extended to 32 bits
};

// Which frames of a group are played: the first few, in the last group of a run.
struct GroupMask {
    __m256i low, high;
};

AHX_AVX2 inline GroupMask FirstFrames(uint32_t frameCount) {
    const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i count = _mm256_set1_epi32(static_cast<int32_t>(frameCount));
    return {_mm256_cmpgt_epi32(count, lanes),
            _mm256_cmpgt_epi32(count, _mm256_add_epi32(lanes, _mm256_set1_epi32(kLanes)))};
}

// The samples of 16 frames of a voice starting at `position`. With kWindow (steps up to
// kLargestWindowStep) they come from one 16-sample window by byte shuffles: each lane's control
// has the sample's place in the window in its top byte (the bytes below pick anything, discarded
// by the shift), so the sample lands in the lane's top byte. The window starts at the first
// frame's sample, or earlier near the buffer end, so it never leaves the buffer; frames past a
// run's end pick some sample of it. Larger steps gather the samples one by one (with kMasked,
// those of the played frames only), each lane loading the 4 bytes that end at its sample.
template <bool kWindow, bool kMasked>
AHX_AVX2 inline GroupSamples SamplesAt(const int8_t* samples, uint32_t position, const LaneSteps& steps,
                                       const GroupMask& played) {
    GroupSamples group;
    if (kWindow) {
        const uint32_t first = position >> 16;
        const uint32_t start = first < kLastWindowStart ? first : kLastWindowStart;
        const __m256i offset = _mm256_set1_epi32(static_cast<int32_t>((position - (start << 16)) << 8));
        const __m256i window =
            _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + start)));
        group.low = _mm256_srai_epi32(_mm256_shuffle_epi8(window, _mm256_add_epi32(offset, steps.lowShifted)), 24);
        group.high = _mm256_srai_epi32(_mm256_shuffle_epi8(window, _mm256_add_epi32(offset, steps.highShifted)), 24);
        return group;
    }
    const __m256i start = _mm256_set1_epi32(static_cast<int32_t>(position));
    const int* wordsEndingAtSample = reinterpret_cast<const int*>(samples - 3);
    const __m256i lowIndex = _mm256_srli_epi32(_mm256_add_epi32(start, steps.low), 16);
    const __m256i highIndex = _mm256_srli_epi32(_mm256_add_epi32(start, steps.high), 16);
    if (kMasked) {
        const __m256i none = _mm256_setzero_si256();
        group.low = _mm256_mask_i32gather_epi32(none, wordsEndingAtSample, lowIndex, played.low, 1);
        group.high = _mm256_mask_i32gather_epi32(none, wordsEndingAtSample, highIndex, played.high, 1);
    } else {
        group.low = _mm256_i32gather_epi32(wordsEndingAtSample, lowIndex, 1);
        group.high = _mm256_i32gather_epi32(wordsEndingAtSample, highIndex, 1);
    }
    group.low = _mm256_srai_epi32(group.low, 24);
    group.high = _mm256_srai_epi32(group.high, 24);
    return group;
}

template <bool kNarrowScale>
AHX_AVX2 inline __m256i Scaled(__m256i value, __m256i scale) {
    return kNarrowScale ? _mm256_madd_epi16(value, scale) : _mm256_mullo_epi32(value, scale);
}

// Adds the floored terms of eight frames to the sums; with kMasked, only those of the played
// frames (the others add 0).
template <bool kNarrowScale, bool kMasked>
AHX_AVX2 inline void AddTerms(__m256i value, __m256i played, __m256i scaleLeft, __m256i scaleRight, int32_t* left,
                              int32_t* right) {
    __m256i* leftSums = reinterpret_cast<__m256i*>(left);
    __m256i* rightSums = reinterpret_cast<__m256i*>(right);
    __m256i termLeft = _mm256_srai_epi32(Scaled<kNarrowScale>(value, scaleLeft), 7);
    __m256i termRight = _mm256_srai_epi32(Scaled<kNarrowScale>(value, scaleRight), 7);
    if (kMasked) {
        termLeft = _mm256_and_si256(termLeft, played);
        termRight = _mm256_and_si256(termRight, played);
    }
    _mm256_storeu_si256(leftSums, _mm256_add_epi32(_mm256_loadu_si256(leftSums), termLeft));
    _mm256_storeu_si256(rightSums, _mm256_add_epi32(_mm256_loadu_si256(rightSums), termRight));
}

// The ring sample acts as a signed multiplier r / 128 on the voice sample, before the volume.
AHX_AVX2 inline __m256i RingProduct(__m256i ring, __m256i sample) {
    return _mm256_srai_epi32(_mm256_mullo_epi32(ring, sample), 7);
}

// What stays the same over a voice's run.
struct RunConstants {
    const int8_t* samples;
    const int8_t* ringSamples;  // null: no ring modulation
    LaneSteps steps, ringSteps;
    __m256i scaleLeft, scaleRight;
};

// Adds 16 frames from the given positions (with kMasked, the played ones only).
template <bool kWindow, bool kNarrowScale, bool kRing, bool kMasked>
AHX_AVX2 inline void AddGroup(const RunConstants& run, uint32_t position, uint32_t ringPosition,
                              const GroupMask& played, int32_t* left, int32_t* right) {
    GroupSamples value = SamplesAt<kWindow, kMasked>(run.samples, position, run.steps, played);
    if (kRing) {
        const GroupSamples ring = SamplesAt<kWindow, kMasked>(run.ringSamples, ringPosition, run.ringSteps, played);
        value = {RingProduct(ring.low, value.low), RingProduct(ring.high, value.high)};
    }
    AddTerms<kNarrowScale, kMasked>(value.low, played.low, run.scaleLeft, run.scaleRight, left, right);
    AddTerms<kNarrowScale, kMasked>(value.high, played.high, run.scaleLeft, run.scaleRight, left + kLanes,
                                    right + kLanes);
}

// One voice over a run: whole groups of 16 frames, then one group playing only the frames left.
template <bool kWindow, bool kNarrowScale, bool kRing>
AHX_AVX2 void AddGroups(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const RunConstants run = {voice->samples,
                              voice->ringSamples,
                              MakeLaneSteps(voice->step),
                              MakeLaneSteps(voice->ringStep),
                              _mm256_set1_epi32(voice->volume * voice->gainLeft),
                              _mm256_set1_epi32(voice->volume * voice->gainRight)};
    const uint32_t groupStep = voice->step * kGroupFrames;
    const uint32_t ringGroupStep = voice->ringStep * kGroupFrames;
    const uint32_t wholeFrames = frameCount - frameCount % kGroupFrames;
    uint32_t position = voice->position;
    uint32_t ringPosition = voice->ringPosition;
    const GroupMask unused = {};  // whole groups play every frame
    for (uint32_t i = 0; i < wholeFrames; i += kGroupFrames) {
        AddGroup<kWindow, kNarrowScale, kRing, false>(run, position, ringPosition, unused, left + i, right + i);
        position += groupStep;
        ringPosition += ringGroupStep;
    }
    if (wholeFrames < frameCount) {
        AddGroup<kWindow, kNarrowScale, kRing, true>(run, position, ringPosition,
                                                     FirstFrames(frameCount - wholeFrames), left + wholeFrames,
                                                     right + wholeFrames);
    }
    // As many additions of each step as frames played, modulo 2^32.
    voice->position += frameCount * voice->step;
    if (kRing) voice->ringPosition += frameCount * voice->ringStep;
}

template <bool kWindow, bool kNarrowScale>
AHX_AVX2 void AddRun(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    if (voice->ringSamples != nullptr) {
        AddGroups<kWindow, kNarrowScale, true>(voice, left, right, frameCount);
    } else {
        AddGroups<kWindow, kNarrowScale, false>(voice, left, right, frameCount);
    }
}

bool NarrowScale(int32_t volume, int32_t gain) {
    const int64_t scale = int64_t{volume} * gain;
    return scale >= 0 && scale <= kLargestNarrowScale;
}

}  // namespace

AHX_AVX2 void AddVoiceAvx2(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const bool window = voice->step <= kLargestWindowStep &&
                        (voice->ringSamples == nullptr || voice->ringStep <= kLargestWindowStep);
    const bool narrow = NarrowScale(voice->volume, voice->gainLeft) && NarrowScale(voice->volume, voice->gainRight);
    if (window && narrow) {
        AddRun<true, true>(voice, left, right, frameCount);
    } else if (window) {
        AddRun<true, false>(voice, left, right, frameCount);
    } else if (narrow) {
        AddRun<false, true>(voice, left, right, frameCount);
    } else {
        AddRun<false, false>(voice, left, right, frameCount);
    }
}

AHX_AVX2 void StoreInterleavedAvx2(const int32_t* left, const int32_t* right, uint32_t frameCount, int32_t mixGain,
                                   uint8_t* frameBytes) {
    const uint32_t wholeFrames = frameCount - frameCount % kLanes;
    const __m256i gain = _mm256_set1_epi32(mixGain);
    // Within each 128-bit half, packing gives four left then four right samples; this interleaves them.
    const __m256i interleave = _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15,  //
                                                0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15);
    for (uint32_t i = 0; i < wholeFrames; i += kLanes) {
        const __m256i scaledLeft = _mm256_srai_epi32(
            _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(left + i)), gain), 8);
        const __m256i scaledRight = _mm256_srai_epi32(
            _mm256_mullo_epi32(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(right + i)), gain), 8);
        // packs saturates to 16 bits, exactly the clamp the portable store makes.
        const __m256i frames = _mm256_shuffle_epi8(_mm256_packs_epi32(scaledLeft, scaledRight), interleave);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(frameBytes + kInterleavedFrameBytes * size_t{i}), frames);
    }
    uint8_t* rest = frameBytes + kInterleavedFrameBytes * size_t{wholeFrames};
    StoreFramesPortable(left + wholeFrames, right + wholeFrames, frameCount - wholeFrames, mixGain, rest,
                        rest + sizeof(int16_t), kInterleavedFrameBytes);
}

#endif
