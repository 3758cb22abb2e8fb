// Where the song is and what every voice does, for displays.
#include "lib/player.h"
#include "mixer/mixer.h"

static_assert(sizeof(ahx_state::voices) / sizeof(ahx_voice_state) == kMaxChannels, "one entry per voice");

ahx_result ahx_get_state(const ahx_player* player, ahx_state* state) {
    if (player == nullptr || state == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    const Tune& tune = *player->tune;
    *state = ahx_state{};
    state->song = player->song;
    state->position = static_cast<uint16_t>(player->heardPosition);
    state->row = static_cast<uint16_t>(player->heardRow);
    state->tick = static_cast<uint16_t>(player->heardTick);
    state->tempo = tune.tempo > 0 ? static_cast<uint32_t>(tune.tempo) : 0;
    state->frame = player->frame;
    state->voice_mask = player->audibleVoices & ((1u << tune.channelCount) - 1);
    state->channels = tune.channelCount;
    for (uint32_t v = 0; v < VoicesInUse(&tune); ++v) {
        const Voice& voice = tune.voices[v];
        ahx_voice_state& out = state->voices[v];
        out.note = static_cast<uint8_t>(voice.trackNote);
        out.instrument = voice.instrument != nullptr ? static_cast<uint8_t>(voice.instrument - tune.instruments) : 0;
        out.volume = voice.mixVolume;
        out.pan = static_cast<uint8_t>(voice.storedPan);
        out.level = static_cast<float>(player->voicePeaks[v]) / static_cast<float>(kVoicePeakFullScale);
    }
    return AHX_OK;
}
