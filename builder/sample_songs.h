#pragma once
// Busy sample songs that keep every voice sounding: the benchmarks play and load them, and they
// seed the fuzzers.
#include "builder/module_builder.h"

// Every channel plays, with instruments that change waveform, sweep the filter and square width
// and use vibrato, over eight positions of 64 steps. channelCount is 4 to 16.
ModuleDescription BusySong(uint16_t channelCount);
// Four channels whose instruments all ring-modulate their waveform.
ModuleDescription RingSong();
// The most work per second of output: sixteen channels at four ticks per fiftieth, every instrument a
// square with its width and filter sweeping, ring-modulated by a triangle or a sawtooth.
ModuleDescription WorstCaseSong();
// Four channels of noise: a new 640-sample window on every tick.
ModuleDescription NoiseSong();
// The largest module the formats allow in positions, tracks, instruments and performance lists.
ModuleDescription LargestSong(ModuleFormat format);
