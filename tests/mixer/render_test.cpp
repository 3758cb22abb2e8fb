// Built modules played through the whole engine: checks of what the music must sound like (pitch,
// pan, silence, frames per fiftieth, song loop), then golden renders that only pin behaviour.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "builder/module_builder.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "mixer/mixer_path.h"
#include "replay/replay.h"
#include "tests/support/engine_render.h"
#include "tests/support/sha256.h"
#include "waves/wave_bank.h"

namespace {

struct Frame {
    int16_t left, right;
    bool operator==(const Frame&) const = default;
};
constexpr Frame kUnwritten{12345, -12345};

// Renders whole fiftieths of a second, as the sound stream does, and checks that every call wrote
// exactly FramesPerDecode frames: all are written, and the 2 frames past the end are not.
std::vector<Frame> Render(Tune* tune, uint32_t decodeCount) {
    const uint32_t framesPerDecode = FramesPerDecode(tune);
    std::vector<Frame> frames(size_t{framesPerDecode} * decodeCount + 2, kUnwritten);
    for (size_t at = 0; at + 2 < frames.size(); at += framesPerDecode) {
        DecodeFrame(tune, &frames[at].left, &frames[at].right, sizeof(Frame));
    }
    EXPECT_EQ(std::count(frames.begin(), frames.end(), kUnwritten), 2);
    frames.resize(frames.size() - 2);
    return frames;
}

// Left-channel frequency over [begin, end): whole cycles between the first and last rising zero crossing.
double MeasureFrequency(const std::vector<Frame>& frames, size_t begin, size_t end, uint32_t rate) {
    size_t first = 0, last = 0, crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (frames[i - 1].left >= 0 || frames[i].left < 0) continue;
        if (crossings++ == 0) first = i;
        last = i;
    }
    return crossings < 2 ? 0.0 : static_cast<double>(crossings - 1) * rate / static_cast<double>(last - first);
}

TEST(Render, PitchPanSilenceFramesPerFiftiethAndLoopAtEachRateAndMultiplier) {
    const struct {
        uint32_t rate;
        uint8_t multiplier;
        uint32_t frames;  // rate / 50, cut to a multiple of the multiplier: 2 x 441, 3 x 294, 4 x 220
    } cases[] = {{44100, 1, 882}, {44100, 2, 882}, {44100, 3, 882}, {44100, 4, 880}, {8000, 1, 160}, {192000, 1, 3840}};
    // Voice 0 plays notes 13, 25, 37 (periods 1712, 856, 428) at positions 0..2, then loops from the
    // restart position 1: each a full-volume 32-sample triangle for 25 ticks (command F), panned hard
    // left (command 7 with 0x80 is pan position 0; it acts before the note, so the instrument keeps it).
    // Voices 1 and 2, note 37 with no instrument and with instrument 2 of 1, must be silent: nothing on the right.
    ModuleDescription d;
    d.trackLength = 1;
    d.restartPosition = 1;
    d.tracks = {{}, {{37, 0}}, {{37, 2}}};
    for (const uint8_t note : {13, 25, 37}) {
        d.positions.push_back({{uint8_t(d.tracks.size()), 1, 2}});
        d.tracks.push_back({{note, 1, 7, 0x80, 0xF, 25}});
    }
    d.instruments.resize(1);
    d.instruments[0].envelope.sustainFrames = 255;
    d.instruments[0].perfList = {{.note = 1, .waveform = 1}};
    for (const auto& c : cases) {
        d.speedMultiplier = c.multiplier;
        auto tune = LoadBytes(BuildModule(d), 0, c.rate);
        ASSERT_NE(tune, nullptr);
        ASSERT_EQ(FramesPerDecode(tune.get()), c.frames);
        // 175 fiftieths: 7 steps at multiplier 1, more above.
        const std::vector<Frame> frames = Render(tune.get(), 175);
        const auto heard = std::count_if(frames.begin(), frames.end(), [](const Frame& f) { return f.right != 0; });
        EXPECT_EQ(heard, 0) << "right side at " << c.rate << " Hz, x" << int(c.multiplier);
        // A tick is 1/(50 m) s, so a step of 25 ticks lasts 25 fiftieths / m. A 32-sample triangle
        // at period p repeats 3546897 / (p * 32) times a second.
        const uint32_t stepFrames = 25 * c.frames / c.multiplier;
        const uint32_t periods[] = {1712, 856, 428, 856, 428, 856, 428};
        for (uint32_t step = 0; step < 7; ++step) {
            const double hz = 3546897.0 / (periods[step] * 32.0);
            const size_t begin = step * stepFrames + stepFrames / 10, end = (step + 1) * stepFrames - stepFrames / 10;
            EXPECT_NEAR(MeasureFrequency(frames, begin, end, c.rate), hz, hz * 0.005)
                << c.rate << " Hz, x" << int(c.multiplier) << ", step " << step;
        }
    }
}

// Golden renders: regression guards, not proofs. Small built songs, one feature group each, rendered
// for three seconds and pinned by SHA-256 digests of this engine's own output: they show an unintended
// change and prove nothing about correctness (the tests above do that). A deliberate change updates them.
enum : uint8_t { kTriangle = 1, kSawtooth = 2, kSquare = 3, kNoise = 4 };
using BI = BuiltInstrument;

BuiltPerfEntry Entry(uint8_t note, uint8_t waveform, uint8_t c0 = 0, uint8_t p0 = 0, uint8_t c1 = 0, uint8_t p1 = 0,
                     bool fixed = false) {
    return BuiltPerfEntry{note, waveform, fixed, {c0, c1}, {p0, p1}};
}

// An instrument with the shared envelope; `fields` sets the 8-bit fields a song exercises.
BuiltInstrument Instrument(uint8_t waveLength, std::vector<BuiltPerfEntry> perfList, uint8_t perfSpeed = 1,
                           std::initializer_list<std::pair<uint8_t BI::*, uint8_t>> fields = {}) {
    BuiltInstrument in{.name = "Golden", .waveLength = waveLength, .envelope = {3, 64, 12, 40, 40, 25, 0},
                       .perfSpeed = perfSpeed, .perfList = std::move(perfList)};
    for (const auto& [field, value] : fields) in.*field = value;
    return in;
}

// The given tracks become tracks 1, 2, ... of 32 steps, their steps placed `gap` steps apart;
// each row of `positions` is one position's track per channel (track 0 is empty).
ModuleDescription Song(ModuleFormat format, uint16_t channels, const std::vector<std::vector<BuiltStep>>& tracks,
                       const std::vector<std::vector<uint8_t>>& positions, std::vector<BuiltInstrument> instruments,
                       uint8_t gap = 4, uint16_t restartPosition = 0) {
    ModuleDescription d;
    d.format = format;
    d.name = "Golden";
    d.channelCount = channels;
    d.restartPosition = restartPosition;
    d.trackLength = 32;
    d.instruments = std::move(instruments);
    d.tracks.resize(tracks.size() + 1);
    for (size_t t = 0; t < tracks.size(); ++t) {
        d.tracks[t + 1].resize(32);
        for (size_t s = 0; s < tracks[t].size() && s * gap < 32; ++s) d.tracks[t + 1][s * gap] = tracks[t][s];
    }
    for (const auto& row : positions) std::copy(row.begin(), row.end(), d.positions.emplace_back().track);
    return d;
}

// Voices 0..14 play tracks 1..6 with pans, tempo changes and held transposes; voice 15 plays the
// control track of each position: a break into step 8 of position 1, nothing, a jump back to 0.
ModuleDescription SixteenVoicesJumpsAndPans() {
    std::vector<std::vector<BuiltStep>> tracks;
    for (uint8_t t = 0; t < 6; ++t) {
        tracks.push_back({{uint8_t(13 + 3 * t), 1, 7, uint8_t(t * 37)}, {uint8_t(20 + t), 2, 0xE, 0xF1},
                          {uint8_t(25 + t), 1, 0xF, uint8_t(3 + t % 3)}, {uint8_t(22 + t), 2}});
    }
    tracks.push_back({{}, {}, {}, {0, 0, 0xD, 0x08}});  // track 7
    tracks.push_back({{}, {}, {0, 0, 0xB, 0x00}});      // track 8
    std::vector<std::vector<uint8_t>> positions(3);
    for (uint8_t p = 0; p < 3; ++p) {
        for (uint8_t c = 0; c < 15; ++c) positions[p].push_back(uint8_t(1 + (c + p) % 6));
        positions[p].push_back(p == 0 ? 7 : p == 1 ? 0 : 8);
    }
    ModuleDescription d = Song(ModuleFormat::kHvl, 16, tracks, positions,
                               {Instrument(2, {Entry(1, kTriangle)}), Instrument(4, {Entry(1, kSquare, 4, 0x01)})});
    d.speedMultiplier = 3;
    d.mixGainPercent = 200;  // loud enough to saturate
    for (BuiltPosition& position : d.positions) position.transpose[5] = 7;
    return d;
}

// Hashes little-endian bytes so the digests do not depend on the machine's byte order.
std::string Digest(const std::vector<Frame>& frames) {
    std::vector<uint8_t> bytes;
    for (const Frame& f : frames) {
        bytes.insert(bytes.end(), {uint8_t(f.left), uint8_t(f.left >> 8), uint8_t(f.right), uint8_t(f.right >> 8)});
    }
    return Sha256Hex(bytes.data(), bytes.size());
}

TEST(GoldenRender, BuiltSongsStillSoundAsPinned) {
    const struct {
        const char* what;
        ModuleDescription song;
        int32_t stereoMode;
        const char* sha256;
    } cases[] = {
        {"envelopes, hard cut, volume commands",
         Song(ModuleFormat::kHvl, 4,
              {{{25, 1}, {25, 0, 0xA, 0x03}, {28, 2, 0xC, 0x20}, {30, 1, 0xE, 0xA5}, {32, 2, 0xE, 0xB9},
                {33, 1, 0xE, 0xC3}, {35, 2, 0xC, 0x70}, {37, 1, 0xC, 0xC0}},
               {{13, 3}, {}, {13, 3, 0xA, 0x40}, {}, {15, 3}, {}, {13, 3}}},
              {{1, 2}, {1, 2}},
              {Instrument(3, {Entry(1, kTriangle)}),
               Instrument(2, {Entry(1, kSawtooth)}, 1, {{&BI::hardCutRelease, 1}, {&BI::hardCutFrames, 2}}),
               Instrument(4, {Entry(1, kTriangle)}, 1, {{&BI::hardCutFrames, 3}})}),
         0, "1dd36c4de5413f0504627f0488aa8e19fbb50eb7997d5024fa92e398e080cb96"},
        {"slides, portamento, vibrato",
         Song(ModuleFormat::kHvl, 4,
              {{{25, 1}, {0, 0, 1, 0x04}, {0, 0, 2, 0x06}, {37, 0, 3, 0x08}, {30, 1, 5, 0x21}, {0, 0, 0xE, 0x1F},
                {0, 0, 0xE, 0x27}, {40, 2, 0xE, 0x40}},
               {{20, 2}, {}, {27, 2, 0xE, 0x43}}},
              {{1, 2}, {1, 2, 1}},
              {Instrument(3, {Entry(1, kSawtooth)}),
               Instrument(4, {Entry(1, kTriangle)}, 1,
                          {{&BI::vibratoDelay, 4}, {&BI::vibratoSpeed, 8}, {&BI::vibratoDepth, 6}})}),
         0, "bfba5acd5eac25a729b0ae0ae001b023723f54ea8f276f101d8d47da22269ba9"},
        {"square and filter modulation",
         Song(ModuleFormat::kHvl, 4,
              {{{25, 1}, {}, {27, 1, 9, 0x40}, {}, {30, 2, 4, 0x50}, {}, {32, 2, 4, 0x10}},
               {{13, 2}, {}, {}, {}, {18, 1, 4, 0x58}}},
              {{1, 2}},
              {Instrument(5, {Entry(1, kSquare, 4, 0x11, 3, 0x20), Entry(0, 0, 0, 40)}, 6,
                          {{&BI::squareLowerLimit, 16}, {&BI::squareUpperLimit, 100}, {&BI::squareSpeed, 2},
                           {&BI::filterLowerLimit, 5}, {&BI::filterUpperLimit, 60}, {&BI::filterSpeed, 1}}),
               Instrument(3, {Entry(1, kSawtooth, 4, 0xF0, 0, 20)}, 1,
                          {{&BI::filterLowerLimit, 10}, {&BI::filterUpperLimit, 50}})}),
         0, "7aa56c8bbcecbd14f7c461bfbfb0cb21128b0b55b8e40685d5e9b3cb6507d627"},
        {"ring modulation, noise, performance lists, note delay",
         Song(ModuleFormat::kHvl, 4,
              {{{25, 1}, {}, {32, 1}, {}, {28, 1, 0xE, 0xD2}},
               {{37, 2}, {40, 2, 0xE, 0xD3}, {42, 2, 0xE, 0xC2}, {37, 2}, {38, 2}}},
              {{1, 2}, {1, 2}},
              {Instrument(4,
                          {Entry(1, kTriangle, 7, 0x8D), Entry(0, 0, 1, 0x10), Entry(0, kSawtooth, 8, 0x30),
                           Entry(3, 0, 2, 0x08), Entry(0, 0, 9, 0x80, 0xC, 0x60), Entry(49, 0, 0xF, 0x03, 0, 0, true),
                           Entry(0, 0, 7, 0x00), Entry(0, 0, 5, 1)},
                          3),
               Instrument(5, {Entry(1, kNoise), Entry(0, 0, 0xC, 0x20)}, 8)}),
         0, "1823e02206dfe18e831eefdedb6ea1fca094c6565a29744a6d1f88ed2ea028d8"},
        {"AHX file, stereo mode 3, steps 2 apart, restart at 1",
         Song(ModuleFormat::kAhx, 4,
              {{{25, 1}, {28, 1}, {32, 2, 3, 0x10}, {30, 1, 0xC, 0x30}},
               {{13, 2}, {20, 2, 1, 0x02}},
               {{37, 1, 0xF, 0x04}, {40, 1}, {44, 2, 0xD, 0x00}}},
              {{1, 2, 3, 1}, {3, 2, 1, 0}, {2, 3, 1, 2}},
              {Instrument(3, {Entry(1, kSawtooth), Entry(0, kTriangle)}, 4), Instrument(5, {Entry(1, kSquare)})}, 2, 1),
         3, "b3639b55fb634c12bac8b9f50d994176ff5f72fb14df95f6957cc160446003f0"},
        {"16 voices, multiplier 3, pans, jumps, held transpose", SixteenVoicesJumpsAndPans(), 0,
         "3f36d738fb63029d7840bf63b4c4954894cc567674281d2769ff67e80c1e6b97"},
    };
    // Both mixing paths must give these digests; on a processor without AVX2 both runs are portable.
    for (const bool portable : {true, false}) {
        ForcePortableMixing(portable);
        for (const auto& c : cases) {
            auto tune = LoadBytes(BuildModule(c.song), c.stereoMode);
            ASSERT_NE(tune, nullptr) << c.what;
            const std::vector<Frame> frames = Render(tune.get(), 150);
            const auto silentFrames = static_cast<size_t>(std::count(frames.begin(), frames.end(), Frame{}));
            EXPECT_LT(silentFrames, frames.size() / 2) << c.what << ": a pinned silence would guard nothing";
            EXPECT_EQ(Digest(frames), c.sha256) << c.what << (portable ? ", portable mixing" : "");
        }
    }
    ForcePortableMixing(false);
}

}  // namespace
