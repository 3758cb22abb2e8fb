#pragma once
// Players opened through the public header, and the library's render that the tool's and the
// player's output is compared with.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

#include "ahx/ahx.h"

struct PlayerCloser {
    void operator()(ahx_player* player) const { ahx_close(player); }
};
using PlayerPtr = std::unique_ptr<ahx_player, PlayerCloser>;

// The player, or null when the library refuses the module or the settings.
inline PlayerPtr OpenPlayer(const std::vector<uint8_t>& bytes, uint32_t sampleRate = 44100, int32_t stereoMode = 0) {
    const ahx_settings settings{sampleRate, stereoMode};
    ahx_player* player = nullptr;
    ahx_open(bytes.data(), bytes.size(), &settings, &player);
    return PlayerPtr(player);
}

// What the library renders from the song's first frame: the mix of the channels in mask (bit c
// for channel c + 1), or with stem >= 0 that channel (from 0) alone.
struct Reference {
    uint32_t song = 0;
    int32_t stereoMode = 0;
    uint32_t rate = 44100;
    uint32_t mask = 0xFFFF;
    int stem = -1;
};

inline std::vector<int16_t> LibraryRender(const std::vector<uint8_t>& module, const Reference& r, uint64_t frameCount) {
    const PlayerPtr player = OpenPlayer(module, r.rate, r.stereoMode);
    if (player == nullptr || ahx_select_song(player.get(), r.song) != AHX_OK) {
        throw std::runtime_error("the library refused the module");
    }
    ahx_set_voice_mask(player.get(), r.mask);
    std::vector<int16_t> samples(frameCount * 2);
    if (r.stem < 0) {
        ahx_render_s16(player.get(), samples.data(), frameCount);
        return samples;
    }
    std::vector<std::vector<int16_t>> stems(ahx_get_info(player.get())->channels, samples);
    std::vector<int16_t*> pointers;
    for (auto& stem : stems) pointers.push_back(stem.data());
    ahx_render_stems_s16(player.get(), pointers.data(), frameCount);
    return stems[static_cast<size_t>(r.stem)];
}
