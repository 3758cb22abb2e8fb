// Period-to-step conversion and the filling of the mixer's buffers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>

#include "replay/replay.h"
#include "replay/voice.h"
#include "waves/wave_bank.h"

namespace {

TEST(ConvertPeriodToStep, MatchesTheStatedStepsAt44100) {
    const struct {
        int16_t period;
        uint32_t step;
    } cases[] = {{113, 46645}, {428, 12315}, {856, 6157}, {1712, 3078}, {3424, 1539}};
    for (const auto& c : cases) EXPECT_EQ(ConvertPeriodToStep(c.period, 44100.0), c.step) << c.period;
}

TEST(ConvertPeriodToStep, GivesThePitchThePeriodImpliesAtEveryRate) {
    // The exact step is 3546897 * 65536 / (period * rate). The single-precision quotient is off by
    // at most 2^-24 of itself (< 0.02 of a step here) and the result is truncated, so the step
    // lies in (exact - 1.02, exact + 0.02).
    for (const double rate : {8000.0, 11025.0, 22050.0, 44100.0, 48000.0, 96000.0, 192000.0}) {
        for (int32_t period = 113; period <= 3424; ++period) {
            const double exact = 3546897.0 * 65536.0 / (period * rate);
            const double step = ConvertPeriodToStep(static_cast<int16_t>(period), rate);
            ASSERT_GT(step, exact - 1.02) << period << " at " << rate;
            ASSERT_LT(step, exact + 0.02) << period << " at " << rate;
        }
    }
}

TEST(ConvertPeriodToStep, NeverGivesAZeroStep) {
    EXPECT_EQ(ConvertPeriodToStep(0, 44100.0), 1u);     // a ring period never computed
    EXPECT_EQ(ConvertPeriodToStep(3424, 0.0), 1u);      // no rate: infinite quotient
    EXPECT_EQ(ConvertPeriodToStep(3424, 1e12), 1u);     // truncates to 0
    EXPECT_EQ(ConvertPeriodToStep(3424, NAN), 1u);
}

struct OutputVoice {
    std::unique_ptr<Voice> voice = std::make_unique<Voice>();
    int8_t source[kVoiceBufferSamples];

    OutputVoice() {
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) source[i] = static_cast<int8_t>(i * 3 + 1);
        voice->sampleStep = 1;
        voice->mixSource = voice->voiceBuffer;
    }
};

TEST(SetupVoiceOutput, RepeatsTheWaveformOverTheWholeBuffer) {
    for (uint16_t waveLength = 0; waveLength <= 5; ++waveLength) {
        OutputVoice out;
        Voice& voice = *out.voice;
        voice.waveform = kWaveSawtooth;
        voice.waveLength = waveLength;
        voice.waveSource = out.source;
        voice.waveformChanged = 1;
        SetupVoiceOutput(&voice, 44100.0);
        const uint32_t waveSamples = 4u << waveLength;
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) {
            ASSERT_EQ(voice.voiceBuffer[i], out.source[i % waveSamples]) << "length index " << waveLength;
        }
        EXPECT_EQ(voice.mixSource, voice.voiceBuffer);
        EXPECT_EQ(voice.waveformChanged, 1) << "stays set so the buffer is refilled every tick";
    }
}

TEST(SetupVoiceOutput, NoiseIsCopiedAsOneWindow) {
    OutputVoice out;
    Voice& voice = *out.voice;
    voice.waveform = kWaveNoise;
    voice.waveLength = 2;  // plays no part for noise
    voice.waveSource = out.source;
    voice.waveformChanged = 1;
    SetupVoiceOutput(&voice, 44100.0);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) ASSERT_EQ(voice.voiceBuffer[i], out.source[i]) << i;
}

TEST(SetupVoiceOutput, StepFollowsThePeriodOnlyWhenFlagged) {
    OutputVoice out;
    Voice& voice = *out.voice;
    voice.audioPeriod = 428;
    voice.periodChanged = 1;
    voice.audioVolume = 0x0140;  // only the low 8 bits reach the mixer
    SetupVoiceOutput(&voice, 44100.0);
    EXPECT_EQ(voice.sampleStep, 12315u);
    EXPECT_EQ(voice.periodChanged, 0);
    EXPECT_EQ(voice.mixVolume, 0x40);

    voice.audioPeriod = 856;  // a new transpose alone does not raise the flag
    SetupVoiceOutput(&voice, 44100.0);
    EXPECT_EQ(voice.sampleStep, 12315u);
    EXPECT_EQ(voice.voiceBuffer[0], 0) << "no waveform yet: the buffer is untouched";
}

TEST(SetupVoiceOutput, RingStepIsFixedOnTheTickRingModulationStarts) {
    OutputVoice out;
    Voice& voice = *out.voice;
    voice.waveLength = 3;
    voice.ringWave = out.source;
    voice.ringOn = 1;
    voice.ringPeriod = 856;
    voice.ringPeriodChanged = 1;
    SetupVoiceOutput(&voice, 44100.0);
    EXPECT_EQ(voice.ringStep, 6157u);
    EXPECT_EQ(voice.ringMixSource, voice.ringBuffer);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) ASSERT_EQ(voice.ringBuffer[i], out.source[i % 32]) << i;

    voice.ringPeriod = 1712;  // vibrato moves the ring period, not the ring step
    SetupVoiceOutput(&voice, 44100.0);
    EXPECT_EQ(voice.ringStep, 6157u);
    EXPECT_EQ(voice.ringOn, 1);
}

TEST(SetupVoiceOutput, RingTurnedOnAndOffBeforeItsPeriodWasComputedStepsBy1) {
    OutputVoice out;
    Voice& voice = *out.voice;
    voice.ringPeriodChanged = 1;  // ringPeriod still 0, ringOn clear again
    SetupVoiceOutput(&voice, 44100.0);
    EXPECT_EQ(voice.ringStep, 1u);
    EXPECT_EQ(voice.ringMixSource, nullptr);
}

}  // namespace
