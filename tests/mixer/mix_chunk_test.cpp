// The mixer on hand-set voices: sample arithmetic, ring modulation, saturation, runs and buffer wrap.
// Expected values are worked out by hand from the mixing rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "loader/tune.h"
#include "mixer/mixer.h"

namespace {

constexpr uint32_t kWrap = 640u << 16;
constexpr int16_t kNoRing = 256;

struct Frame {
    int16_t left, right;
    bool operator==(const Frame&) const = default;
};

// channelCount voices, each playing `sample` throughout at one sample a frame (value-initialised otherwise).
std::unique_ptr<Tune> MakeTune(uint16_t channelCount, uint32_t mixGain, int8_t sample, uint8_t volume, uint32_t gain) {
    auto tune = std::make_unique<Tune>();
    tune->channelCount = channelCount;
    tune->mixGain = mixGain;
    for (Voice& voice : tune->voices) {
        for (int8_t& s : voice.voiceBuffer) s = sample;
        voice.mixSource = voice.voiceBuffer;
        voice.sampleStep = 1u << 16;
        voice.mixVolume = volume;
        voice.panGainLeft = voice.panGainRight = gain;
    }
    return tune;
}

void SetRing(Voice* voice, uint32_t position) {
    voice->ringMixSource = voice->ringBuffer;
    voice->ringStep = 1u << 16;
    voice->ringPosition = position;
}

std::vector<Frame> Mix(Tune* tune, uint32_t frameCount) {
    std::vector<Frame> frames(frameCount, Frame{12345, -12345});
    MixChunk(tune, frameCount, &frames[0].left, &frames[0].right, sizeof(Frame));
    return frames;
}

TEST(MixChunk, SampleArithmetic) {
    const struct {
        const char* what;
        uint16_t voices;
        int8_t sample;
        int16_t ring;  // kNoRing, or the ring buffer's constant sample
        uint8_t volume;
        uint32_t gain, mixGain;
        int16_t left, right;
    } cases[] = {
        // Pan 128 gives both gains 180: (100 * 64 * 180) >> 7 = 9000; (9000 * 181) >> 8 = 6363.
        {"worked example", 1, 100, kNoRing, 64, 180, 181, 6363, 6363},
        // -1 >> 7 is -1 per voice, so two voices give -2, not floor(-2 / 128) = -1.
        {"each term floored", 2, -1, kNoRing, 1, 1, 256, -2, -2},
        // The mix gain floors too: -3 * 100 / 256 = -1.17 gives -2, where truncation would give -1.
        {"negative sums floor under the mix gain", 1, -3, kNoRing, 1, 128, 100, -2, -2},
        {"-1 under a gain below unity stays -1", 1, -1, kNoRing, 1, 128, 255, -1, -1},
        {"1 under a gain below unity is 0", 1, 1, kNoRing, 1, 128, 255, 0, 0},
        {"volume 0", 1, 127, kNoRing, 0, 254, 256, 0, 0},
        {"channelCount 0", 0, 127, kNoRing, 64, 254, 256, 0, 0},
        // Ring r multiplies by r / 128, floored, before the volume: ((r * s) >> 7) * 64 at unity gains.
        {"ring 127 x 100", 1, 100, 127, 64, 128, 256, 99 * 64, 99 * 64},
        {"ring 127 x -100", 1, -100, 127, 64, 128, 256, -100 * 64, -100 * 64},
        {"ring -128 x -128", 1, -128, -128, 64, 128, 256, 128 * 64, 128 * 64},
        // Saturation: one voice at 127, volume 64, gain 254 is 16129; at -128 it is -16256.
        {"2 x 16129 at 260 fits", 2, 127, kNoRing, 64, 254, 260, 32762, 32762},
        {"2 x 16129 at 261 = 32888", 2, 127, kNoRing, 64, 254, 261, 32767, 32767},
        {"2 x -16256 at 259 = -32893", 2, -128, kNoRing, 64, 254, 259, -32768, -32768},
    };
    for (const auto& c : cases) {
        auto tune = MakeTune(c.voices, c.mixGain, c.sample, c.volume, c.gain);
        if (c.ring != kNoRing) {
            for (int8_t& r : tune->voices[0].ringBuffer) r = static_cast<int8_t>(c.ring);
            SetRing(&tune->voices[0], 0);
        }
        const Frame frame = Mix(tune.get(), 3)[2];
        EXPECT_EQ(frame.left, c.left) << c.what;
        EXPECT_EQ(frame.right, c.right) << c.what;
        // Every voice in use advances, also one at volume 0.
        EXPECT_EQ(tune->voices[0].samplePosition, c.voices > 0 ? 3u << 16 : 0u) << c.what;
    }
}

TEST(MixChunk, OneSamplePerFramePlaysTheBufferAndRestartsAtItsStart) {
    // Volume 1, gain 128 and mixGain 256 output the sample itself.
    auto tune = MakeTune(1, 256, 0, 1, 128);
    Voice& voice = tune->voices[0];
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) voice.voiceBuffer[i] = static_cast<int8_t>(i * 7);
    const std::vector<Frame> frames = Mix(tune.get(), 2 * kVoiceBufferSamples);
    for (uint32_t i = 0; i < frames.size(); ++i) ASSERT_EQ(frames[i].left, voice.voiceBuffer[i % 640]) << i;
    // The stored position is left at the end; the next call wraps it before use.
    EXPECT_EQ(voice.samplePosition, kWrap);
    EXPECT_EQ(Mix(tune.get(), 1)[0].left, voice.voiceBuffer[0]);
}

TEST(MixChunk, EachBufferEndLimitsTheRunAndWrapsOnItsOwn) {
    // Left: voice 0 at 3 samples a frame from inside sample 639 of a buffer holding i % 100.
    // Right: voice 1 at 1 sample a frame through i % 90, times a ring buffer of -128 (so -s) that
    // holds 0 at its last sample, 639; the ring starts at 638, so it wraps one frame after voice 0.
    auto tune = MakeTune(2, 256, 0, 1, 128);
    Voice& jumper = tune->voices[0];
    Voice& ringed = tune->voices[1];
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) {
        jumper.voiceBuffer[i] = static_cast<int8_t>(i % 100);
        ringed.voiceBuffer[i] = static_cast<int8_t>(i % 90);
        ringed.ringBuffer[i] = i == 639 ? 0 : -128;
    }
    jumper.samplePosition = kWrap - 11;
    jumper.sampleStep = 3u << 16;
    jumper.panGainRight = 0;
    ringed.panGainLeft = 0;
    SetRing(&ringed, kWrap - 1 - 65536);
    // Left: 639 % 100 = 39; then kWrap - 11 + 3 * 65536 wraps to 196597, sample 2; then 5 and 8.
    const std::vector<Frame> expected = {{39, 0}, {2, 0}, {5, -2}, {8, -3}};
    EXPECT_EQ(Mix(tune.get(), 4), expected);
    EXPECT_EQ(ringed.ringPosition, (3u << 16) - 1);
}

// The ring buffer is read at its own position and step: at 3 samples a frame through i % 100, times a
// voice buffer of -128 (so -r), while the voice itself plays one sample a frame.
TEST(MixChunk, RingFollowsItsOwnStep) {
    auto tune = MakeTune(1, 256, -128, 1, 128);
    Voice& voice = tune->voices[0];
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) voice.ringBuffer[i] = static_cast<int8_t>(i % 100);
    SetRing(&voice, 5u << 16);
    voice.ringStep = 3u << 16;
    const std::vector<Frame> expected = {{-5, -5}, {-8, -8}, {-11, -11}, {-14, -14}};
    EXPECT_EQ(Mix(tune.get(), 4), expected);
    EXPECT_EQ(voice.ringPosition, (5u + 4 * 3) << 16);
    EXPECT_EQ(voice.samplePosition, 4u << 16);
}

// A position that lands exactly on the end reads sample 0 next, never a sample 640: sample 0 is
// made distinct from everything past the buffers, within one call and across two.
TEST(MixChunk, PositionOnTheBufferEndReadsSampleZero) {
    for (const bool ring : {false, true}) {
        auto tune = MakeTune(1, 256, 0, 1, 128);
        Voice& voice = tune->voices[0];
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) {
            voice.voiceBuffer[i] = static_cast<int8_t>(i % 50 + 1);
            voice.ringBuffer[i] = i == 0 ? 127 : -128;
        }
        voice.voiceBuffer[0] = 99;
        voice.sampleStep = 3u << 16;
        voice.samplePosition = kWrap - (3u << 16);  // sample 637
        if (ring) SetRing(&voice, kWrap - (2u << 16));  // ring sample 638, then 639, then 0 on the third frame
        // Sample 637 = 38, then 0 (99), then 3 (4); under the ring -s, -s, then 127 s / 128 floored.
        const std::vector<Frame> expected =
            ring ? std::vector<Frame>{{-38, -38}, {-99, -99}, {3, 3}} : std::vector<Frame>{{38, 38}, {99, 99}, {4, 4}};
        EXPECT_EQ(Mix(tune.get(), 3), expected) << ring;
        // Ends exactly on the buffer end: the next call starts at sample 0.
        voice.samplePosition = kWrap - (3u << 16);
        if (ring) SetRing(&voice, kWrap - (1u << 16));
        Mix(tune.get(), 1);
        EXPECT_EQ(voice.samplePosition, kWrap);
        EXPECT_EQ(Mix(tune.get(), 1)[0].left, ring ? 98 : 99) << ring;
    }
}

}  // namespace
