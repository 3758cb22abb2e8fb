// Plays one voice's current step: note delay, the two command passes, instrument start, note.
#include "loader/effect_commands.h"
#include "replay/replay.h"
#include "replay/voice_helpers.h"

namespace {

struct CommandPair {
    uint8_t command;
    uint8_t param;
};

bool IsNoteDelay(CommandPair pair) {
    return pair.command == kStepExtended && (pair.param >> 4) == kExtendedNoteDelay;
}

bool IsTonePortamento(uint8_t command) {
    return command == kStepTonePortamento || command == kStepTonePortamentoVolumeSlide;
}

enum class DelayOutcome { NotADelay, ProcessNow, Deferred };

// A delayed step is seen twice: first it arms the wait, then the deferred call plays it.
DelayOutcome CheckNoteDelay(const Tune* tune, Voice* voice, CommandPair pair) {
    if (!IsNoteDelay(pair)) {
        return DelayOutcome::NotADelay;
    }
    if (voice->noteDelayOn) {
        voice->noteDelayOn = 0;
        return DelayOutcome::ProcessNow;
    }
    const int32_t ticks = pair.param & 0x0F;
    if (ticks < tune->tempo) {
        voice->noteDelayWait = static_cast<int16_t>(ticks);
        if (ticks != 0) {
            voice->noteDelayOn = 1;
            return DelayOutcome::Deferred;
        }
    }
    return DelayOutcome::NotADelay;
}

bool IsDeferred(const Tune* tune, Voice* voice, CommandPair first, CommandPair second) {
    const DelayOutcome outcome = CheckNoteDelay(tune, voice, first);
    if (outcome == DelayOutcome::Deferred) {
        return true;
    }
    if (outcome == DelayOutcome::ProcessNow) {
        return false;
    }
    return CheckNoteDelay(tune, voice, second) == DelayOutcome::Deferred;
}

// The note becomes the portamento's target instead of being played; returns the note left over (0).
uint8_t StartTonePortamento(Voice* voice, uint8_t param, uint8_t note) {
    if (param != 0) {
        voice->slideSpeed = param;
    }
    if (note != 0) {
        const int32_t difference =
            static_cast<int32_t>(PeriodOfNote(voice->trackNote)) - static_cast<int32_t>(PeriodOfNote(note));
        if (voice->periodOffset + difference != 0) {
            voice->portamentoTarget = static_cast<int16_t>(-difference);
        }
    }
    voice->slideOn = 1;
    voice->tonePortamento = 1;
    return 0;
}

void SetSquarePosition(Voice* voice, uint8_t param) {
    voice->squarePosition = ScaleToWaveLength(param, voice->waveLength);
    voice->squareChanged = 1;
    voice->squareSetByStep = 1;
}

const Step* FindStep(const Tune* tune, const Voice* voice) {
    if (tune->positionIndex < 0 || tune->positionIndex >= tune->positionCount) {
        return nullptr;  // no position to read
    }
    if (tune->stepIndex < 0 || tune->stepIndex >= static_cast<int16_t>(kMaxTrackLength)) {
        return nullptr;  // outside the track store
    }
    if (voice->voiceIndex >= kMaxChannels) {
        return nullptr;  // not a voice of this tune
    }
    const uint8_t track = tune->positions[tune->positionIndex].track[voice->voiceIndex];
    return &tune->tracks[track].steps[tune->stepIndex];
}

}  // namespace

void ProcessStep(Tune* tune, Voice* voice) {
    voice->volumeSlideUp = 0;
    voice->volumeSlideDown = 0;

    const Step* step = FindStep(tune, voice);
    if (step == nullptr) {
        return;  // nothing to play
    }
    const CommandPair first{static_cast<uint8_t>(step->command1 & 0x0F), step->param1};
    const CommandPair second{static_cast<uint8_t>(step->command2 & 0x0F), step->param2};

    if (IsDeferred(tune, voice, first, second)) {
        return;  // UpdateVoiceFrame plays the step when its wait runs out
    }
    // A step played now supersedes any deferred one, even one whose step ended before its delay did.
    voice->noteDelayOn = 0;

    uint8_t note = step->note;
    if (note != 0) {
        voice->heldTranspose = kNoHeldTranspose;
    }

    ApplyStepCommandBeforeNote(tune, voice, first.command, first.param);
    ApplyStepCommandBeforeNote(tune, voice, second.command, second.param);

    if (step->instrument != 0 && step->instrument <= tune->instrumentCount) {
        StartInstrument(tune, voice, step->instrument);
    }

    voice->slideOn = 0;

    if (IsTonePortamento(first.command)) {
        note = StartTonePortamento(voice, first.param, note);
    } else if (first.command == kStepSquarePosition) {
        SetSquarePosition(voice, first.param);
    }

    if (IsTonePortamento(second.command)) {
        note = StartTonePortamento(voice, second.param, note);
    } else {
        if (second.command == kStepSquarePosition) {
            SetSquarePosition(voice, second.param);
        }
        if (note != 0) {
            voice->trackNote = note;
            voice->periodChanged = 1;
        }
    }

    ApplyStepCommandAfterNote(tune, voice, first.command, first.param);
    ApplyStepCommandAfterNote(tune, voice, second.command, second.param);
}
