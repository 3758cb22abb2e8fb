#pragma once
// Playback state of one channel, and the note-to-period table.
#include <cstdint>

#include "loader/module_records.h"

struct Tune;

constexpr uint32_t kVoiceBufferSamples = 640;
// A 16.16 position wraps here: 640 << 16 = 41943040.
constexpr uint32_t kBufferSpanFixed = kVoiceBufferSamples << 16;
constexpr uint32_t kSquareBufferSamples = 128;
constexpr int16_t kNoHeldTranspose = 1000;
constexpr uint32_t kHighestNote = 60;

// Periods of notes 0..60; entry 0 is 0.
extern const uint16_t PeriodTable[kHighestNote + 1];

struct Voice {
    int16_t track;
    int16_t nextTrack;
    int16_t transpose;
    int16_t heldTranspose;
    int32_t envelopeVolume;
    int16_t attackFrames;
    int16_t attackDelta;
    int16_t decayFrames;
    int16_t decayDelta;
    int16_t sustainFrames;
    int16_t releaseFrames;
    int16_t releaseDelta;
    const Instrument* instrument;
    uint32_t samplePosition;  // 16.16
    uint32_t sampleStep;      // 16.16, never 0
    uint16_t perfNote;
    uint16_t trackNote;
    int16_t vibratoOffset;
    uint16_t waveLength;
    int16_t noteVolume;
    int16_t perfVolume;
    uint8_t waveformChanged;
    uint8_t waveform;
    uint8_t periodChanged;
    uint8_t mixVolume;
    uint8_t squareChanged;
    uint8_t squareSetByStep;
    uint8_t perfNoteFixed;
    int16_t volumeSlideUp;
    int16_t volumeSlideDown;
    int16_t hardCutFrames;
    uint8_t hardCutRelease;
    int16_t hardCutReleaseFrames;
    uint8_t slideOn;
    int16_t slideSpeed;
    int16_t periodOffset;
    int16_t portamentoTarget;
    uint16_t tonePortamento;
    int16_t perfSlideSpeed;
    int16_t perfSlideOffset;
    uint8_t perfSlideOn;
    int16_t vibratoDelay;
    int16_t vibratoSpeed;
    int16_t vibratoPosition;
    int16_t vibratoDepth;
    uint16_t squareModOn;
    uint16_t squareModInit;
    int16_t squareWait;
    int16_t squareLower;
    int16_t squareUpper;
    int16_t squarePosition;
    int16_t squareSign;
    uint16_t squareNoReverse;
    uint8_t filterModOn;
    uint8_t filterModInit;
    int16_t filterWait;
    int16_t filterSpeed;
    int16_t filterUpper;
    int16_t filterLower;
    int16_t filterPosition;
    int16_t filterSign;
    uint16_t filterNoReverse;
    int16_t filterOverride;
    int16_t perfIndex;
    int16_t perfSpeed;
    int16_t perfWait;
    const PerfList* perfList;
    const int8_t* waveSource;
    uint8_t noteDelayOn;
    uint8_t noteCutOn;
    int16_t noteDelayWait;
    int16_t noteCutWait;
    int16_t audioPeriod;
    uint16_t audioVolume;
    uint32_t noiseSeed;
    const int8_t* mixSource;
    int8_t squareBuffer[kSquareBufferSamples];
    int8_t voiceBuffer[kVoiceBufferSamples];
    uint8_t voiceIndex;
    uint8_t masterVolume;
    uint32_t storedPan;
    uint32_t panGainLeft;
    uint32_t panGainRight;
    uint32_t ringPosition;  // 16.16
    uint32_t ringStep;      // 16.16
    const int8_t* ringMixSource;
    uint8_t ringPeriodChanged;
    int16_t ringNote;
    int16_t ringPeriod;
    const int8_t* ringWave;
    uint8_t ringOn;
    uint8_t ringWaveform;
    uint8_t ringFixed;
    int8_t ringBuffer[kVoiceBufferSamples];
};

// Puts all 16 voices of the tune into their initial state; keeps the pan fields.
void ResetVoices(Tune* tune);
