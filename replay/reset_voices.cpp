// Initial state of all 16 voices at a song start. The pan fields were just set by the song start
// and survive the reset.
#include "loader/tune.h"

void ResetVoices(Tune* tune) {
    for (uint32_t index = 0; index < kMaxChannels; ++index) {
        Voice& voice = tune->voices[index];
        const uint32_t storedPan = voice.storedPan;
        const uint32_t panGainLeft = voice.panGainLeft;
        const uint32_t panGainRight = voice.panGainRight;
        voice = Voice{};
        voice.storedPan = storedPan;
        voice.panGainLeft = panGainLeft;
        voice.panGainRight = panGainRight;
        voice.heldTranspose = kNoHeldTranspose;
        voice.sampleStep = 1;  // never 0: a silent voice still advances through its buffer
        voice.noiseSeed = 640;
        voice.mixSource = voice.voiceBuffer;
        voice.voiceIndex = static_cast<uint8_t>(index);
        voice.masterVolume = kMaxVolume;
    }
    // The readers store only modes 0..4; the guard keeps a hand-made Tune from indexing past the tables.
    const uint32_t mode = tune->stereoMode < kStereoModeCount ? tune->stereoMode : 0;
    tune->defaultPanLeft = StereoPanLeft[mode];
    tune->defaultPanRight = StereoPanRight[mode];
}
