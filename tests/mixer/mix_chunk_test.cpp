// The mixer on hand-set voices: sample arithmetic, runs and buffer wrap, ring modulation, pans,
// saturation. Expected values are worked out by hand from the mixing rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "loader/tune.h"
#include "mixer/mixer.h"

namespace {

constexpr uint32_t kWrap = 640u << 16;

struct Frame {
    int16_t left;
    int16_t right;
};

std::unique_ptr<Tune> SilentTune(uint16_t channelCount, uint32_t mixGain) {
    auto tune = std::make_unique<Tune>();  // value-initialised: every voice all zeros
    tune->channelCount = channelCount;
    tune->mixGain = mixGain;
    tune->mixFrequency = 44100;
    for (Voice& voice : tune->voices) {
        voice.sampleStep = 1;
        voice.mixSource = voice.voiceBuffer;
    }
    return tune;
}

void SetVoice(Voice* voice, int8_t sample, uint8_t volume, uint32_t gainLeft, uint32_t gainRight) {
    for (int8_t& s : voice->voiceBuffer) s = sample;
    voice->mixVolume = volume;
    voice->panGainLeft = gainLeft;
    voice->panGainRight = gainRight;
}

std::vector<Frame> Mix(Tune* tune, uint32_t frameCount) {
    std::vector<Frame> frames(frameCount, Frame{12345, -12345});
    MixChunk(tune, frameCount, &frames[0].left, &frames[0].right, sizeof(Frame));
    return frames;
}

TEST(MixChunk, CentredVoiceGivesTheWorkedExample) {
    // v = 100 * 64 = 6400; (6400 * 180) >> 7 = 9000; (9000 * 181) >> 8 = 6363.
    auto tune = SilentTune(1, 181);
    SetVoice(&tune->voices[0], 100, 64, 180, 180);
    for (const Frame& frame : Mix(tune.get(), 16)) {
        EXPECT_EQ(frame.left, 6363);
        EXPECT_EQ(frame.right, 6363);
    }
}

TEST(MixChunk, EachVoiceTermIsFlooredOnItsOwn) {
    // -1 * 1 * 1 >> 7 is -1 for each voice (floor), so two voices give -2, not floor(-2/128) = -1.
    auto tune = SilentTune(2, 256);
    SetVoice(&tune->voices[0], -1, 1, 1, 0);
    SetVoice(&tune->voices[1], -1, 1, 1, 0);
    const Frame frame = Mix(tune.get(), 1)[0];
    EXPECT_EQ(frame.left, -2);
    EXPECT_EQ(frame.right, 0);
}

TEST(MixChunk, OneSamplePerFrameRestartsAtTheBufferStartAfter640Frames) {
    auto tune = SilentTune(1, 256);
    Voice& voice = tune->voices[0];
    SetVoice(&voice, 0, 1, 128, 128);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) voice.voiceBuffer[i] = static_cast<int8_t>(i * 7);
    voice.sampleStep = 1u << 16;
    const std::vector<Frame> frames = Mix(tune.get(), 2 * kVoiceBufferSamples);
    // With volume 1, gain 128 and mixGain 256 the output is the sample itself.
    for (uint32_t i = 0; i < frames.size(); ++i) {
        ASSERT_EQ(frames[i].left, voice.voiceBuffer[i % kVoiceBufferSamples]) << "frame " << i;
    }
    // The stored position is left at the end; the next call wraps it before use.
    EXPECT_EQ(voice.samplePosition, kWrap);
}

TEST(MixChunk, StepPastTheEndLimitsTheRunAndWrapsWithoutDisturbingOthers) {
    auto tune = SilentTune(2, 256);
    Voice& jumper = tune->voices[0];
    SetVoice(&jumper, 0, 1, 128, 0);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) jumper.voiceBuffer[i] = static_cast<int8_t>(i % 100);
    jumper.samplePosition = kWrap - 11;  // inside sample 639
    jumper.sampleStep = 3u << 16;
    Voice& steady = tune->voices[1];
    SetVoice(&steady, 0, 1, 0, 128);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) steady.voiceBuffer[i] = static_cast<int8_t>(i % 90);
    steady.sampleStep = 1u << 16;

    const std::vector<Frame> frames = Mix(tune.get(), 4);
    // 639 % 100 = 39; then kWrap - 11 + 3 * 65536 wraps to 196597, sample 2; then 5 and 8.
    EXPECT_EQ(frames[0].left, 39);
    EXPECT_EQ(frames[1].left, 2);
    EXPECT_EQ(frames[2].left, 5);
    EXPECT_EQ(frames[3].left, 8);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(frames[i].right, i);
}

TEST(MixChunk, StoredPositionAtTheEndIsWrappedByTheNextCall) {
    auto tune = SilentTune(1, 256);
    Voice& voice = tune->voices[0];
    SetVoice(&voice, 0, 1, 128, 128);
    voice.voiceBuffer[1] = 50;
    voice.samplePosition = kWrap + (1u << 16);  // one step beyond the end, as a call can leave it
    voice.sampleStep = 1u << 16;
    EXPECT_EQ(Mix(tune.get(), 1)[0].left, 50);
}

TEST(MixChunk, RingBufferActsAsASignedMultiplierBeforeTheVolume) {
    struct Case {
        int8_t sample;
        int8_t ring;
        int16_t expected;  // ((ring * sample) >> 7) * 64, at gain 128 and mixGain 256
    };
    const Case cases[] = {
        {100, 127, 99 * 64},    // 12700 >> 7 = 99
        {-100, 127, -100 * 64}, // -12700 >> 7 = -100 (floor)
        {100, -128, -100 * 64},
        {-128, -128, 128 * 64},
        {55, 0, 0},
    };
    for (const Case& c : cases) {
        auto tune = SilentTune(1, 256);
        Voice& voice = tune->voices[0];
        SetVoice(&voice, c.sample, 64, 128, 128);
        for (int8_t& r : voice.ringBuffer) r = c.ring;
        voice.ringMixSource = voice.ringBuffer;
        voice.ringStep = 1u << 16;
        EXPECT_EQ(Mix(tune.get(), 3)[2].left, c.expected) << int(c.sample) << " x " << int(c.ring);
    }
}

TEST(MixChunk, RingPositionLimitsTheRunAndWrapsOnItsOwn) {
    auto tune = SilentTune(1, 256);
    Voice& voice = tune->voices[0];
    SetVoice(&voice, 64, 1, 128, 128);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) voice.ringBuffer[i] = i == 639 ? 0 : 127;
    voice.ringMixSource = voice.ringBuffer;
    voice.ringPosition = kWrap - 1;
    voice.ringStep = 1u << 16;
    voice.sampleStep = 1u << 16;
    const std::vector<Frame> frames = Mix(tune.get(), 3);
    EXPECT_EQ(frames[0].left, 0);   // ring sample 639
    EXPECT_EQ(frames[1].left, 63);  // (127 * 64) >> 7 after the wrap
    EXPECT_EQ(voice.ringPosition, (3u << 16) - 1);
    EXPECT_EQ(voice.samplePosition, 3u << 16);
}

TEST(MixChunk, SilentVoicesStillAdvance) {
    auto tune = SilentTune(1, 256);
    Voice& voice = tune->voices[0];
    SetVoice(&voice, 127, 0, 254, 254);
    voice.sampleStep = 1000;
    for (const Frame& frame : Mix(tune.get(), 882)) {
        EXPECT_EQ(frame.left, 0);
        EXPECT_EQ(frame.right, 0);
    }
    EXPECT_EQ(voice.samplePosition, 882000u);
}

TEST(MixChunk, NoVoicesWritesZeroFrames) {
    auto tune = SilentTune(0, 256);
    SetVoice(&tune->voices[0], 127, 64, 254, 254);  // present but not in use
    for (const Frame& frame : Mix(tune.get(), 100)) {
        EXPECT_EQ(frame.left, 0);
        EXPECT_EQ(frame.right, 0);
    }
}

TEST(MixChunk, HardLeftPanIsSilentOnTheRight) {
    auto tune = SilentTune(1, 256);
    SetVoice(&tune->voices[0], -77, 64, 254, 0);
    const Frame frame = Mix(tune.get(), 1)[0];
    EXPECT_EQ(frame.left, (-77 * 64 * 254) >> 7);
    EXPECT_EQ(frame.right, 0);
}

TEST(MixChunk, LoudSumsSaturateInsteadOfWrapping) {
    struct Case {
        uint16_t voiceCount;
        int8_t sample;
        uint32_t mixGain;
        int16_t expected;
    };
    // One voice at sample 127, volume 64, gain 254: (8128 * 254) >> 7 = 16129; at -128: -16256.
    const Case cases[] = {
        {2, 127, 256, 32258},     // fits: passed through exactly
        {2, 127, 260, 32762},     // 32258 * 260 >> 8 = 32762, still fits
        {2, 127, 261, 32767},     // 32888 would wrap to -32648
        {16, 127, 256, 32767},    // 258064
        {2, -128, 256, -32512},
        {2, -128, 259, -32768},   // -32512 * 259 >> 8 = -32893
        {16, -128, 652, -32768},  // the largest HVL gain
    };
    for (const Case& c : cases) {
        auto tune = SilentTune(c.voiceCount, c.mixGain);
        for (uint32_t v = 0; v < c.voiceCount; ++v) SetVoice(&tune->voices[v], c.sample, 64, 254, 254);
        const Frame frame = Mix(tune.get(), 1)[0];
        EXPECT_EQ(frame.left, c.expected) << c.voiceCount << " voices, gain " << c.mixGain;
        EXPECT_EQ(frame.right, c.expected);
    }
}

TEST(MixChunk, PlanarAndInterleavedLayoutsHoldTheSameSamples) {
    auto tune = SilentTune(2, 200);
    auto twin = std::make_unique<Tune>(*tune);
    for (Tune* t : {tune.get(), twin.get()}) {
        for (uint32_t v = 0; v < 2; ++v) {
            Voice& voice = t->voices[v];
            SetVoice(&voice, 0, 40 + v * 20, 200 - v * 150, 60 + v * 100);
            for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) voice.voiceBuffer[i] = static_cast<int8_t>(i * (v + 3));
            voice.sampleStep = 30000 + v * 50000;
        }
    }
    const std::vector<Frame> interleaved = Mix(tune.get(), 1000);
    std::vector<int16_t> left(1000), right(1000);
    MixChunk(twin.get(), 1000, left.data(), right.data(), sizeof(int16_t));
    for (uint32_t i = 0; i < 1000; ++i) {
        ASSERT_EQ(interleaved[i].left, left[i]) << i;
        ASSERT_EQ(interleaved[i].right, right[i]) << i;
    }
}

TEST(MixChunk, FramesBeyondTheCountAreNotWritten) {
    auto tune = SilentTune(1, 256);
    SetVoice(&tune->voices[0], 10, 64, 128, 128);
    std::vector<Frame> frames(8, Frame{777, 777});
    MixChunk(tune.get(), 5, &frames[0].left, &frames[0].right, sizeof(Frame));
    EXPECT_EQ(frames[4].left, 640);
    EXPECT_EQ(frames[5].left, 777);
    EXPECT_EQ(frames[7].right, 777);
}

}  // namespace
