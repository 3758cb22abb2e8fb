// The tick driver under rendering, seeking and measuring.
#include "lib/tick_driver.h"

#include <cstring>

#include "lib/keyframes.h"
#include "mixer/mixer.h"
#include "replay/replay.h"

namespace {

void StartTick(ahx_player* player, TickMode mode) {
    RecordKeyframe(player);
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

}  // namespace

uint32_t NextRunFrames(ahx_player* player, uint64_t framesWanted, TickMode mode) {
    if (player->framesLeftInTick == 0) StartTick(player, mode);
    return framesWanted < player->framesLeftInTick ? static_cast<uint32_t>(framesWanted) : player->framesLeftInTick;
}

void FinishRun(ahx_player* player, uint32_t runFrames) {
    player->framesLeftInTick -= runFrames;
    player->frame += runFrames;
}

bool SkipFrames(ahx_player* player, uint64_t frameCount) {
    bool skippedTick = false;
    uint64_t framesLeft = frameCount;
    while (framesLeft > 0) {
        skippedTick |= player->framesLeftInTick == 0;
        const uint32_t runFrames = NextRunFrames(player, framesLeft, TickMode::kSkip);
        AdvanceVoices(player->tune, runFrames);
        framesLeft -= runFrames;
        FinishRun(player, runFrames);
    }
    return skippedTick;
}

void RebuildVoiceBuffers(ahx_player* player) {
    Tune* tune = player->tune;
    for (uint32_t v = 0; v < VoicesInUse(tune); ++v) {
        Voice& voice = tune->voices[v];
        // A voice that never had a waveform still has the silent buffer of its reset.
        if (!voice.waveformChanged || voice.waveSource == nullptr) std::memset(voice.voiceBuffer, 0, sizeof voice.voiceBuffer);
    }
    RefillVoiceBuffers(tune);
}
