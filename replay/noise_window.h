#pragma once
// Each voice picks its 640-sample noise windows with a small generator of its own.
#include <cstdint>

// Keeps window starts even and inside the first 1280 samples of the noise block.
constexpr uint32_t kNoiseWindowMask = 0x4FE;

inline uint32_t NoiseWindowOffset(uint32_t noiseSeed) { return noiseSeed & kNoiseWindowMask; }

inline uint32_t AdvanceNoiseSeed(uint32_t noiseSeed) {
    const uint32_t x1 = noiseSeed + 0x222B98u;
    // The right shift is arithmetic: a negative x1 fills the top byte with ones.
    const uint32_t x2 = (x1 << 24) | static_cast<uint32_t>(static_cast<int32_t>(x1) >> 8);
    const uint32_t x3 = x2 + 0xBEFF3u;
    const uint32_t x4 = x3 ^ 0x4Bu;
    return x4 - 6735u;
}
