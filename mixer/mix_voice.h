#pragma once
// The mixer's private view of a voice, and the loops that add voices to running sums and turn sums
// into samples. Each loop has a portable form and an AVX2 form with identical integer results;
// mixer_path.h chooses between them, the AVX2 forms existing on x86-64 only.
#include <cstdint>

#include "replay/voice.h"

// Frames summed per pass over the voices; bounds the accumulators on the stack.
constexpr uint32_t kBlockFrames = 512;
constexpr uint32_t kLastPositionFixed = kBufferSpanFixed - 1;
constexpr uint32_t kSumsPastRun = 15;
// An interleaved frame: the left sample, then the right one.
constexpr uint32_t kInterleavedFrameBytes = 2 * sizeof(int16_t);

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

// Adds frameCount (at most kBlockFrames) frames of the voice to left[] and right[] and moves its
// positions on. Neither position may reach its buffer's end within those frames. The AVX2 form
// works on 16 frames at a time and rewrites, unchanged, up to kSumsPastRun sums after the last
// frame, so the arrays need that room. It takes samples from 16-byte windows inside the buffers,
// or for steps above one sample a frame gathers each as the top byte of the 4 bytes that end at
// it, reading up to 3 bytes in front of a buffer (ignored): voiceBuffer and ringBuffer both have
// other fields of their Voice there.
void AddVoicePortable(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount);

// Scales sums by the mix gain (>> 8) and saturates them to 16 bits: wrapping would turn a loud
// passage into noise. Any layout of destination samples.
void StoreFramesPortable(const int32_t* left, const int32_t* right, uint32_t frameCount, int64_t mixGain,
                         uint8_t* leftBytes, uint8_t* rightBytes, uint32_t frameStrideBytes);
// The same into interleaved left-right frames, for sums whose product with mixGain fits 31 bits.
void StoreInterleavedPortable(const int32_t* left, const int32_t* right, uint32_t frameCount, int32_t mixGain,
                              uint8_t* frameBytes);

#if defined(__x86_64__)
void AddVoiceAvx2(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount);
void StoreInterleavedAvx2(const int32_t* left, const int32_t* right, uint32_t frameCount, int32_t mixGain,
                          uint8_t* frameBytes);
#endif
