// Rendering, song selection, seeking and the voice mask: the replay driven one tick at a time, so
// that any request size and any seek land on exactly the frames a whole render would give.
#include <cstring>

#include "lib/keyframes.h"
#include "lib/player.h"
#include "lib/tick_driver.h"
#include "mixer/mixer.h"
#include "replay/replay.h"

namespace {

// Frames converted to floats per pass; the 16-bit samples wait on the stack.
constexpr uint32_t kFloatPassFrames = 512;
constexpr float kFullScale = 32768.0f;

void RenderInterleaved(ahx_player* player, int16_t* frames, size_t frameCount) {
    if (player->metering) std::memset(player->voicePeaks, 0, sizeof player->voicePeaks);
    uint16_t* peaks = player->metering ? player->voicePeaks : nullptr;
    size_t framesLeft = frameCount;
    while (framesLeft > 0) {
        const uint32_t runFrames = NextRunFrames(player, framesLeft, TickMode::kPlay);
        MixVoices(player->tune, player->audibleVoices, runFrames, frames, frames + 1, 2 * sizeof(int16_t), peaks);
        frames += size_t{runFrames} * 2;
        framesLeft -= runFrames;
        FinishRun(player, runFrames);
    }
}

}  // namespace

void RestartSong(ahx_player* player, uint32_t song) {
    if (song != player->song) ForgetKeyframes(player);
    StartSubsong(player->tune, song);
    player->song = song;
    player->framesLeftInTick = 0;
    player->frame = 0;
    player->heardPosition = player->tune->positionIndex;
    player->heardRow = 0;
    player->heardTick = 0;
    std::memset(player->voicePeaks, 0, sizeof player->voicePeaks);
}

ahx_result ahx_select_song(ahx_player* player, uint32_t song) {
    if (player == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    if (song > player->tune->subsongCount) return AHX_ERROR_NO_SUCH_SONG;
    RestartSong(player, song);
    return AHX_OK;
}

ahx_result ahx_render_s16(ahx_player* player, int16_t* frames, size_t frameCount) {
    if (player == nullptr || (frames == nullptr && frameCount > 0)) return AHX_ERROR_INVALID_ARGUMENT;
    RenderInterleaved(player, frames, frameCount);
    return AHX_OK;
}

ahx_result ahx_render_f32(ahx_player* player, float* frames, size_t frameCount) {
    if (player == nullptr || (frames == nullptr && frameCount > 0)) return AHX_ERROR_INVALID_ARGUMENT;
    int16_t pass[2 * kFloatPassFrames];
    size_t framesLeft = frameCount;
    while (framesLeft > 0) {
        const size_t passFrames = framesLeft < kFloatPassFrames ? framesLeft : kFloatPassFrames;
        RenderInterleaved(player, pass, passFrames);
        for (size_t i = 0; i < 2 * passFrames; ++i) frames[i] = static_cast<float>(pass[i]) / kFullScale;
        frames += 2 * passFrames;
        framesLeft -= passFrames;
    }
    return AHX_OK;
}

ahx_result ahx_render_stems_s16(ahx_player* player, int16_t* const* stems, size_t frameCount) {
    if (player == nullptr || (stems == nullptr && frameCount > 0)) return AHX_ERROR_INVALID_ARGUMENT;
    const uint32_t channels = player->info.channels;
    for (uint32_t c = 0; c < channels && frameCount > 0; ++c) {
        if (stems[c] == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    }
    int16_t* cursors[kMaxChannels] = {};
    for (uint32_t c = 0; c < channels && frameCount > 0; ++c) cursors[c] = stems[c];
    size_t framesLeft = frameCount;
    while (framesLeft > 0) {
        const uint32_t runFrames = NextRunFrames(player, framesLeft, TickMode::kPlay);
        MixStems(player->tune, player->audibleVoices, runFrames, cursors);
        for (uint32_t c = 0; c < channels; ++c) cursors[c] += size_t{runFrames} * 2;
        framesLeft -= runFrames;
        FinishRun(player, runFrames);
    }
    return AHX_OK;
}

ahx_result ahx_seek(ahx_player* player, uint64_t frame) {
    if (player == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    RestoreNearestKeyframe(player, frame);
    // Backwards without a snapshot means from the song's start again: the replay cannot run in reverse.
    if (frame < player->frame) RestartSong(player, player->song);
    if (SkipFrames(player, frame - player->frame)) RebuildVoiceBuffers(player);
    std::memset(player->voicePeaks, 0, sizeof player->voicePeaks);
    return AHX_OK;
}

ahx_result ahx_set_voice_mask(ahx_player* player, uint32_t mask) {
    if (player == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    player->audibleVoices = mask & kAllVoices;
    return AHX_OK;
}

ahx_result ahx_set_metering(ahx_player* player, int enabled) {
    if (player == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    player->metering = enabled != 0;
    if (!player->metering) std::memset(player->voicePeaks, 0, sizeof player->voicePeaks);
    return AHX_OK;
}
