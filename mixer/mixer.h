#pragma once
// Turns the replay into interleaved or planar signed 16-bit PCM.
#include <cstdint>

#include "loader/tune.h"

// The replay runs in fiftieths of a second (times the speed multiplier).
constexpr uint32_t kDecodesPerSecond = 50;

// Bit v set: voice v is heard. Voices left out still advance through their buffers, so muting
// changes what is heard and nothing else.
constexpr uint32_t kAllVoices = (1u << kMaxChannels) - 1;
// Largest magnitude of one voice's term before panning: sample 128 (or ring product) times volume 64.
constexpr uint32_t kVoicePeakFullScale = 128 * 64;

// Frames one tick is followed by: (mixFrequency / 50) / speedMultiplier.
uint32_t FramesPerTick(const Tune* tune);
// Frames one DecodeFrame call writes: speedMultiplier * FramesPerTick.
uint32_t FramesPerDecode(const Tune* tune);
// Renders one fiftieth of a second. left/right point at the first sample of each side;
// frameStrideBytes is the distance from one frame to the next (4 for interleaved stereo).
void DecodeFrame(Tune* tune, void* left, void* right, uint32_t frameStrideBytes);
// Mixes frameCount (>= 1) frames of every voice in use.
void MixChunk(Tune* tune, uint32_t frameCount, void* left, void* right, uint32_t frameStrideBytes);
// MixChunk hearing only audibleVoices. With voicePeaks (room for kMaxChannels), each audible voice's
// entry is raised to the largest magnitude of its term before panning (0..kVoicePeakFullScale).
void MixVoices(Tune* tune, uint32_t audibleVoices, uint32_t frameCount, void* left, void* right,
               uint32_t frameStrideBytes, uint16_t* voicePeaks);
// Every voice in use alone, each into its own interleaved stereo frames stemFrames[v], through the
// same volume, pans, mix gain and saturation as in the mix; voices not in audibleVoices are silent.
// One pass: the voices advance once, exactly as MixChunk advances them.
void MixStems(Tune* tune, uint32_t audibleVoices, uint32_t frameCount, int16_t* const* stemFrames);
// Moves every voice on by frameCount frames as mixing would, writing nothing.
void AdvanceVoices(Tune* tune, uint32_t frameCount);
