// Loads an instrument into a voice: envelope, modulation limits, performance list, pan.
#include <algorithm>

#include "replay/replay.h"
#include "replay/voice_helpers.h"

namespace {

// A stage of zero ticks never runs, so its slope does not matter; 0 keeps the division defined.
int16_t EnvelopeDelta(int32_t volumeChange, uint16_t frames) {
    if (frames == 0) {
        return 0;  // stage inactive
    }
    return static_cast<int16_t>(volumeChange * 256 / static_cast<int32_t>(frames));
}

void LoadEnvelope(Voice* voice, const Envelope& envelope) {
    voice->attackFrames = static_cast<int16_t>(envelope.attackFrames);
    voice->attackDelta = EnvelopeDelta(envelope.attackVolume, envelope.attackFrames);
    voice->decayFrames = static_cast<int16_t>(envelope.decayFrames);
    voice->decayDelta =
        EnvelopeDelta(static_cast<int32_t>(envelope.decayVolume) - envelope.attackVolume, envelope.decayFrames);
    voice->sustainFrames = static_cast<int16_t>(envelope.sustainFrames);
    voice->releaseFrames = static_cast<int16_t>(envelope.releaseFrames);
    voice->releaseDelta =
        EnvelopeDelta(static_cast<int32_t>(envelope.releaseVolume) - envelope.decayVolume, envelope.releaseFrames);
}

void LoadSquareModulation(Voice* voice, const Instrument& instrument) {
    voice->squareNoReverse = 0;
    voice->squareSetByStep = 0;
    voice->squareModOn = 0;
    voice->squareWait = 0;
    const int16_t a = ScaleToWaveLength(instrument.squareLowerLimit, voice->waveLength);
    const int16_t b = ScaleToWaveLength(instrument.squareUpperLimit, voice->waveLength);
    voice->squareLower = std::min(a, b);
    voice->squareUpper = std::max(a, b);
}

void LoadFilterModulation(Voice* voice, const Instrument& instrument) {
    voice->filterModOn = 0;
    voice->filterWait = 0;
    voice->filterOverride = 0;
    voice->filterNoReverse = 0;
    voice->filterSpeed = instrument.filterSpeed;
    voice->filterUpper = std::max(instrument.filterLowerLimit, instrument.filterUpperLimit);
    voice->filterLower = std::min(instrument.filterLowerLimit, instrument.filterUpperLimit);
    voice->filterPosition = kUnfilteredPosition;
}

}  // namespace

void StartInstrument(Tune* tune, Voice* voice, uint32_t instrumentNumber) {
    if (instrumentNumber == 0 || instrumentNumber > tune->instrumentCount) {
        return;  // no such instrument in this tune
    }
    const Instrument& instrument = tune->instruments[instrumentNumber];

    SetPanGains(voice, voice->storedPan);
    voice->slideSpeed = 0;
    voice->periodOffset = 0;
    voice->portamentoTarget = 0;
    voice->perfVolume = kMaxVolume;
    voice->envelopeVolume = 0;
    voice->instrument = &instrument;
    voice->samplePosition = 0;
    LoadEnvelope(voice, instrument.envelope);

    // The readers keep wave lengths to 0..5; the cap keeps every shift and buffer index defined anyway.
    voice->waveLength = std::min<uint16_t>(instrument.waveLength, kHighestWaveLength);
    voice->noteVolume = instrument.volume;

    voice->vibratoPosition = 0;
    voice->vibratoDelay = instrument.vibratoDelay;
    voice->vibratoDepth = instrument.vibratoDepth;
    voice->vibratoSpeed = instrument.vibratoSpeed;
    voice->vibratoOffset = 0;

    voice->hardCutRelease = instrument.hardCutRelease;
    voice->hardCutFrames = instrument.hardCutFrames;

    LoadSquareModulation(voice, instrument);
    LoadFilterModulation(voice, instrument);

    voice->perfIndex = 0;
    voice->perfWait = 0;
    voice->perfSpeed = static_cast<int16_t>(instrument.perfList.speed);
    voice->perfList = &instrument.perfList;

    voice->ringMixSource = nullptr;
    voice->ringPosition = 0;
    voice->ringPeriodChanged = 0;
    voice->ringOn = 0;
}
