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

// A song whose length is easy to work out by hand: `positions` positions of four steps, each
// playing track 1 on the first `voices` channels (one triangle note on step 0), at the default
// tempo 6, 24 ticks a position. Each position plays a semitone higher, and each channel a fifth
// above the one before, so where a song starts and which channel sounds can be heard.
ModuleDescription CountedSong(ModuleFormat format, uint16_t positions, uint32_t voices = 1);
// Position `position` plays a copy of track 1 with a command on step `step`.
ModuleDescription WithCommand(ModuleDescription song, size_t position, size_t step, uint8_t command, uint8_t param);
// The same song written as a THX module.
ModuleDescription AsAhx(ModuleDescription song);

// A copy of `song` with `change` applied to it.
template <typename Change>
ModuleDescription With(ModuleDescription song, Change change) {
    change(song);
    return song;
}
