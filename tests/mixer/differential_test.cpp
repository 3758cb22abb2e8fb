// Hand-worked mixing values for both mixing paths and for a literal frame-by-frame reference; then the
// mixer against that reference over thousands of random voice states, and whole decoded songs against the
// replay's own ticks with the buffer copies and the mix done literally. Every byte and position must match.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <utility>
#include <tuple>
#include <vector>

#include "builder/sample_songs.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "mixer/mixer_path.h"
#include "replay/replay.h"
#include "tests/support/engine_render.h"
#include "waves/wave_bank.h"

namespace {

constexpr uint32_t kWrap = kVoiceBufferSamples << 16;

// One voice's path through its buffers: the position wraps (by one subtraction) just before a read
// that would fall at or past the end.
struct ReferenceCursor {
    uint32_t position, step;
    uint32_t Next() {
        if (position >= kWrap) position -= kWrap;
        const uint32_t index = position >> 16;
        position += step;
        return index;
    }
};

struct ReferenceOutput {
    std::vector<int16_t> left, right;  // the mix
    std::vector<std::vector<int16_t>> stems;  // interleaved, per voice
    std::vector<uint16_t> peaks;
    std::vector<ReferenceCursor> plain, ring;  // where each voice's positions end
};

// The mix, each voice's stem and the peaks (raised from `peaks`) in one literal pass; the Tune is only read.
ReferenceOutput ReferenceMix(const Tune& tune, uint32_t audible, uint32_t frameCount,
                             std::vector<uint16_t> peaks = std::vector<uint16_t>(kMaxChannels)) {
    const uint32_t voiceCount = tune.channelCount;
    const auto saturate = [](int64_t value) {
        return static_cast<int16_t>(std::clamp<int64_t>(value, INT16_MIN, INT16_MAX));
    };
    ReferenceOutput out;
    out.peaks = std::move(peaks);
    for (uint32_t v = 0; v < voiceCount; ++v) {
        out.plain.push_back({tune.voices[v].samplePosition, tune.voices[v].sampleStep});
        out.ring.push_back({tune.voices[v].ringPosition, tune.voices[v].ringStep});
    }
    out.stems.assign(voiceCount, std::vector<int16_t>(2 * size_t{frameCount}));
    for (uint32_t frame = 0; frame < frameCount; ++frame) {
        int32_t left = 0, right = 0;
        for (uint32_t v = 0; v < voiceCount; ++v) {
            const Voice& voice = tune.voices[v];
            int32_t term = voice.voiceBuffer[out.plain[v].Next()];
            // A voice without a ring source leaves its ring position alone.
            if (voice.ringMixSource != nullptr) term = (voice.ringBuffer[out.ring[v].Next()] * term) >> 7;
            term *= voice.mixVolume;
            if ((audible >> v & 1) == 0) continue;
            const int32_t termLeft = (term * static_cast<int32_t>(voice.panGainLeft)) >> 7;
            const int32_t termRight = (term * static_cast<int32_t>(voice.panGainRight)) >> 7;
            left += termLeft;
            right += termRight;
            out.stems[v][2 * frame] = saturate((int64_t{termLeft} * tune.mixGain) >> 8);
            out.stems[v][2 * frame + 1] = saturate((int64_t{termRight} * tune.mixGain) >> 8);
            const uint32_t magnitude = static_cast<uint32_t>(term < 0 ? -term : term);
            if (magnitude > out.peaks[v]) out.peaks[v] = static_cast<uint16_t>(magnitude);
        }
        out.left.push_back(saturate((int64_t{left} * tune.mixGain) >> 8));
        out.right.push_back(saturate((int64_t{right} * tune.mixGain) >> 8));
    }
    return out;
}

// channelCount voices, each playing `sample` throughout at one sample a frame (value-initialised otherwise).
std::unique_ptr<Tune> MakeTune(uint16_t channelCount, uint32_t mixGain, int8_t sample, uint8_t volume, uint32_t gain) {
    auto tune = std::make_unique<Tune>();
    tune->channelCount = channelCount;
    tune->mixGain = mixGain;
    for (Voice& voice : tune->voices) {
        for (int8_t& s : voice.voiceBuffer) s = sample;
        voice.sampleStep = 1u << 16;
        voice.mixVolume = volume;
        voice.panGainLeft = voice.panGainRight = gain;
    }
    return tune;
}

void ExpectMix(Tune* tune, const std::vector<int16_t>& values, const char* what) {
    const auto frameCount = static_cast<uint32_t>(values.size());
    const ReferenceOutput reference = ReferenceMix(*tune, kAllVoices, frameCount);
    EXPECT_EQ(std::pair(reference.left, reference.right), std::pair(values, values)) << "reference, " << what;
    std::vector<int16_t> frames(2 * values.size(), 12345);  // interleaved, as the decoder asks
    MixChunk(tune, frameCount, &frames[0], &frames[1], 2 * sizeof(int16_t));
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(std::pair(frames[2 * i], frames[2 * i + 1]), std::pair(values[i], values[i])) << what << ", " << i;
    }
}

// The hand-worked rows run on the portable and on the AVX2 mixing loops (where the processor has AVX2).
class MixByHand : public testing::TestWithParam<bool> {
    void SetUp() override { ForcePortableMixing(GetParam()); }
    void TearDown() override { ForcePortableMixing(false); }
};
INSTANTIATE_TEST_SUITE_P(BothPaths, MixByHand, testing::Values(true, false));

TEST_P(MixByHand, SampleArithmetic) {
    constexpr int16_t kNoRing = 256;
    const struct {
        const char* what;
        uint16_t voices;
        int8_t sample;
        int16_t ring;  // kNoRing, or the ring buffer's constant sample
        uint8_t volume;
        uint32_t gain, mixGain;
        int16_t out;  // on both sides
    } cases[] = {
        // Pan 128 gives both gains 180: (100 * 64 * 180) >> 7 = 9000; (9000 * 181) >> 8 = 6363.
        {"worked example", 1, 100, kNoRing, 64, 180, 181, 6363},
        // -1 >> 7 is -1 per voice, so two voices give -2, not floor(-2 / 128) = -1.
        {"each term floored", 2, -1, kNoRing, 1, 1, 256, -2},
        // The mix gain floors too: -3 * 100 / 256 = -1.17 gives -2, where truncation would give -1.
        {"negative sums floor under the mix gain", 1, -3, kNoRing, 1, 128, 100, -2},
        {"1 under a gain below unity is 0", 1, 1, kNoRing, 1, 128, 255, 0},
        {"channelCount 0", 0, 127, kNoRing, 64, 254, 256, 0},
        // Ring r multiplies by r / 128, floored, before the volume: ((r * s) >> 7) * 64 at unity gains.
        {"ring 127 x 100", 1, 100, 127, 64, 128, 256, 99 * 64},
        {"ring 127 x -100", 1, -100, 127, 64, 128, 256, -100 * 64},
        {"ring -128 x -128", 1, -128, -128, 64, 128, 256, 128 * 64},
        // Saturation: one voice at 127, volume 64, gain 254 is 16129; at -128 it is -16256.
        {"2 x 16129 at 260 fits", 2, 127, kNoRing, 64, 254, 260, 32762},
        {"2 x 16129 at 261 = 32888", 2, 127, kNoRing, 64, 254, 261, 32767},
        {"2 x -16256 at 259 = -32893", 2, -128, kNoRing, 64, 254, 259, -32768},
    };
    for (const auto& c : cases) {
        auto tune = MakeTune(c.voices, c.mixGain, c.sample, c.volume, c.gain);
        Voice& voice = tune->voices[0];
        if (c.ring != kNoRing) {
            for (int8_t& r : voice.ringBuffer) r = static_cast<int8_t>(c.ring);
            std::tie(voice.ringMixSource, voice.ringStep) = std::tuple(voice.ringBuffer, 1u << 16);
        }
        ExpectMix(tune.get(), std::vector<int16_t>(3, c.out), c.what);
    }
}

// One voice at volume 1 and gains 128 under mix gain 256, so each frame is the sample read, times
// the ring sample / 128 (floored) where there is a ring. A position wraps just before a read at or
// past the buffer end, each of the two on its own; a position stored on the end reads sample 0 next.
TEST_P(MixByHand, EachPositionWrapsAtItsOwnBufferEnd) {
    const auto byHundred = [](uint32_t i) { return static_cast<int8_t>(i % 100); };
    const auto byFifty = [](uint32_t i) { return static_cast<int8_t>(i == 0 ? 99 : i % 50 + 1); };
    const auto minus128 = [](uint32_t) { return int8_t{-128}; };
    const auto edges = [](uint32_t i) { return static_cast<int8_t>(i == 0 ? 127 : i == 639 ? 64 : -128); };
    const struct {
        const char* what;
        int8_t (*sample)(uint32_t);
        int8_t (*ring)(uint32_t);  // nullptr: no ring
        uint32_t position, step, ringPosition, ringStep;
        std::vector<int16_t> frames;
        uint32_t endPosition, endRingPosition;
    } cases[] = {
        // Sample 639 = 39; then kWrap - 11 + 3 * 65536 wraps to 196597, sample 2; then 5 and 8.
        {"3 a frame from inside the last sample", byHundred, nullptr, kWrap - 11, 3u << 16, 0, 1,
         {39, 2, 5, 8}, (12u << 16) - 11, 0},
        // Samples 639 (40), 0 (99), 1, 2 under ring samples 638 (-128), 639 (64), 0 (127), 1 (-128).
        {"the ring wraps one frame after the voice", byFifty, edges, kWrap - (1u << 16), 1u << 16,
         kWrap - 1 - 65536, 1u << 16, {-40, 49, 1, -3}, 3u << 16, (3u << 16) - 1},
        {"the ring at its own step", minus128, byHundred, 0, 1u << 16, 5u << 16, 3u << 16,
         {-5, -8, -11, -14}, 4u << 16, 17u << 16},
        // Samples 637 (38), 0 (99) and 3 (4), never a sample 640, under ring samples 639 (64), 0 (127) and 1.
        {"voice and ring landing on their ends read sample 0", byFifty, edges, kWrap - (3u << 16), 3u << 16,
         kWrap - (1u << 16), 1u << 16, {19, 98, -4}, 6u << 16, 2u << 16},
        {"a run ending on the end leaves the position there", byFifty, nullptr, kWrap - (3u << 16), 3u << 16, 0, 1,
         {38}, kWrap, 0},
        {"a stored end position reads sample 0", byFifty, edges, kWrap, 3u << 16, kWrap, 1u << 16,
         {98, -4}, 6u << 16, 2u << 16},
    };
    for (const auto& c : cases) {
        auto tune = MakeTune(1, 256, 0, 1, 128);
        Voice& voice = tune->voices[0];
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) {
            voice.voiceBuffer[i] = c.sample(i);
            if (c.ring != nullptr) voice.ringBuffer[i] = c.ring(i);
        }
        std::tie(voice.samplePosition, voice.sampleStep) = std::tuple(c.position, c.step);
        std::tie(voice.ringPosition, voice.ringStep) = std::tuple(c.ringPosition, c.ringStep);
        if (c.ring != nullptr) voice.ringMixSource = voice.ringBuffer;
        ExpectMix(tune.get(), c.frames, c.what);
        EXPECT_EQ(std::pair(voice.samplePosition, voice.ringPosition), std::pair(c.endPosition, c.endRingPosition))
            << c.what;
    }
}

// A random state as the replay could leave it, biased toward the edges: positions at and just
// around the buffer end (up to one step past it), steps from 1 to a whole buffer, every volume a
// uint8 can hold, pan gains over the table's range, ring modulation on about half the voices.
void RandomState(std::mt19937& random, Tune* tune) {
    auto below = [&](uint32_t limit) { return static_cast<uint32_t>(random() % limit); };
    tune->channelCount = static_cast<uint16_t>(below(8) == 0 ? below(17) : 1 + below(16));
    tune->mixGain = below(4) == 0 ? 256 : below(700);
    for (uint32_t v = 0; v < tune->channelCount; ++v) {
        Voice& voice = tune->voices[v];
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) {
            voice.voiceBuffer[i] = static_cast<int8_t>(random());
            voice.ringBuffer[i] = static_cast<int8_t>(random());
        }
        const auto step = [&] {
            const uint32_t steps[] = {1 + below(64),       1 + below(1u << 16), 1u << (16 + below(4)),
                                      1 + below(4u << 16), kWrap - below(3),    1 + below(kWrap)};
            return steps[below(6)];
        };
        const auto position = [&](uint32_t stepSize) {
            const uint32_t positions[] = {0, kWrap - 1 - below(3), kWrap + below(stepSize), kWrap - stepSize + below(2),
                                          below(kWrap)};
            return positions[std::min(below(6), 4u)];
        };
        voice.sampleStep = step();
        voice.samplePosition = position(voice.sampleStep);
        voice.ringStep = step();
        voice.ringPosition = position(voice.ringStep);
        voice.ringMixSource = below(2) == 0 ? voice.ringBuffer : nullptr;
        voice.mixVolume = static_cast<uint8_t>(below(4) == 0 ? 64 : below(256));
        voice.panGainLeft = below(255);
        voice.panGainRight = below(255);
    }
}

// The rounds alternate between the portable and the AVX2 mixing loops (portable only where the
// processor lacks AVX2). MixChunk is MixVoices with every voice heard and no meters.
TEST(MixerDifferential, MixChunkMixVoicesMixStemsAndAdvanceMatchTheReference) {
    std::mt19937 random(20261207);
    auto tune = std::make_unique<Tune>(), saved = std::make_unique<Tune>();
    for (int round = 0; round < 2500; ++round) {
        ForcePortableMixing(round % 4 < 2);
        RandomState(random, tune.get());
        std::memcpy(saved.get(), tune.get(), sizeof(Tune));
        // Frame counts as the decoder asks for them at any rate and multiplier, or any count at all.
        const uint32_t rate = 8000 + random() % (192000 - 8000 + 1), multiplier = 1 + random() % 4;
        const uint32_t frameCount = random() % 2 == 0 ? 1 + random() % 4000 : rate / 50 / multiplier;
        const uint32_t mask = random() % 3 == 0 ? static_cast<uint32_t>(random()) & kAllVoices : kAllVoices;
        std::vector<uint16_t> peaks(kMaxChannels);
        for (uint16_t& peak : peaks) peak = static_cast<uint16_t>(random() % 4 == 0 ? random() % 9000 : 0);
        const ReferenceOutput expected = ReferenceMix(*saved, mask, frameCount, peaks);
        const auto expectPositions = [&](const char* what) {
            for (uint32_t v = 0; v < tune->channelCount; ++v) {
                ASSERT_EQ(std::pair(tune->voices[v].samplePosition, tune->voices[v].ringPosition),
                          std::pair(expected.plain[v].position, expected.ring[v].position))
                    << what << round << " voice " << v;
            }
        };

        // Interleaved, in two planes, or at an odd stride; every other round with the peak meters.
        const uint32_t layout = random() % 3, stride = layout == 0 ? 2 : layout == 1 ? 1 : 3;
        std::vector<int16_t> left(size_t{frameCount} * stride + 2), right(left.size());
        int16_t *leftAt = left.data(), *rightAt = layout == 0 ? left.data() + 1 : right.data();
        const bool metered = round % 2 == 0;
        std::vector<uint16_t> measured = peaks;
        if (mask == kAllVoices && !metered) {
            MixChunk(tune.get(), frameCount, leftAt, rightAt, stride * sizeof(int16_t));
        } else {
            MixVoices(tune.get(), mask, frameCount, leftAt, rightAt, stride * sizeof(int16_t),
                      metered ? measured.data() : nullptr);
        }
        for (uint32_t i = 0; i < frameCount; ++i) {
            const auto got = std::pair(leftAt[i * stride], rightAt[i * stride]);
            ASSERT_EQ(got, std::pair(expected.left[i], expected.right[i])) << "round " << round << " frame " << i;
        }
        ASSERT_EQ(measured, metered ? expected.peaks : peaks) << "peaks, round " << round;  // past channelCount: kept
        expectPositions("MixVoices round ");

        // MixStems: each voice alone, the silent ones written as zeros.
        std::memcpy(tune.get(), saved.get(), sizeof(Tune));
        std::vector<std::vector<int16_t>> stems(kMaxChannels, std::vector<int16_t>(2 * size_t{frameCount}, 777));
        std::vector<int16_t*> stemFrames;
        for (auto& stem : stems) stemFrames.push_back(stem.data());
        MixStems(tune.get(), mask, frameCount, stemFrames.data());
        stems.resize(tune->channelCount);
        ASSERT_EQ(stems, expected.stems) << "MixStems round " << round;
        expectPositions("MixStems round ");

        std::memcpy(tune.get(), saved.get(), sizeof(Tune));
        AdvanceVoices(tune.get(), frameCount);
        expectPositions("AdvanceVoices round ");
    }
    ForcePortableMixing(false);
}

// The buffer copies of one tick, literally: noise as a 640-sample window, every other waveform and
// the ring source repeated over the buffer.
void ReferenceFill(Voice* voice) {
    const auto repeat = [](int8_t* buffer, const int8_t* source, uint16_t waveLength) {
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) buffer[i] = source[i % (4u << waveLength)];
    };
    if (voice->waveformChanged && voice->waveSource != nullptr) {
        if (voice->waveform == kWaveNoise) {
            std::memcpy(voice->voiceBuffer, voice->waveSource, kVoiceBufferSamples);
        } else {
            repeat(voice->voiceBuffer, voice->waveSource, voice->waveLength);
        }
    }
    if (voice->ringOn && voice->ringWave != nullptr) repeat(voice->ringBuffer, voice->ringWave, voice->waveLength);
}

// Whole songs through DecodeFrame, against the replay's ticks without its copies (SkipTick), the
// literal copies and the reference mix, at the edges of the rate range and every multiplier.
TEST(MixerDifferential, DecodedSongsMatchTheReference) {
    struct {
        const char* name;
        ModuleDescription description;
        bool portable;
    } songs[] = {{"4 voices", BusySong(4), true}, {"16 voices", BusySong(16), false}, {"ring", RingSong(), true},
                 {"worst case", WorstCaseSong(), false}, {"noise", NoiseSong(), false}};
    for (auto& song : songs) {
        ForcePortableMixing(song.portable);
        for (const uint32_t rate : {8000u, 44100u, 192000u}) {
            for (const uint8_t multiplier : {1, 2, 3, 4}) {
                song.description.speedMultiplier = multiplier;
                const std::vector<uint8_t> bytes = BuildModule(song.description);
                TunePtr engine = LoadBytes(bytes, 0, rate), reference = LoadBytes(bytes, 0, rate);
                ASSERT_NE(engine, nullptr) << song.name;
                const uint32_t framesPerTick = FramesPerTick(engine.get());
                std::vector<int16_t> frames(2 * size_t{FramesPerDecode(engine.get())});
                for (int decode = 0; decode < 60; ++decode) {
                    DecodeFrame(engine.get(), &frames[0], &frames[1], 4);
                    for (uint32_t tick = 0; tick < multiplier; ++tick) {
                        SkipTick(reference.get());
                        for (uint32_t v = 0; v < reference->channelCount; ++v) ReferenceFill(&reference->voices[v]);
                        const ReferenceOutput expected = ReferenceMix(*reference, kAllVoices, framesPerTick);
                        for (uint32_t v = 0; v < reference->channelCount; ++v) {
                            reference->voices[v].samplePosition = expected.plain[v].position;
                            reference->voices[v].ringPosition = expected.ring[v].position;
                        }
                        for (uint32_t i = 0; i < framesPerTick; ++i) {
                            const size_t at = 2 * (size_t{tick} * framesPerTick + i);
                            ASSERT_EQ(std::pair(frames[at], frames[at + 1]),
                                      std::pair(expected.left[i], expected.right[i]))
                                << song.name << " at " << rate << " x" << int{multiplier} << " decode " << decode;
                        }
                    }
                }
            }
        }
    }
    ForcePortableMixing(false);
}

}  // namespace
