#pragma once
// Ranges of the options that render and play share.
#include <cstdint>

inline constexpr double kLongestSeconds = 86400;  // a day; a typing slip should not fill a disk
inline constexpr uint32_t kMostLoops = 1000;
inline constexpr int32_t kHighestStereoMode = 4;
inline constexpr int64_t kHighestSong = 255;
// The output rates the library renders at.
inline constexpr uint32_t kLowestRate = 8000;
inline constexpr uint32_t kHighestRate = 192000;
