#pragma once
// Turns the replay into interleaved or planar signed 16-bit PCM.
#include <cstdint>

#include "loader/tune.h"

// Frames one DecodeFrame call writes: speedMultiplier * ((mixFrequency / 50) / speedMultiplier).
uint32_t FramesPerDecode(const Tune* tune);
// Renders one fiftieth of a second. left/right point at the first sample of each side;
// frameStrideBytes is the distance from one frame to the next (4 for interleaved stereo).
void DecodeFrame(Tune* tune, void* left, void* right, uint32_t frameStrideBytes);
// Mixes frameCount (>= 1) frames of every voice in use.
void MixChunk(Tune* tune, uint32_t frameCount, void* left, void* right, uint32_t frameStrideBytes);
