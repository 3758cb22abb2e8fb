// Puts a loaded tune at the first step of its main song or of one of its subsongs.
#include "loader/tune.h"
#include "waves/wave_bank.h"

namespace {

void SetVoicePan(Voice* voice, uint32_t pan) {
    voice->storedPan = pan;
    voice->panGainLeft = panTables.panLeft[pan & 0xFF];
    voice->panGainRight = panTables.panRight[pan & 0xFF];
}

}  // namespace

uint32_t StartSubsong(Tune* tune, uint32_t song) {
    if (song > tune->subsongCount) return 0;  // no such song; the tune keeps playing what it played

    // The readers keep every subsong start inside the position list (or 0 when it is empty).
    tune->positionIndex = song == 0 ? 0 : static_cast<int16_t>(tune->subsongList[song - 1]);
    tune->nextPositionIndex = 0;
    tune->positionChangePending = 0;
    tune->stepIndex = 0;
    tune->nextStepIndex = 0;
    tune->tempo = 6;
    tune->stepWait = 0;
    tune->positionLoadPending = 1;

    // Every group of four voices is panned left, right, right, left, whatever channelCount is.
    for (uint32_t index = 0; index < kMaxChannels; ++index) {
        const bool outer = index % 4 == 0 || index % 4 == 3;
        SetVoicePan(&tune->voices[index], outer ? tune->defaultPanLeft : tune->defaultPanRight);
    }
    ResetVoices(tune);
    return 1;
}
