#pragma once
// Opening built modules through the library, and the engine's own render of them to compare with.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "ahx/ahx.h"
#include "builder/module_builder.h"
#include "builder/sample_songs.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

struct PlayerCloser {
    void operator()(ahx_player* player) const { ahx_close(player); }
};
using PlayerPtr = std::unique_ptr<ahx_player, PlayerCloser>;

inline PlayerPtr OpenPlayer(const std::vector<uint8_t>& bytes, uint32_t sampleRate = 44100, int32_t stereoMode = 0) {
    const ahx_settings settings{sampleRate, stereoMode};
    ahx_player* player = nullptr;
    EXPECT_EQ(ahx_open(bytes.data(), bytes.size(), &settings, &player), AHX_OK);
    return PlayerPtr(player);
}

inline std::vector<int16_t> Render(ahx_player* player, size_t frameCount) {
    std::vector<int16_t> frames(2 * frameCount);
    EXPECT_EQ(ahx_render_s16(player, frames.data(), frameCount), AHX_OK);
    return frames;
}

// What the engine renders itself, a fiftieth at a time as the plug-in does: the reference.
inline std::vector<int16_t> EngineRender(const std::vector<uint8_t>& bytes, size_t frameCount, uint32_t sampleRate,
                                         int32_t stereoMode = 0, uint32_t song = 0) {
    [[maybe_unused]] static const bool built = (BuildWaveTables(), true);
    std::unique_ptr<Tune, decltype(&FreeTune)> tune(
        LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), stereoMode, sampleRate), &FreeTune);
    EXPECT_TRUE(tune != nullptr);
    EXPECT_EQ(StartSubsong(tune.get(), song), 1u);
    std::vector<int16_t> frames;
    std::vector<int16_t> decode(2 * size_t{FramesPerDecode(tune.get())});
    while (frames.size() < 2 * frameCount) {
        DecodeFrame(tune.get(), decode.data(), decode.data() + 1, 2 * sizeof(int16_t));
        frames.insert(frames.end(), decode.begin(), decode.end());
    }
    frames.resize(2 * frameCount);
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
