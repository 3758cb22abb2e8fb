// The mixing loops eight frames at a time in 256-bit registers. Compiled for AVX2 function by
// function, so the rest of the program still runs on any x86-64; called only when the processor has it.
#include <immintrin.h>

#include <cstdint>

#include "mixer/mix_voice.h"

#define AHX_AVX2 __attribute__((target("avx2")))

namespace {

constexpr uint32_t kLanes = 8;
constexpr uint32_t kWindowSamples = 16;
constexpr uint32_t kLastWindowStart = kVoiceBufferSamples - kWindowSamples;
// Largest step at which eight frames starting anywhere in a sample read at most 16 samples:
// 65535 + 7 x step stays below 16 << 16.
constexpr uint32_t kLargestWindowStep = (15u << 16) / (kLanes - 1);

// The signed samples of eight frames from the voice at `position`. Steps up to kLargestWindowStep
// take them from a 16-sample window with one byte shuffle; larger ones gather them one by one,
// each lane loading the 4 bytes that end at its sample and keeping the top one. The window starts
// at the first frame's sample, or earlier near the buffer end, so it never leaves the buffer.
template <bool kWindow>
AHX_AVX2 inline __m256i SamplesAt(const int8_t* samples, uint32_t position, __m256i laneSteps) {
    if (kWindow) {
        const uint32_t first = position >> 16;
        const uint32_t start = first < kLastWindowStart ? first : kLastWindowStart;
        const __m256i offsets = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(position - (start << 16))),
                                                 laneSteps);
        // Each lane's top control byte is its sample's place in the window; the three below have bit
        // 7 set and give 0, so the sample lands in the lane's top byte.
        const __m256i control = _mm256_or_si256(_mm256_slli_epi32(offsets, 8), _mm256_set1_epi32(0x00808080));
        const __m256i window = _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + start)));
        return _mm256_srai_epi32(_mm256_shuffle_epi8(window, control), 24);
    }
    const __m256i positions = _mm256_add_epi32(_mm256_set1_epi32(static_cast<int32_t>(position)), laneSteps);
    const int* wordsEndingAtSample = reinterpret_cast<const int*>(samples - 3);
    return _mm256_srai_epi32(_mm256_i32gather_epi32(wordsEndingAtSample, _mm256_srli_epi32(positions, 16), 1), 24);
}

// Steps of frames 0..7 from the first (modulo 2^32, as repeated additions would be).
AHX_AVX2 inline __m256i LaneSteps(uint32_t step) {
    const __m256i laneIndex = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    return _mm256_mullo_epi32(laneIndex, _mm256_set1_epi32(static_cast<int32_t>(step)));
}

AHX_AVX2 inline void AddTerms(__m256i value, __m256i scaleLeft, __m256i scaleRight, int32_t* left, int32_t* right) {
    __m256i* leftSums = reinterpret_cast<__m256i*>(left);
    __m256i* rightSums = reinterpret_cast<__m256i*>(right);
    const __m256i termLeft = _mm256_srai_epi32(_mm256_mullo_epi32(value, scaleLeft), 7);
    const __m256i termRight = _mm256_srai_epi32(_mm256_mullo_epi32(value, scaleRight), 7);
    _mm256_storeu_si256(leftSums, _mm256_add_epi32(_mm256_loadu_si256(leftSums), termLeft));
    _mm256_storeu_si256(rightSums, _mm256_add_epi32(_mm256_loadu_si256(rightSums), termRight));
}

// Whole groups of eight frames; the voice's positions are moved past them.
template <bool kWindow>
AHX_AVX2 void AddPlainGroups(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const __m256i scaleLeft = _mm256_set1_epi32(voice->volume * voice->gainLeft);
    const __m256i scaleRight = _mm256_set1_epi32(voice->volume * voice->gainRight);
    const __m256i laneSteps = LaneSteps(voice->step);
    const uint32_t groupStep = voice->step * kLanes;
    uint32_t position = voice->position;
    for (uint32_t i = 0; i < frameCount; i += kLanes) {
        AddTerms(SamplesAt<kWindow>(voice->samples, position, laneSteps), scaleLeft, scaleRight, left + i, right + i);
        position += groupStep;
    }
    voice->position = position;
}

template <bool kWindow, bool kRingWindow>
AHX_AVX2 void AddRingGroups(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const __m256i scaleLeft = _mm256_set1_epi32(voice->volume * voice->gainLeft);
    const __m256i scaleRight = _mm256_set1_epi32(voice->volume * voice->gainRight);
    const __m256i laneSteps = LaneSteps(voice->step);
    const __m256i ringLaneSteps = LaneSteps(voice->ringStep);
    const uint32_t groupStep = voice->step * kLanes;
    const uint32_t ringGroupStep = voice->ringStep * kLanes;
    uint32_t position = voice->position;
    uint32_t ringPosition = voice->ringPosition;
    for (uint32_t i = 0; i < frameCount; i += kLanes) {
        const __m256i sample = SamplesAt<kWindow>(voice->samples, position, laneSteps);
        const __m256i ring = SamplesAt<kRingWindow>(voice->ringSamples, ringPosition, ringLaneSteps);
        AddTerms(_mm256_srai_epi32(_mm256_mullo_epi32(ring, sample), 7), scaleLeft, scaleRight, left + i, right + i);
        position += groupStep;
        ringPosition += ringGroupStep;
    }
    voice->position = position;
    voice->ringPosition = ringPosition;
}

}  // namespace

AHX_AVX2 void AddVoiceAvx2(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount) {
    const uint32_t groupedFrames = frameCount - frameCount % kLanes;
    const bool window = voice->step <= kLargestWindowStep;
    if (voice->ringSamples == nullptr) {
        if (window) {
            AddPlainGroups<true>(voice, left, right, groupedFrames);
        } else {
            AddPlainGroups<false>(voice, left, right, groupedFrames);
        }
    } else {
        const bool ringWindow = voice->ringStep <= kLargestWindowStep;
        if (window && ringWindow) {
            AddRingGroups<true, true>(voice, left, right, groupedFrames);
        } else if (window) {
            AddRingGroups<true, false>(voice, left, right, groupedFrames);
        } else if (ringWindow) {
            AddRingGroups<false, true>(voice, left, right, groupedFrames);
        } else {
            AddRingGroups<false, false>(voice, left, right, groupedFrames);
        }
    }
    AddVoicePortable(voice, left + groupedFrames, right + groupedFrames, frameCount - groupedFrames);
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
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(frameBytes + 4 * size_t{i}), frames);
    }
    constexpr uint32_t kFrameBytes = 4;
    uint8_t* rest = frameBytes + kFrameBytes * size_t{wholeFrames};
    StoreFramesPortable(left + wholeFrames, right + wholeFrames, frameCount - wholeFrames, mixGain, rest, rest + 2,
                        kFrameBytes);
}
