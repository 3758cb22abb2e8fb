// One replay tick: step processing on step boundaries, per-voice update, song counters, output setup.
#include <cstdint>

#include "loader/tune.h"
#include "replay/replay.h"

namespace {

// Position index that exists for a wanted target. Jump commands can aim past the end of the list
// or below 0; play then goes on where the song restarts, as it does after the last position.
int16_t ExistingPosition(const Tune* tune, int32_t target) {
    if (target >= 0 && target < tune->positionCount) return static_cast<int16_t>(target);
    // A restart position is kept below positionCount by the readers; 0 covers a tune that breaks that.
    if (tune->restartPosition < tune->positionCount) return static_cast<int16_t>(tune->restartPosition);
    return 0;
}

// Every voice takes its track and transpose from the current position, and the track it will
// play next for the hard-cut look-ahead.
void LoadPositionTracks(Tune* tune) {
    const int32_t following = tune->positionIndex + 1 == tune->positionCount ? 0 : tune->positionIndex + 1;
    const Position& current = tune->positions[tune->positionIndex];
    const Position& next = tune->positions[following];
    const uint32_t voiceCount = VoicesInUse(tune);
    for (uint32_t v = 0; v < voiceCount; ++v) {
        Voice& voice = tune->voices[v];
        voice.track = current.track[v];
        voice.transpose = current.transpose[v];
        voice.nextTrack = next.track[v];
    }
    tune->positionLoadPending = 0;
}

void ProcessStepTick(Tune* tune) {
    // An empty position list has no step to play; the voices still run down and are mixed.
    if (tune->positionCount == 0) {
        tune->stepWait = tune->tempo;
        return;
    }
    // A subsong may start outside the list; never read a position that does not exist.
    tune->positionIndex = ExistingPosition(tune, tune->positionIndex);
    if (tune->positionLoadPending) LoadPositionTracks(tune);
    const uint32_t voiceCount = VoicesInUse(tune);
    for (uint32_t v = 0; v < voiceCount; ++v) ProcessStep(tune, &tune->voices[v]);
    // Read after the step commands, so a tempo command already sets the length of its own step.
    tune->stepWait = tune->tempo;
}

void AdvanceSongCounters(Tune* tune) {
    // Tempo 0 freezes the song on its current step.
    if (tune->tempo <= 0) return;
    --tune->stepWait;
    // The current step still has ticks to run.
    if (tune->stepWait > 0) return;
    if (!tune->positionChangePending) {
        ++tune->stepIndex;
        // The tracks of this position still have steps.
        if (tune->stepIndex < tune->trackLength) return;
        tune->nextPositionIndex = static_cast<int16_t>(tune->positionIndex + 1);
        tune->nextStepIndex = 0;
    }
    tune->positionChangePending = 0;
    tune->positionIndex = ExistingPosition(tune, tune->nextPositionIndex);
    tune->stepIndex = static_cast<int16_t>(tune->nextStepIndex);
    tune->nextStepIndex = 0;
    tune->nextPositionIndex = 0;
    tune->positionLoadPending = 1;
}

}  // namespace

namespace {

void AdvanceReplay(Tune* tune) {
    if (tune->stepWait <= 0) ProcessStepTick(tune);
    const uint32_t voiceCount = VoicesInUse(tune);
    for (uint32_t v = 0; v < voiceCount; ++v) UpdateVoiceFrame(tune, &tune->voices[v]);
    AdvanceSongCounters(tune);
    const double mixFrequency = static_cast<double>(tune->mixFrequency);
    for (uint32_t v = 0; v < voiceCount; ++v) SetVoiceSteps(&tune->voices[v], mixFrequency);
}

}  // namespace

void PlayTick(Tune* tune) {
    AdvanceReplay(tune);
    RefillVoiceBuffers(tune);
}

void SkipTick(Tune* tune) {
    AdvanceReplay(tune);
}

void RefillVoiceBuffers(Tune* tune) {
    const uint32_t voiceCount = VoicesInUse(tune);
    for (uint32_t v = 0; v < voiceCount; ++v) FillVoiceBuffers(&tune->voices[v]);
}
