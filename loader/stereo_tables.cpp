// Default pan pair and AHX mix gain per stereo mode 0..4.
#include "loader/tune.h"

const uint32_t StereoPanLeft[kStereoModeCount] = {128, 96, 64, 32, 0};
const uint32_t StereoPanRight[kStereoModeCount] = {128, 160, 193, 225, 255};
const uint32_t AhxGainPercent[kStereoModeCount] = {71, 72, 76, 85, 100};
