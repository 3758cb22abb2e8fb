// What the module holds: header values, names, song starts and the pattern data.
#include <cstring>

#include "lib/player.h"

const ahx_info* ahx_get_info(const ahx_player* player) {
    return player != nullptr ? &player->info : nullptr;
}

const char* ahx_instrument_name(const ahx_player* player, uint32_t instrument) {
    if (player == nullptr || instrument == 0 || instrument > player->tune->instrumentCount) return nullptr;
    return player->tune->instruments[instrument].name;
}

ahx_result ahx_get_song_start(const ahx_player* player, uint32_t song, uint32_t* position) {
    if (player == nullptr || position == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    const Tune& tune = *player->tune;
    if (song > tune.subsongCount) return AHX_ERROR_NO_SUCH_SONG;
    *position = song == 0 ? 0 : tune.subsongList[song - 1];
    return AHX_OK;
}

ahx_result ahx_get_step(const ahx_player* player, uint32_t track, uint32_t row, ahx_step* step) {
    if (player == nullptr || step == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    const Tune& tune = *player->tune;
    if (track >= kMaxTracks || row >= tune.trackLength) return AHX_ERROR_INVALID_ARGUMENT;
    const Step& stored = tune.tracks[track].steps[row];
    *step = ahx_step{stored.note, stored.instrument, stored.command1, stored.param1, stored.command2, stored.param2};
    return AHX_OK;
}

ahx_result ahx_get_position(const ahx_player* player, uint32_t position, ahx_position* out) {
    if (player == nullptr || out == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    const Tune& tune = *player->tune;
    if (position >= tune.positionCount) return AHX_ERROR_INVALID_ARGUMENT;
    static_assert(sizeof out->track == sizeof tune.positions[0].track, "one track per channel");
    static_assert(sizeof out->transpose == sizeof tune.positions[0].transpose, "one transpose per channel");
    std::memcpy(out->track, tune.positions[position].track, sizeof out->track);
    std::memcpy(out->transpose, tune.positions[position].transpose, sizeof out->transpose);
    return AHX_OK;
}
