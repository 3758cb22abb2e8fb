// Square-width and filter modulation, the square build and the sample sources they select.
#include "replay/voice_waveform.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "replay/noise_window.h"
#include "replay/voice_helpers.h"

namespace {

constexpr int32_t kSquareWidthFold = 64;

// A modulation that starts outside its limits heads for them and passes the first one it meets.
void ChooseDirection(int32_t position, int16_t lower, int16_t upper, int16_t* sign, uint16_t* noReverse) {
    if (position <= lower) {
        *sign = 1;
        *noReverse = 1;
    } else if (position >= upper) {
        *sign = -1;
        *noReverse = 1;
    }
}

void TurnAtLimit(int32_t position, int16_t lower, int16_t upper, int16_t* sign, uint16_t* noReverse) {
    if (position != lower && position != upper) {
        return;  // inside the range: keep going
    }
    if (*noReverse) {
        *noReverse = 0;
    } else {
        *sign = static_cast<int16_t>(-*sign);
    }
}

void ModulateSquare(Voice* voice) {
    if (voice->waveform != kWaveSquare || voice->squareModOn == 0) {
        return;  // only a sounding square has a width to move
    }
    voice->squareWait = static_cast<int16_t>(voice->squareWait - 1);
    if (voice->squareWait > 0) {
        return;  // not yet time for the next width step
    }
    if (voice->squareModInit) {
        voice->squareModInit = 0;
        ChooseDirection(voice->squarePosition, voice->squareLower, voice->squareUpper, &voice->squareSign,
                        &voice->squareNoReverse);
    }
    TurnAtLimit(voice->squarePosition, voice->squareLower, voice->squareUpper, &voice->squareSign,
                &voice->squareNoReverse);
    voice->squarePosition = static_cast<int16_t>(voice->squarePosition + voice->squareSign);
    voice->squareChanged = 1;
    voice->squareWait = voice->instrument != nullptr ? voice->instrument->squareSpeed : 0;
}

void ModulateFilter(Voice* voice) {
    if (voice->filterModOn == 0) {
        return;  // filter modulation is off
    }
    voice->filterWait = static_cast<int16_t>(voice->filterWait - 1);
    if (voice->filterWait > 0) {
        return;  // not yet time for the next filter step
    }
    if (voice->filterModInit) {
        voice->filterModInit = 0;
        ChooseDirection(voice->filterPosition, voice->filterLower, voice->filterUpper, &voice->filterSign,
                        &voice->filterNoReverse);
    }
    // Slow speeds take one unit per step; speeds 0 to 2 make up for stepping every tick with larger moves.
    const int32_t moves = voice->filterSpeed < 3 ? 5 - voice->filterSpeed : 1;
    int32_t position = voice->filterPosition;
    for (int32_t i = 0; i < moves; ++i) {
        TurnAtLimit(position, voice->filterLower, voice->filterUpper, &voice->filterSign, &voice->filterNoReverse);
        position += voice->filterSign;
    }
    voice->filterPosition = static_cast<int16_t>(std::clamp(position, kLowestFilterPosition, kHighestFilterPosition));
    voice->waveformChanged = 1;
    const int32_t wait = voice->filterSpeed - 3;
    voice->filterWait = static_cast<int16_t>(wait > 0 ? wait : 1);
}

void BuildSquare(Voice* voice) {
    const uint32_t shift = 5u - voice->waveLength;
    int32_t width = voice->squarePosition * (1 << shift);
    if (width > static_cast<int32_t>(kSquareWidthCount)) {
        width = kSquareWidthFold - width;
    }
    const int32_t square = width > 0 ? width - 1 : 0;
    const int8_t* source = WaveSetStart(UsableFilterPosition(voice->filterPosition)) + kSquaresOffset +
                           static_cast<uint32_t>(square) * kSquareSamples;
    const uint32_t stride = 32u >> voice->waveLength;
    const uint32_t length = 4u << voice->waveLength;
    if (stride == 1) {
        std::memcpy(voice->squareBuffer, source, length);  // the longest waveform takes the square as it is
    } else {
        for (uint32_t i = 0; i < length; ++i) voice->squareBuffer[i] = source[i * stride];
    }
    voice->waveformChanged = 1;
    voice->waveform = kWaveSquare;
    voice->squareChanged = 0;
}

// Samples between the unfiltered set and the set of this voice's filter position.
ptrdiff_t FilterSetDistance(const Voice* voice) {
    const int32_t position = static_cast<int32_t>(UsableFilterPosition(voice->filterPosition));
    return static_cast<ptrdiff_t>(position - kUnfilteredPosition) * kWaveSetSamples;
}

void ChooseWaveSource(const Tune* tune, Voice* voice) {
    switch (voice->waveform) {
        case kWaveTriangle:
        case kWaveSawtooth:
            voice->waveSource =
                tune->waveformBase[voice->waveform] + FilterSetDistance(voice) + WaveOffsets[voice->waveLength];
            break;
        case kWaveSquare:
            voice->waveSource = voice->squareBuffer;
            break;
        case kWaveNoise:
            voice->waveSource =
                tune->waveformBase[kWaveNoise] + FilterSetDistance(voice) + NoiseWindowOffset(voice->noiseSeed);
            voice->noiseSeed = AdvanceNoiseSeed(voice->noiseSeed);
            break;
        default:
            break;
    }
}

}  // namespace

void UpdateVoiceWaveform(const Tune* tune, Voice* voice) {
    ModulateSquare(voice);
    ModulateFilter(voice);

    if (voice->waveform == kWaveSquare || voice->squareChanged) {
        BuildSquare(voice);
    } else if (voice->waveform == kWaveNoise) {
        voice->waveformChanged = 1;
    }

    if (voice->ringOn) {
        voice->ringWave = tune->waveformBase[voice->ringWaveform] + WaveOffsets[voice->waveLength];
    }
    if (voice->waveformChanged) {
        ChooseWaveSource(tune, voice);
    }
}
