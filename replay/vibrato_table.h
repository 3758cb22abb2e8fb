#pragma once
// One sine period of 64 steps, amplitude 255, truncated toward zero.
#include <cstdint>

constexpr uint32_t kVibratoSteps = 64;

inline constexpr int16_t VibratoTable[kVibratoSteps] = {
    0,    24,   49,   74,   97,   120,  141,  161,  180,  197,  212,  224,  235,  244,  250,  253,
    255,  253,  250,  244,  235,  224,  212,  197,  180,  161,  141,  120,  97,   74,   49,   24,
    0,    -24,  -49,  -74,  -97,  -120, -141, -161, -180, -197, -212, -224, -235, -244, -250, -253,
    -255, -253, -250, -244, -235, -224, -212, -197, -180, -161, -141, -120, -97,  -74,  -49,  -24,
};
