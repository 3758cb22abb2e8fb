#pragma once
// The process-wide playing time every newly opened stream lasts.
#include <cstdint>

constexpr int32_t kDefaultPlayingTimeMs = 600000;

extern int32_t playingTimeMs;

// Whole seconds of playingMs at 44100 Hz: 0 for negative times, saturated at 0xFFFFFFFF frames.
uint32_t StreamLengthFrames(int32_t playingMs);
