// Rendering, song selection, seeking and the voice mask: the replay driven one tick at a time, so
// that any request size and any seek land on exactly the frames a whole render would give.
#include <cstring>

#include "lib/player.h"
#include "mixer/mixer.h"
#include "replay/replay.h"

namespace {

// Frames converted to floats per pass; the 16-bit samples wait on the stack.
constexpr uint32_t kFloatPassFrames = 512;
constexpr float kFullScale = 32768.0f;

// How a tick is run: for listening, or for skipping (no buffer copies, nothing mixed).
enum class TickMode { kPlay, kSkip };

void StartTick(ahx_player* player, TickMode mode) {
    Tune* tune = player->tune;
    // A step tick plays the step the counters point at; later ticks keep playing it.
    if (tune->stepWait <= 0) {
        player->heardPosition = tune->positionIndex;
        player->heardRow = tune->stepIndex;
        player->heardTick = 0;
    } else {
        ++player->heardTick;
    }
    if (mode == TickMode::kPlay) {
        PlayTick(tune);
    } else {
        SkipTick(tune);
    }
    player->framesLeftInTick = player->framesPerTick;
}

// Frames of the current tick that can go out now, starting a tick first when the last one is done.
uint32_t NextRunFrames(ahx_player* player, uint64_t framesWanted, TickMode mode) {
    if (player->framesLeftInTick == 0) StartTick(player, mode);
    return framesWanted < player->framesLeftInTick ? static_cast<uint32_t>(framesWanted) : player->framesLeftInTick;
}

void FinishRun(ahx_player* player, uint32_t runFrames) {
    player->framesLeftInTick -= runFrames;
    player->frame += runFrames;
}

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
    // Backwards means from the song's start again: the replay cannot run in reverse.
    if (frame < player->frame) RestartSong(player, player->song);
    uint64_t framesLeft = frame - player->frame;
    bool skippedTick = false;
    while (framesLeft > 0) {
        skippedTick |= player->framesLeftInTick == 0;
        const uint32_t runFrames = NextRunFrames(player, framesLeft, TickMode::kSkip);
        AdvanceVoices(player->tune, runFrames);
        framesLeft -= runFrames;
        FinishRun(player, runFrames);
    }
    // The skipped ticks left the voice buffers as they were; the rest of the current tick needs them.
    if (skippedTick) RefillVoiceBuffers(player->tune);
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
