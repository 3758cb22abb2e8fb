#pragma once
// Ranges of the options that render and play share.
#include <cstdint>

inline constexpr double kLongestSeconds = 86400;  // a day; a typing slip should not fill a disk
inline constexpr uint32_t kMostLoops = 1000;
inline constexpr int32_t kHighestStereoMode = 4;
inline constexpr int64_t kHighestSong = 255;
