// Regression guards: small built songs, one feature group each, rendered for three seconds and
// pinned by SHA-256. The digests were taken from this engine's own output once it was complete;
// they pin today's behaviour so that an unintended change shows up, and prove nothing about its
// correctness (the other tests do that). A change that alters the sound on purpose updates them.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/mixer/render_support.h"
#include "tests/support/sha256.h"

namespace {

using render_test::Frame;

enum : uint8_t { kTriangle = 1, kSawtooth = 2, kSquare = 3, kNoise = 4 };

BuiltPerfEntry Entry(uint8_t note, uint8_t waveform, uint8_t c0 = 0, uint8_t p0 = 0, uint8_t c1 = 0, uint8_t p1 = 0,
                     bool fixed = false) {
    BuiltPerfEntry e;
    e.note = note;
    e.waveform = waveform;
    e.fixed = fixed;
    e.commands[0] = c0;
    e.params[0] = p0;
    e.commands[1] = c1;
    e.params[1] = p1;
    return e;
}

BuiltInstrument Instrument(uint8_t waveLength, std::vector<BuiltPerfEntry> perfList, uint8_t perfSpeed = 1) {
    BuiltInstrument in;
    in.name = "Golden";
    in.waveLength = waveLength;
    in.envelope = BuiltEnvelope{3, 64, 12, 40, 40, 25, 0};
    in.perfSpeed = perfSpeed;
    in.perfList = std::move(perfList);
    return in;
}

// The given tracks become tracks 1, 2, ... of 32 steps, their steps placed `gap` steps apart;
// each row of `tracksPerPosition` is one position's track per channel (track 0 is empty).
ModuleDescription Song(ModuleFormat format, uint16_t channels, std::vector<std::vector<BuiltStep>> tracks,
                       std::vector<std::vector<uint8_t>> tracksPerPosition, uint8_t gap = 4) {
    ModuleDescription d;
    d.format = format;
    d.name = "Golden";
    d.channelCount = channels;
    d.trackLength = 32;
    d.tracks.resize(tracks.size() + 1);
    for (size_t t = 0; t < tracks.size(); ++t) {
        d.tracks[t + 1].resize(32);
        for (size_t s = 0; s < tracks[t].size() && s * gap < 32; ++s) d.tracks[t + 1][s * gap] = tracks[t][s];
    }
    for (const std::vector<uint8_t>& row : tracksPerPosition) {
        BuiltPosition position;
        for (size_t c = 0; c < row.size(); ++c) position.track[c] = row[c];
        d.positions.push_back(position);
    }
    return d;
}

ModuleDescription EnvelopesAndVolume() {
    ModuleDescription d = Song(ModuleFormat::Hvl, 4,
                               {{{25, 1}, {25, 0, 0xA, 0x03}, {28, 2, 0xC, 0x20}, {30, 1, 0xE, 0xA5},
                                 {32, 2, 0xE, 0xB9}, {33, 1, 0xE, 0xC3}, {35, 2, 0xC, 0x70}, {37, 1, 0xC, 0xC0}},
                                {{13, 3}, {}, {13, 3, 0xA, 0x40}, {}, {15, 3}, {}, {13, 3}}},
                               {{1, 2}, {1, 2}});
    d.instruments = {Instrument(3, {Entry(1, kTriangle)}), Instrument(2, {Entry(1, kSawtooth)}),
                     Instrument(4, {Entry(1, kTriangle)})};
    d.instruments[1].hardCutRelease = 1;
    d.instruments[1].hardCutFrames = 2;
    d.instruments[2].hardCutFrames = 3;
    return d;
}

ModuleDescription SlidesAndVibrato() {
    ModuleDescription d = Song(ModuleFormat::Hvl, 4,
                               {{{25, 1}, {0, 0, 1, 0x04}, {0, 0, 2, 0x06}, {37, 0, 3, 0x08}, {30, 1, 5, 0x21},
                                 {0, 0, 0xE, 0x1F}, {0, 0, 0xE, 0x27}, {40, 2, 0xE, 0x40}},
                                {{20, 2}, {}, {27, 2, 0xE, 0x43}}},
                               {{1, 2}, {1, 2, 1}});
    d.instruments = {Instrument(3, {Entry(1, kSawtooth)}), Instrument(4, {Entry(1, kTriangle)})};
    d.instruments[1].vibratoDelay = 4;
    d.instruments[1].vibratoSpeed = 8;
    d.instruments[1].vibratoDepth = 6;
    return d;
}

ModuleDescription SquareAndFilterModulation() {
    ModuleDescription d = Song(ModuleFormat::Hvl, 4,
                               {{{25, 1}, {}, {27, 1, 9, 0x40}, {}, {30, 2, 4, 0x50}, {}, {32, 2, 4, 0x10}},
                                {{13, 2}, {}, {}, {}, {18, 1, 4, 0x58}}},
                               {{1, 2}});
    BuiltInstrument square = Instrument(5, {Entry(1, kSquare, 4, 0x11, 3, 0x20), Entry(0, 0, 0, 40)}, 6);
    square.squareLowerLimit = 16;
    square.squareUpperLimit = 100;
    square.squareSpeed = 2;
    square.filterLowerLimit = 5;
    square.filterUpperLimit = 60;
    square.filterSpeed = 1;
    BuiltInstrument sweep = Instrument(3, {Entry(1, kSawtooth, 4, 0xF0, 0, 20)});
    sweep.filterLowerLimit = 10;
    sweep.filterUpperLimit = 50;
    sweep.filterSpeed = 0;
    d.instruments = {square, sweep};
    return d;
}

ModuleDescription RingNoiseAndPerformanceLists() {
    const std::vector<BuiltPerfEntry> ring = {
        Entry(1, kTriangle, 7, 0x8D), Entry(0, 0, 1, 0x10), Entry(0, kSawtooth, 8, 0x30), Entry(3, 0, 2, 0x08),
        Entry(0, 0, 9, 0x80, 0xC, 0x60), Entry(49, 0, 0xF, 0x03, 0, 0, true), Entry(0, 0, 7, 0x00), Entry(0, 0, 5, 1)};
    ModuleDescription d = Song(ModuleFormat::Hvl, 4,
                               {{{25, 1}, {}, {32, 1}, {}, {28, 1, 0xE, 0xD2}},
                                {{37, 2}, {40, 2, 0xE, 0xD3}, {42, 2, 0xE, 0xC2}, {37, 2}, {38, 2}}},
                               {{1, 2}, {1, 2}});
    d.instruments = {Instrument(4, ring, 3), Instrument(5, {Entry(1, kNoise), Entry(0, 0, 0xC, 0x20)}, 8)};
    return d;
}

ModuleDescription AhxFourVoices() {
    ModuleDescription d = Song(ModuleFormat::Ahx, 4,
                               {{{25, 1}, {28, 1}, {32, 2, 3, 0x10}, {30, 1, 0xC, 0x30}},
                                {{13, 2}, {20, 2, 1, 0x02}},
                                {{37, 1, 0xF, 0x04}, {40, 1}, {44, 2, 0xD, 0x00}}},
                               {{1, 2, 3, 1}, {3, 2, 1, 0}, {2, 3, 1, 2}}, 2);
    d.version = 1;
    d.restartPosition = 1;
    d.instruments = {Instrument(3, {Entry(1, kSawtooth), Entry(0, kTriangle)}, 4), Instrument(5, {Entry(1, kSquare)})};
    return d;
}

// Voices 0..14 play tracks 1..6 with pans, tempo changes and held transposes; voice 15 plays the
// control track of each position: a break into step 8 of position 1, nothing, a jump back to 0.
ModuleDescription SixteenVoicesJumpsAndPans() {
    std::vector<std::vector<BuiltStep>> tracks;
    for (uint8_t t = 0; t < 6; ++t) {
        tracks.push_back({{static_cast<uint8_t>(13 + 3 * t), 1, 7, static_cast<uint8_t>(t * 37)},
                          {static_cast<uint8_t>(20 + t), 2, 0xE, 0xF1},
                          {static_cast<uint8_t>(25 + t), 1, 0xF, static_cast<uint8_t>(3 + t % 3)},
                          {static_cast<uint8_t>(22 + t), 2}});
    }
    tracks.push_back({{}, {}, {}, {0, 0, 0xD, 0x08}});  // track 7
    tracks.push_back({{}, {}, {0, 0, 0xB, 0x00}});      // track 8
    std::vector<std::vector<uint8_t>> positions(3);
    const uint8_t controlTrack[] = {7, 0, 8};
    for (uint8_t p = 0; p < 3; ++p) {
        for (uint8_t c = 0; c < 15; ++c) positions[p].push_back(static_cast<uint8_t>(1 + (c + p) % 6));
        positions[p].push_back(controlTrack[p]);
    }
    ModuleDescription d = Song(ModuleFormat::Hvl, 16, tracks, positions);
    d.speedMultiplier = 3;
    d.mixGainPercent = 200;  // loud enough to saturate
    for (BuiltPosition& position : d.positions) position.transpose[5] = 7;
    d.instruments = {Instrument(2, {Entry(1, kTriangle)}), Instrument(4, {Entry(1, kSquare, 4, 0x01)})};
    return d;
}

TEST(GoldenRender, BuiltSongsStillSoundAsPinned) {
    const struct {
        const char* what;
        ModuleDescription song;
        int32_t stereoMode;
        const char* sha256;
    } cases[] = {
        {"envelopes, hard cut, volume commands", EnvelopesAndVolume(), 0,
         "1dd36c4de5413f0504627f0488aa8e19fbb50eb7997d5024fa92e398e080cb96"},
        {"slides, portamento, vibrato", SlidesAndVibrato(), 0,
         "bfba5acd5eac25a729b0ae0ae001b023723f54ea8f276f101d8d47da22269ba9"},
        {"square and filter modulation", SquareAndFilterModulation(), 0,
         "7aa56c8bbcecbd14f7c461bfbfb0cb21128b0b55b8e40685d5e9b3cb6507d627"},
        {"ring modulation, noise, performance lists, note delay", RingNoiseAndPerformanceLists(), 0,
         "1823e02206dfe18e831eefdedb6ea1fca094c6565a29744a6d1f88ed2ea028d8"},
        {"AHX file, stereo mode 3, restart", AhxFourVoices(), 3,
         "b3639b55fb634c12bac8b9f50d994176ff5f72fb14df95f6957cc160446003f0"},
        {"16 voices, multiplier 3, pans, jumps, held transpose", SixteenVoicesJumpsAndPans(), 0,
         "3f36d738fb63029d7840bf63b4c4954894cc567674281d2769ff67e80c1e6b97"},
    };
    for (const auto& c : cases) {
        auto tune = render_test::Load(c.song, 44100, c.stereoMode);
        ASSERT_NE(tune, nullptr) << c.what;
        const std::vector<Frame> frames = render_test::Render(tune.get(), 150);
        // Hash little-endian bytes so the digests do not depend on the machine's byte order.
        std::vector<uint8_t> bytes;
        uint32_t loudFrames = 0;
        for (const Frame& frame : frames) {
            for (const int16_t sample : {frame.left, frame.right}) {
                bytes.push_back(static_cast<uint8_t>(sample & 0xFF));
                bytes.push_back(static_cast<uint8_t>((sample >> 8) & 0xFF));
            }
            if (frame.left != 0 || frame.right != 0) ++loudFrames;
        }
        EXPECT_GT(loudFrames, frames.size() / 2) << c.what << ": a pinned silence would guard nothing";
        EXPECT_EQ(Sha256Hex(bytes.data(), bytes.size()), c.sha256) << c.what;
    }
}

}  // namespace
