#pragma once
// Which mixing loops run: the one place that chooses between the AVX2 and the portable forms
// (mix_voice.h). The AVX2 loops are used when the processor and the system support them; forcing
// the portable ones lets tests hold both to the same results on one machine.
#include "mixer/mix_voice.h"

// The loops that have two forms, as chosen.
struct MixLoops {
    void (*addVoice)(MixVoice* voice, int32_t* left, int32_t* right, uint32_t frameCount);
    void (*storeInterleaved)(const int32_t* left, const int32_t* right, uint32_t frameCount, int32_t mixGain,
                             uint8_t* frameBytes);
};

void ForcePortableMixing(bool forced);
MixLoops ChosenMixLoops();
