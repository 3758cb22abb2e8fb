// One command of a performance-list entry.
#include "loader/effect_commands.h"
#include "replay/replay.h"
#include "replay/voice_helpers.h"

namespace {

constexpr uint8_t kToggleNegative = 0xF;

void SetFilterPosition(Voice* voice, uint8_t param) {
    if (param == 0 || param > kHighestFilterPosition) {
        return;  // not a filter position; a pending step override waits for a valid one
    }
    if (voice->filterOverride != 0) {
        voice->filterPosition = voice->filterOverride;
        voice->filterOverride = 0;
    } else {
        voice->filterPosition = param;
    }
    voice->waveformChanged = 1;
}

void SetSquarePosition(Voice* voice, uint8_t param) {
    if (voice->squareSetByStep) {
        voice->squareSetByStep = 0;  // the step's own square position wins this once
        return;
    }
    voice->squarePosition = ScaleToWaveLength(param, voice->waveLength);
}

void ToggleSquareModulation(Voice* voice, int16_t sign) {
    voice->squareModOn = static_cast<uint16_t>(1 - voice->squareModOn);
    voice->squareModInit = voice->squareModOn;
    voice->squareSign = sign;
}

void ToggleFilterModulation(Voice* voice, int16_t sign) {
    voice->filterModOn = static_cast<uint8_t>(1 - voice->filterModOn);
    voice->filterModInit = voice->filterModOn;
    voice->filterSign = sign;
}

void SwitchModulation(Voice* voice, uint8_t param) {
    if (param == 0) {
        ToggleSquareModulation(voice, 1);
        return;
    }
    const uint8_t square = param & 0x0F;
    const uint8_t filter = param >> 4;
    if (square != 0) {
        ToggleSquareModulation(voice, square == kToggleNegative ? -1 : 1);
    }
    if (filter != 0) {
        ToggleFilterModulation(voice, filter == kToggleNegative ? -1 : 1);
    }
}

void SetRingModulation(Voice* voice, uint8_t param, uint8_t ringWaveform) {
    if (param >= 1 && param <= 60) {
        voice->ringNote = param;
        voice->ringFixed = 1;
    } else if (param >= 129 && param <= 188) {
        voice->ringNote = static_cast<int16_t>(param - 128);
        voice->ringFixed = 0;
    } else {
        voice->ringNote = 0;
        voice->ringFixed = 0;
        voice->ringOn = 0;
        voice->ringWave = nullptr;
        voice->ringMixSource = nullptr;
        return;
    }
    voice->ringWaveform = ringWaveform;
    voice->ringOn = 1;
    voice->ringPeriodChanged = 1;
}

void SetVolume(Voice* voice, uint8_t param) {
    if (param <= 0x40) {
        voice->noteVolume = param;
    } else if (param >= 0x50 && param <= 0x90) {
        voice->perfVolume = static_cast<int16_t>(param - 0x50);
    } else if (param >= 0xA0 && param <= 0xE0) {
        voice->masterVolume = static_cast<uint8_t>(param - 0xA0);
    }
}

}  // namespace

void ApplyPerfCommand(Voice* voice, uint8_t command, uint8_t param) {
    switch (command) {
        case kPerfFilterPosition:
            SetFilterPosition(voice, param);
            break;
        case kPerfSlideUp:
            voice->perfSlideSpeed = param;
            voice->perfSlideOn = 1;
            break;
        case kPerfSlideDown:
            voice->perfSlideSpeed = static_cast<int16_t>(-static_cast<int32_t>(param));
            voice->perfSlideOn = 1;
            break;
        case kPerfSquarePosition:
            SetSquarePosition(voice, param);
            break;
        case kPerfModulation:
            SwitchModulation(voice, param);
            break;
        case kPerfJump:
            voice->perfIndex = param;
            break;
        case kPerfRingTriangle:
            SetRingModulation(voice, param, kWaveTriangle);
            break;
        case kPerfRingSawtooth:
            SetRingModulation(voice, param, kWaveSawtooth);
            break;
        case kPerfPan:
            SetPanGains(voice, PanFromParam(param));
            break;
        case kPerfVolume:
            SetVolume(voice, param);
            break;
        case kPerfSpeed:
            voice->perfSpeed = param;
            voice->perfWait = param;
            break;
        default:
            break;
    }
}
