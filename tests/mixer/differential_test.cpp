// The mixer against a plain, frame-by-frame reference written from the mixing rules, over thousands of
// random voice states; and whole songs decoded by the engine against the replay's own ticks with the
// buffer copies and the mix done by the reference. Every output byte and every position must match.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
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

int16_t Saturate(int64_t value) {
    return static_cast<int16_t>(value > INT16_MAX ? INT16_MAX : value < INT16_MIN ? INT16_MIN : value);
}

struct ReferenceOutput {
    std::vector<int16_t> left, right;  // the mix
    std::vector<std::vector<int16_t>> stems;  // interleaved, per voice
    std::vector<uint16_t> peaks;
    std::vector<uint32_t> positions, ringPositions;
};

// The mix, each voice's stem and the peaks in one literal pass; the Tune is only read.
ReferenceOutput ReferenceMix(const Tune& tune, uint32_t audible, uint32_t frameCount, std::vector<uint16_t> peaks) {
    const uint32_t voiceCount = tune.channelCount;
    std::vector<ReferenceCursor> plain, ring;
    for (uint32_t v = 0; v < voiceCount; ++v) {
        plain.push_back({tune.voices[v].samplePosition, tune.voices[v].sampleStep});
        ring.push_back({tune.voices[v].ringPosition, tune.voices[v].ringStep});
    }
    ReferenceOutput out;
    out.stems.assign(voiceCount, std::vector<int16_t>(2 * size_t{frameCount}));
    for (uint32_t frame = 0; frame < frameCount; ++frame) {
        int32_t left = 0, right = 0;
        for (uint32_t v = 0; v < voiceCount; ++v) {
            const Voice& voice = tune.voices[v];
            int32_t term = voice.voiceBuffer[plain[v].Next()];
            if (voice.ringMixSource != nullptr) term = (voice.ringBuffer[ring[v].Next()] * term) >> 7;
            term *= voice.mixVolume;
            if ((audible >> v & 1) == 0) continue;
            const int32_t termLeft = (term * static_cast<int32_t>(voice.panGainLeft)) >> 7;
            const int32_t termRight = (term * static_cast<int32_t>(voice.panGainRight)) >> 7;
            left += termLeft;
            right += termRight;
            out.stems[v][2 * frame] = Saturate((int64_t{termLeft} * tune.mixGain) >> 8);
            out.stems[v][2 * frame + 1] = Saturate((int64_t{termRight} * tune.mixGain) >> 8);
            const uint32_t magnitude = static_cast<uint32_t>(term < 0 ? -term : term);
            if (magnitude > peaks[v]) peaks[v] = static_cast<uint16_t>(magnitude);
        }
        out.left.push_back(Saturate((int64_t{left} * tune.mixGain) >> 8));
        out.right.push_back(Saturate((int64_t{right} * tune.mixGain) >> 8));
    }
    out.peaks = peaks;
    for (uint32_t v = 0; v < voiceCount; ++v) {
        out.positions.push_back(plain[v].position);
        // A voice without a ring source leaves its ring position alone.
        out.ringPositions.push_back(tune.voices[v].ringMixSource != nullptr ? ring[v].position
                                                                            : tune.voices[v].ringPosition);
    }
    return out;
}

using BlankTune = std::unique_ptr<Tune, decltype(&std::free)>;

BlankTune NewTune() { return BlankTune(static_cast<Tune*>(std::calloc(1, sizeof(Tune))), &std::free); }

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
            switch (below(6)) {
                case 0: return 1 + below(64);
                case 1: return 1 + below(1u << 16);
                case 2: return 1u << (16 + below(4));
                case 3: return 1 + below(4u << 16);
                case 4: return kWrap - below(3);
                default: return 1 + below(kWrap);
            }
        };
        const auto position = [&](uint32_t stepSize) {
            switch (below(6)) {
                case 0: return 0u;
                case 1: return kWrap - 1 - below(3);
                case 2: return kWrap + below(stepSize);  // as a previous call can leave it
                case 3: return kWrap - stepSize + below(2);
                default: return below(kWrap);
            }
        };
        voice.sampleStep = step();
        voice.samplePosition = position(voice.sampleStep);
        voice.mixSource = voice.voiceBuffer;
        voice.ringStep = step();
        voice.ringPosition = position(voice.ringStep);
        voice.ringMixSource = below(2) == 0 ? voice.ringBuffer : nullptr;
        voice.mixVolume = static_cast<uint8_t>(below(4) == 0 ? 64 : below(256));
        voice.panGainLeft = below(255);
        voice.panGainRight = below(255);
    }
}

// Frame counts as the decoder asks for them at any rate and multiplier, or any count at all.
uint32_t RandomFrameCount(std::mt19937& random) {
    if (random() % 2 == 0) return 1 + random() % 4000;
    const uint32_t rate = 8000 + random() % (192000 - 8000 + 1);
    return (rate / 50) / (1 + random() % 4);
}

void ExpectPositions(const Tune& tune, const ReferenceOutput& expected, const char* what, int round) {
    for (uint32_t v = 0; v < tune.channelCount; ++v) {
        ASSERT_EQ(tune.voices[v].samplePosition, expected.positions[v]) << what << " round " << round << " voice " << v;
        ASSERT_EQ(tune.voices[v].ringPosition, expected.ringPositions[v]) << what << " round " << round << " voice " << v;
    }
}

constexpr int kRounds = 2500;

// The rounds alternate between the portable and the AVX2 mixing loops (portable only where the
// processor lacks AVX2).
TEST(MixerDifferential, MixChunkMixVoicesMixStemsAndAdvanceMatchTheReference) {
    std::mt19937 random(20261207);
    BlankTune tune = NewTune(), saved = NewTune();
    for (int round = 0; round < kRounds; ++round) {
        ForcePortableMixing(round % 4 < 2);
        RandomState(random, tune.get());
        std::memcpy(saved.get(), tune.get(), sizeof(Tune));
        // Pointers into the saved copy's own buffers, as a moved Tune would have them.
        for (Voice& voice : saved->voices) {
            if (voice.mixSource != nullptr) voice.mixSource = voice.voiceBuffer;
            if (voice.ringMixSource != nullptr) voice.ringMixSource = voice.ringBuffer;
        }
        const uint32_t frameCount = RandomFrameCount(random);
        const uint32_t mask = random() % 3 == 0 ? static_cast<uint32_t>(random()) & kAllVoices : kAllVoices;
        std::vector<uint16_t> peaks(kMaxChannels);
        for (uint16_t& peak : peaks) peak = static_cast<uint16_t>(random() % 4 == 0 ? random() % 9000 : 0);
        const ReferenceOutput all = ReferenceMix(*saved, kAllVoices, frameCount, std::vector<uint16_t>(kMaxChannels));
        const ReferenceOutput masked = ReferenceMix(*saved, mask, frameCount, peaks);

        // MixChunk, interleaved or in two planes with a stride of one sample, or with an odd stride.
        const uint32_t layout = random() % 3;
        const uint32_t strideSamples = layout == 0 ? 2 : layout == 1 ? 1 : 3;
        std::vector<int16_t> left(size_t{frameCount} * strideSamples + 2), right(left.size());
        int16_t* leftAt = left.data();
        int16_t* rightAt = layout == 0 ? left.data() + 1 : right.data();
        MixChunk(tune.get(), frameCount, leftAt, rightAt, strideSamples * sizeof(int16_t));
        for (uint32_t i = 0; i < frameCount; ++i) {
            ASSERT_EQ(leftAt[i * strideSamples], all.left[i]) << "MixChunk round " << round << " frame " << i;
            ASSERT_EQ(rightAt[i * strideSamples], all.right[i]) << "MixChunk round " << round << " frame " << i;
        }
        ExpectPositions(*tune, all, "MixChunk", round);

        // MixVoices with a mask and, every other round, the peak meters.
        std::memcpy(tune.get(), saved.get(), sizeof(Tune));
        const bool metered = round % 2 == 0;
        std::vector<uint16_t> measured = peaks;
        std::vector<int16_t> frames(2 * size_t{frameCount});
        MixVoices(tune.get(), mask, frameCount, &frames[0], &frames[1], 4, metered ? measured.data() : nullptr);
        for (uint32_t i = 0; i < frameCount; ++i) {
            ASSERT_EQ(frames[2 * i], masked.left[i]) << "MixVoices round " << round << " frame " << i;
            ASSERT_EQ(frames[2 * i + 1], masked.right[i]) << "MixVoices round " << round << " frame " << i;
        }
        if (metered) {
            for (uint32_t v = 0; v < kMaxChannels; ++v) {
                ASSERT_EQ(measured[v], v < tune->channelCount ? masked.peaks[v] : peaks[v]) << "round " << round << " voice " << v;
            }
        }
        ExpectPositions(*tune, masked, "MixVoices", round);

        // MixStems: each voice alone, the silent ones written as zeros.
        std::memcpy(tune.get(), saved.get(), sizeof(Tune));
        std::vector<std::vector<int16_t>> stems(kMaxChannels, std::vector<int16_t>(2 * size_t{frameCount}, 777));
        std::vector<int16_t*> stemFrames;
        for (auto& stem : stems) stemFrames.push_back(stem.data());
        MixStems(tune.get(), mask, frameCount, stemFrames.data());
        for (uint32_t v = 0; v < tune->channelCount; ++v) {
            ASSERT_EQ(stems[v], masked.stems[v]) << "MixStems round " << round << " voice " << v;
        }
        ExpectPositions(*tune, masked, "MixStems", round);

        std::memcpy(tune.get(), saved.get(), sizeof(Tune));
        AdvanceVoices(tune.get(), frameCount);
        ExpectPositions(*tune, masked, "AdvanceVoices", round);
    }
    ForcePortableMixing(false);
}

// The buffer copies of one tick, literally: noise as a 640-sample window, every other waveform and
// the ring source repeated over the buffer.
void ReferenceFill(Voice* voice) {
    const auto repeat = [](int8_t* buffer, const int8_t* source, uint16_t waveLength) {
        const uint32_t waveSamples = 4u << waveLength;
        for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) buffer[i] = source[i % waveSamples];
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
    const struct {
        const char* name;
        ModuleDescription description;
        bool portable;
    } songs[] = {{"4 voices", BusySong(4), true},   {"4 voices", BusySong(4), false},
                 {"16 voices", BusySong(16), true}, {"16 voices", BusySong(16), false},
                 {"ring", RingSong(), true},        {"worst case", WorstCaseSong(), false},
                 {"noise", NoiseSong(), false}};
    for (const auto& song : songs) {
        ForcePortableMixing(song.portable);
        for (const uint32_t rate : {8000u, 44100u, 192000u}) {
            for (const uint8_t multiplier : {1, 2, 3, 4}) {
                ModuleDescription description = song.description;
                description.speedMultiplier = multiplier;
                const std::vector<uint8_t> bytes = BuildModule(description);
                TunePtr engine = LoadBytes(bytes, 0, rate), reference = LoadBytes(bytes, 0, rate);
                ASSERT_NE(engine, nullptr) << song.name;
                const uint32_t framesPerTick = FramesPerTick(engine.get());
                std::vector<int16_t> frames(2 * size_t{FramesPerDecode(engine.get())});
                for (int decode = 0; decode < 60; ++decode) {
                    DecodeFrame(engine.get(), &frames[0], &frames[1], 4);
                    for (uint32_t tick = 0; tick < multiplier; ++tick) {
                        SkipTick(reference.get());
                        for (uint32_t v = 0; v < reference->channelCount; ++v) ReferenceFill(&reference->voices[v]);
                        const ReferenceOutput expected = ReferenceMix(*reference, kAllVoices, framesPerTick,
                                                                      std::vector<uint16_t>(kMaxChannels));
                        for (uint32_t v = 0; v < reference->channelCount; ++v) {
                            reference->voices[v].samplePosition = expected.positions[v];
                            reference->voices[v].ringPosition = expected.ringPositions[v];
                        }
                        for (uint32_t i = 0; i < framesPerTick; ++i) {
                            const size_t at = 2 * (size_t{tick} * framesPerTick + i);
                            ASSERT_EQ(frames[at], expected.left[i])
                                << song.name << " at " << rate << " x" << int{multiplier} << " decode " << decode;
                            ASSERT_EQ(frames[at + 1], expected.right[i])
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
