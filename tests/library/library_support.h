#pragma once
// Opening built modules through the library, and the engine's own render of them to compare with.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "builder/sample_songs.h"
#include "tests/support/engine_render.h"
#include "tests/support/library_render.h"

inline std::vector<int16_t> Render(ahx_player* player, size_t frameCount) {
    std::vector<int16_t> frames(2 * frameCount);
    EXPECT_EQ(ahx_render_s16(player, frames.data(), frameCount), AHX_OK);
    return frames;
}

// A busy song that loops quickly: three positions of eight steps, restarting at position 1, so a
// few seconds of output cover the loop. Every voice changes waveform and sweeps filter and square.
inline ModuleDescription ShortLoopSong(uint16_t channelCount, uint8_t speedMultiplier) {
    ModuleDescription song = BusySong(channelCount);
    song.speedMultiplier = speedMultiplier;
    song.trackLength = 8;
    song.positions.resize(3);
    song.restartPosition = 1;
    return song;
}
