// Built modules played through the whole engine: checks of what the music must sound like (pitch,
// pan, silence, frames per fiftieth, song loop, when a vibrato is first heard, the pans of each stereo mode).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "builder/module_builder.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "tests/support/engine_render.h"
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

// Voice 0 plays notes 13, 25, 37 (periods 1712, 856, 428) at positions 0..2, then loops from the
// restart position 1: each a full-volume 32-sample triangle for 25 ticks (command F), panned hard
// left (command 7 with 0x80 is pan position 0; it acts before the note, so the instrument keeps it).
// Voices 1 and 2, note 37 with no instrument and with instrument 2 of 1, must be silent: nothing on the right.
ModuleDescription TriangleSong() {
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
    return d;
}

TEST(Render, PitchPanSilenceFramesPerFiftiethAndLoopAtEachRateAndMultiplier) {
    const struct {
        uint32_t rate, frames;  // frames: rate / 50, cut to a multiple of the multiplier: 2 x 441, 3 x 294, 4 x 220
        uint8_t multiplier;
    } cases[] = {{44100, 882, 1}, {44100, 882, 2}, {44100, 882, 3}, {44100, 880, 4}, {8000, 160, 1}, {192000, 3840, 1}};
    ModuleDescription d = TriangleSong();
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

// A vibrato counts its delay of d ticks down, starts at the sine's zero on tick d and moves the pitch
// from tick d + 1 on: until then the song sounds exactly as it does with depth 0.
TEST(Render, VibratoIsFirstHeardTheTickAfterItsDelay) {
    for (const uint8_t delay : {0, 1, 4, 9}) {
        ModuleDescription d = TriangleSong();
        d.instruments[0].vibratoDelay = delay;
        d.instruments[0].vibratoSpeed = 16;
        const std::vector<Frame> steady = Render(LoadBytes(BuildModule(d)).get(), 20);
        d.instruments[0].vibratoDepth = 15;
        const std::vector<Frame> vibrato = Render(LoadBytes(BuildModule(d)).get(), 20);
        const auto differs = std::mismatch(steady.begin(), steady.end(), vibrato.begin()).first;
        EXPECT_EQ((differs - steady.begin()) / 882, delay + 1) << "delay " << int{delay};
    }
}

// A loaded song has every group of four voices panned left, right, right, left with the pair of
// pans of its stereo mode.
TEST(Render, DefaultPansOfEachStereoMode) {
    const uint32_t pans[][2] = {{128, 128}, {96, 160}, {64, 193}, {32, 225}, {0, 255}};
    ModuleDescription d = TriangleSong();
    for (uint8_t mode = 0; mode < 5; ++mode) {
        d.stereoMode = mode;
        auto tune = LoadBytes(BuildModule(d));
        for (uint32_t v = 0; v < kMaxChannels; ++v) {
            const uint32_t pan = pans[mode][v % 4 == 0 || v % 4 == 3 ? 0 : 1];
            EXPECT_EQ(std::pair(tune->voices[v].panGainLeft, tune->voices[v].panGainRight),
                      std::pair(panTables.panLeft[pan], panTables.panRight[pan])) << "mode " << mode << " voice " << v;
        }
    }
}

}  // namespace
