// The effect commands of a step, in the two passes around its instrument start and note.
#include <algorithm>

#include "loader/effect_commands.h"
#include "replay/replay.h"
#include "replay/voice_helpers.h"

namespace {

uint8_t HighNibble(uint8_t param) { return static_cast<uint8_t>(param >> 4); }
uint8_t LowNibble(uint8_t param) { return static_cast<uint8_t>(param & 0x0F); }

void RequestPositionJump(Tune* tune, uint8_t param) {
    const int32_t target = tune->nextPositionIndex * 100 + DecimalParam(param);
    tune->nextPositionIndex = static_cast<int16_t>(target);
    tune->positionChangePending = 1;
}

void RequestTrackBreak(Tune* tune, uint8_t param) {
    const int32_t step = DecimalParam(param);
    tune->nextPositionIndex = static_cast<int16_t>(tune->positionIndex + 1);
    tune->nextStepIndex = static_cast<uint16_t>(step < tune->trackLength ? step : 0);
    tune->positionChangePending = 1;
}

void ArmNoteCut(const Tune* tune, Voice* voice, uint8_t ticks) {
    if (ticks >= tune->tempo) {
        return;  // a cut after the step has ended would never fall inside it
    }
    voice->noteCutWait = ticks;
    if (ticks != 0) {
        voice->noteCutOn = 1;
        voice->hardCutRelease = 0;
    }
}

void SetVolume(Tune* tune, Voice* voice, uint8_t param) {
    if (param <= 0x40) {
        voice->noteVolume = param;
    } else if (param >= 0x50 && param <= 0x90) {
        for (uint32_t v = 0; v < VoicesInUse(tune); ++v) {
            tune->voices[v].masterVolume = static_cast<uint8_t>(param - 0x50);
        }
    } else if (param >= 0xA0 && param <= 0xE0) {
        voice->masterVolume = static_cast<uint8_t>(param - 0xA0);
    }
}

void SetFilter(Voice* voice, uint8_t param) {
    if (param >= 0x01 && param <= 0x3F) {
        voice->filterOverride = param;
    } else if (param >= 0x41 && param <= 0x7F) {
        voice->filterPosition = static_cast<int16_t>(param - 64);
    }
}

void SetSlide(Voice* voice, int32_t speed) {
    voice->slideSpeed = static_cast<int16_t>(speed);
    voice->slideOn = 1;
    voice->tonePortamento = 0;
}

void ApplyExtendedAfterNote(const Tune* tune, Voice* voice, uint8_t param) {
    const uint8_t x = LowNibble(param);
    switch (HighNibble(param)) {
        case kExtendedFineSlideUp:
            voice->periodOffset = static_cast<int16_t>(voice->periodOffset - x);
            voice->periodChanged = 1;
            break;
        case kExtendedFineSlideDown:
            voice->periodOffset = static_cast<int16_t>(voice->periodOffset + x);
            voice->periodChanged = 1;
            break;
        case kExtendedVibratoDepth:
            voice->vibratoDepth = x;
            break;
        case kExtendedFineVolumeUp:
            voice->noteVolume = static_cast<int16_t>(std::min<int32_t>(voice->noteVolume + x, kMaxVolume));
            break;
        case kExtendedFineVolumeDown:
            voice->noteVolume = static_cast<int16_t>(std::max<int32_t>(voice->noteVolume - x, 0));
            break;
        case kExtendedHoldTranspose:
            // Version 0 files predate the held transpose.
            if (x == 1 && tune->formatVersion != 0) {
                voice->heldTranspose = voice->transpose;
            }
            break;
        default:
            break;
    }
}

}  // namespace

void ApplyStepCommandBeforeNote(Tune* tune, Voice* voice, uint8_t command, uint8_t param) {
    switch (command) {
        case kStepPositionHundreds: {
            const uint8_t hundreds = LowNibble(param);
            if (hundreds >= 1 && hundreds <= 9) {
                tune->nextPositionIndex = hundreds;
            }
            break;
        }
        case kStepTonePortamentoVolumeSlide:
        case kStepVolumeSlide:
            voice->volumeSlideUp = HighNibble(param);
            voice->volumeSlideDown = LowNibble(param);
            break;
        case kStepPan: {
            const uint32_t pan = PanFromParam(param);
            voice->storedPan = pan;
            SetPanGains(voice, pan);
            break;
        }
        case kStepPositionJump:
            RequestPositionJump(tune, param);
            break;
        case kStepTrackBreak:
            RequestTrackBreak(tune, param);
            break;
        case kStepExtended:
            if (HighNibble(param) == kExtendedNoteCut) {
                ArmNoteCut(tune, voice, LowNibble(param));
            }
            break;
        case kStepTempo:
            tune->tempo = param;
            break;
        default:
            break;
    }
}

void ApplyStepCommandAfterNote(Tune* tune, Voice* voice, uint8_t command, uint8_t param) {
    switch (command) {
        case kStepPortamentoUp:
            SetSlide(voice, -static_cast<int32_t>(param));
            break;
        case kStepPortamentoDown:
            SetSlide(voice, param);
            break;
        case kStepFilter:
            SetFilter(voice, param);
            break;
        case kStepVolume:
            SetVolume(tune, voice, param);
            break;
        case kStepExtended:
            ApplyExtendedAfterNote(tune, voice, param);
            break;
        default:
            break;
    }
}
