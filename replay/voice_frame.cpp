// Advances one voice by one tick: delays and cuts, envelope, slides, vibrato, the performance
// list, the waveform sources, and the final period and volume.
#include <algorithm>

#include "replay/replay.h"
#include "replay/vibrato_table.h"
#include "replay/voice_helpers.h"
#include "replay/voice_waveform.h"

namespace {

constexpr int32_t kLowestPeriod = 113;
constexpr int32_t kHighestPeriod = 3424;

int16_t Wrap16(int32_t value) { return static_cast<int16_t>(value); }

// The envelope volume is a 32-bit field that wraps like the 16-bit ones.
int32_t WrapAdd32(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) + static_cast<uint32_t>(b));
}

void RunDeferredStep(Tune* tune, Voice* voice) {
    if (!voice->noteDelayOn) {
        return;  // no step waiting
    }
    if (voice->noteDelayWait > 0) {
        voice->noteDelayWait = Wrap16(voice->noteDelayWait - 1);
        return;
    }
    ProcessStep(tune, voice);
}

// An instrument with a hard cut ends its note shortly before a step that starts a new instrument.
void LookAheadForHardCut(const Tune* tune, Voice* voice) {
    if (voice->hardCutFrames == 0) {
        return;  // the instrument has no hard cut
    }
    const int32_t nextStepIndex = tune->stepIndex + 1;
    const Step* next = nextStepIndex < tune->trackLength
                           ? &tune->tracks[voice->track & 0xFF].steps[nextStepIndex & 0x3F]
                           : &tune->tracks[voice->nextTrack & 0xFF].steps[0];
    if (next->instrument == 0) {
        return;  // the next step keeps the note going
    }
    const int32_t wait = std::max(tune->tempo - voice->hardCutFrames, 0);
    if (voice->noteCutOn) {
        voice->hardCutFrames = 0;
        return;
    }
    voice->noteCutOn = 1;
    voice->noteCutWait = Wrap16(wait);
    voice->hardCutReleaseFrames = Wrap16(tune->tempo - wait);
}

void CountDownCut(Voice* voice) {
    if (!voice->noteCutOn) {
        return;  // no cut pending
    }
    if (voice->noteCutWait > 0) {
        voice->noteCutWait = Wrap16(voice->noteCutWait - 1);
        return;
    }
    voice->noteCutOn = 0;
    if (!voice->hardCutRelease || voice->instrument == nullptr) {
        voice->noteVolume = 0;
        return;
    }
    // A release over no ticks (tempo 0, or a note cut before any hard-cut look-ahead) takes one tick.
    const int32_t frames = std::max<int32_t>(voice->hardCutReleaseFrames, 1);
    const int64_t change = int64_t{voice->instrument->envelope.releaseVolume} * 256 - voice->envelopeVolume;
    voice->releaseDelta = static_cast<int16_t>(static_cast<int32_t>(change) / frames);
    voice->releaseFrames = Wrap16(frames);
    voice->sustainFrames = 0;
    voice->decayFrames = 0;
    voice->attackFrames = 0;
}

// Returns true when the stage ran this tick.
bool RunEnvelopeStage(Voice* voice, int16_t* frames, int16_t delta, uint16_t endVolume) {
    if (*frames == 0) {
        return false;  // stage finished or never set
    }
    voice->envelopeVolume = WrapAdd32(voice->envelopeVolume, delta);
    *frames = Wrap16(*frames - 1);
    if (*frames <= 0) {
        voice->envelopeVolume = endVolume * 256;
    }
    return true;
}

void RunEnvelope(Voice* voice) {
    if (voice->instrument == nullptr) {
        return;  // no envelope levels without an instrument
    }
    const Envelope& envelope = voice->instrument->envelope;
    if (RunEnvelopeStage(voice, &voice->attackFrames, voice->attackDelta, envelope.attackVolume)) {
        return;
    }
    if (RunEnvelopeStage(voice, &voice->decayFrames, voice->decayDelta, envelope.decayVolume)) {
        return;
    }
    if (voice->sustainFrames != 0) {
        voice->sustainFrames = Wrap16(voice->sustainFrames - 1);
        return;
    }
    RunEnvelopeStage(voice, &voice->releaseFrames, voice->releaseDelta, envelope.releaseVolume);
}

void RunVolumeSlide(Voice* voice) {
    const int16_t volume = Wrap16(voice->noteVolume + voice->volumeSlideUp - voice->volumeSlideDown);
    voice->noteVolume = static_cast<int16_t>(std::clamp<int32_t>(volume, 0, kMaxVolume));
}

void RunPeriodSlide(Voice* voice) {
    if (!voice->slideOn) {
        return;  // no slide this step
    }
    if (voice->tonePortamento == 0) {
        voice->periodOffset = Wrap16(voice->periodOffset + voice->slideSpeed);
        voice->periodChanged = 1;
        return;
    }
    const int32_t target = voice->portamentoTarget;
    const int32_t old = voice->periodOffset;
    if (old == target) {
        return;  // arrived
    }
    const int32_t step = old <= target ? voice->slideSpeed : -voice->slideSpeed;
    const int32_t moved = Wrap16(old + step);
    const bool passed = (moved - target < 0) != (old - target < 0);
    voice->periodOffset = Wrap16(passed ? target : moved);
    voice->periodChanged = 1;
}

void RunVibrato(Voice* voice) {
    if (voice->vibratoDepth == 0) {
        return;  // vibrato off; the last offset stays
    }
    if (voice->vibratoDelay > 0) {
        voice->vibratoDelay = Wrap16(voice->vibratoDelay - 1);
        return;
    }
    const int32_t sine = VibratoTable[voice->vibratoPosition & (kVibratoSteps - 1)];
    voice->vibratoOffset = Wrap16((sine * voice->vibratoDepth) >> 7);
    voice->periodChanged = 1;
    voice->vibratoPosition = Wrap16((voice->vibratoPosition + voice->vibratoSpeed) & (kVibratoSteps - 1));
}

void RunPerfEntry(Voice* voice, const PerfEntry& entry) {
    // Waveform values above 4 name no waveform; they are treated like 0, keep the waveform.
    if (entry.waveform != 0 && entry.waveform <= kHighestPerfWaveform) {
        voice->waveform = static_cast<uint8_t>(entry.waveform - 1);
        voice->waveformChanged = 1;
        voice->perfSlideSpeed = 0;
        voice->perfSlideOffset = 0;
    }
    voice->perfSlideOn = 0;
    ApplyPerfCommand(voice, entry.commands[0], entry.params[0]);
    ApplyPerfCommand(voice, entry.commands[1], entry.params[1]);
    if (entry.note != 0) {
        voice->perfNote = entry.note;
        voice->periodChanged = 1;
        voice->perfNoteFixed = entry.fixed != 0 ? 1 : 0;
    }
}

void RunPerfList(Voice* voice) {
    const PerfList* list = voice->perfList;
    if (list == nullptr) {
        return;  // no instrument has started yet
    }
    if (voice->instrument != nullptr && voice->perfIndex >= 0 && voice->perfIndex < list->length) {
        voice->perfWait = Wrap16(voice->perfWait - 1);
        if (voice->perfWait > 0) {
            return;
        }
        const PerfEntry& entry = list->entries[voice->perfIndex];
        voice->perfIndex = Wrap16(voice->perfIndex + 1);
        voice->perfWait = voice->perfSpeed;
        RunPerfEntry(voice, entry);
        return;
    }
    if (voice->perfWait != 0) {
        voice->perfWait = Wrap16(voice->perfWait - 1);
    } else {
        voice->perfSlideSpeed = 0;
    }
}

void RunPerfSlide(Voice* voice) {
    if (!voice->perfSlideOn) {
        return;  // the current entry has no slide
    }
    voice->perfSlideOffset = Wrap16(voice->perfSlideOffset - voice->perfSlideSpeed);
    if (voice->perfSlideOffset != 0) {
        voice->periodChanged = 1;
    }
}

// The period of a note with the voice's offsets; a fixed note ignores the track note, transpose and slides.
int16_t FinalPeriod(const Voice* voice, int32_t note, bool fixed) {
    const int32_t index = fixed ? note : note + voice->trackNote - 1 + TransposeInUse(voice);
    int32_t period = PeriodOfNote(index);
    if (!fixed) {
        period += voice->periodOffset;
    }
    const int16_t wrapped = Wrap16(period + voice->vibratoOffset + voice->perfSlideOffset);
    return static_cast<int16_t>(std::clamp<int32_t>(wrapped, kLowestPeriod, kHighestPeriod));
}

uint16_t FinalVolume(const Voice* voice) {
    const int64_t envelope = voice->envelopeVolume >> 8;
    const int32_t t1 = static_cast<int32_t>(envelope * voice->noteVolume) >> 6;
    const uint32_t t2 = (static_cast<uint32_t>(t1) * static_cast<uint32_t>(static_cast<int32_t>(voice->perfVolume))) >> 6;
    const uint32_t t3 = (t2 * voice->masterVolume) >> 6;
    return static_cast<uint16_t>(t3);
}

}  // namespace

void UpdateVoiceFrame(Tune* tune, Voice* voice) {
    RunDeferredStep(tune, voice);
    LookAheadForHardCut(tune, voice);
    CountDownCut(voice);
    RunEnvelope(voice);
    RunVolumeSlide(voice);
    RunPeriodSlide(voice);
    RunVibrato(voice);
    RunPerfList(voice);
    RunPerfSlide(voice);
    UpdateVoiceWaveform(tune, voice);
    if (voice->ringWave != nullptr) {
        voice->ringPeriod = FinalPeriod(voice, voice->ringNote, voice->ringFixed != 0);
    }
    voice->audioPeriod = FinalPeriod(voice, voice->perfNote, voice->perfNoteFixed != 0);
    voice->audioVolume = FinalVolume(voice);
}
