#pragma once
// The per-tick waveform part of a voice's update: square and filter modulation, the square
// build, and the choice of the ring and wave sources.
#include "loader/tune.h"

void UpdateVoiceWaveform(const Tune* tune, Voice* voice);
