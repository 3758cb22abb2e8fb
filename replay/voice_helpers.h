#pragma once
// Small helpers shared by the step, performance-list and per-tick code of the replay.
#include <cstdint>

#include "replay/voice.h"
#include "waves/wave_bank.h"

// Note indices outside the period table read its nearest end.
inline uint16_t PeriodOfNote(int32_t note) {
    if (note < 0) {
        return PeriodTable[0];
    }
    if (note > static_cast<int32_t>(kHighestNote)) {
        return PeriodTable[kHighestNote];
    }
    return PeriodTable[note];
}

// Pan position from a signed 8-bit parameter: 0x00 is the centre, 0x80 fully left.
inline uint32_t PanFromParam(uint8_t param) {
    return static_cast<uint32_t>(param ^ 0x80u);
}

inline void SetPanGains(Voice* voice, uint32_t pan) {
    voice->panGainLeft = panTables.panLeft[pan & 0xFFu];
    voice->panGainRight = panTables.panRight[pan & 0xFFu];
}

// Square positions and limits are given for 128-sample waves and scale down with the length.
inline int16_t ScaleToWaveLength(uint8_t value, uint16_t waveLength) {
    return static_cast<int16_t>(value >> (5 - waveLength));
}

// The transpose a voice's notes use: a held one when a step froze it.
inline int32_t TransposeInUse(const Voice* voice) {
    return voice->heldTranspose != kNoHeldTranspose ? voice->heldTranspose : voice->transpose;
}

// Filter positions outside the bank (a fresh voice has 0) read the unfiltered set.
inline uint32_t UsableFilterPosition(int16_t filterPosition) {
    if (filterPosition < 1 || filterPosition > static_cast<int16_t>(kWaveSetCount)) {
        return kUnfilteredSet + 1;
    }
    return static_cast<uint32_t>(filterPosition);
}
