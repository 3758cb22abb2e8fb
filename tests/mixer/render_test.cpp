// Built modules played through the whole engine, checked against what the music must sound like:
// pitch from the period, pans, silence, frame counts per fiftieth and at other rates, song loops.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/mixer/render_support.h"

namespace {

using render_test::Frame;
using render_test::Load;
using render_test::MeasureFrequency;
using render_test::OneVoiceSong;
using render_test::Render;

constexpr uint8_t kNote37 = 37;  // period 428
constexpr uint8_t kPanCommand = 7;
constexpr uint8_t kTempoCommand = 0xF;

// A 32-sample triangle at period p repeats 3546897 / (p * 32) times a second.
double TriangleHz(uint32_t period) { return render_test::kPeriodClockHz / (period * 32.0); }

TEST(Render, TriangleSoundsAtThePitchOfItsPeriodAtEveryRate) {
    for (const uint32_t rate : {8000u, 22050u, 44100u, 48000u, 192000u}) {
        auto tune = Load(OneVoiceSong({kNote37, 1}), rate);
        ASSERT_NE(tune, nullptr);
        const std::vector<Frame> frames = Render(tune.get(), 100);  // 2 s
        // Skip the first tenth of a second, where the envelope rises.
        const double hz = MeasureFrequency(frames, frames.size() / 20, frames.size(), rate);
        EXPECT_NEAR(hz, TriangleHz(428), TriangleHz(428) * 0.005) << rate << " Hz";
    }
}

TEST(Render, OtherRatesGiveTheirOwnFrameCounts) {
    const struct {
        uint32_t rate;
        uint32_t framesPerDecode;
    } cases[] = {{8000, 160}, {192000, 3840}, {22050, 441}};
    for (const auto& c : cases) {
        auto tune = Load(OneVoiceSong({kNote37, 1}), c.rate);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(FramesPerDecode(tune.get()), c.framesPerDecode);
        // One second of output is the rate in frames.
        EXPECT_EQ(Render(tune.get(), 50).size(), c.rate);
    }
}

TEST(Render, SpeedMultipliersWriteTheirShareOfEachFiftieth) {
    const uint32_t expected[] = {882, 882, 882, 880};  // 882, 2 x 441, 3 x 294, 4 x 220
    for (uint8_t multiplier = 1; multiplier <= 4; ++multiplier) {
        ModuleDescription d = OneVoiceSong({kNote37, 1});
        d.speedMultiplier = multiplier;
        auto tune = Load(d);
        ASSERT_NE(tune, nullptr);
        ASSERT_EQ(FramesPerDecode(tune.get()), expected[multiplier - 1]);
        const Frame sentinel{INT16_MAX, INT16_MIN};
        std::vector<Frame> frames(882, sentinel);
        for (int decode = 0; decode < 10; ++decode) {
            DecodeFrame(tune.get(), &frames[0].left, &frames[0].right, sizeof(Frame));
        }
        for (uint32_t i = 0; i < 882; ++i) {
            const bool untouched = frames[i].left == sentinel.left && frames[i].right == sentinel.right;
            EXPECT_EQ(untouched, i >= expected[multiplier - 1]) << "multiplier " << int(multiplier) << " frame " << i;
        }
    }
}

TEST(Render, HardLeftPanIsSilentOnTheRight) {
    // Pan command 0x80 is pan position 0; it acts before the note, so the instrument keeps it.
    auto tune = Load(OneVoiceSong({kNote37, 1, kPanCommand, 0x80}));
    ASSERT_NE(tune, nullptr);
    int32_t loudestLeft = 0;
    for (const Frame& frame : Render(tune.get(), 50)) {
        ASSERT_EQ(frame.right, 0);
        if (frame.left > loudestLeft) loudestLeft = frame.left;
    }
    EXPECT_GT(loudestLeft, 5000);
}

TEST(Render, VoiceWithoutAValidInstrumentIsSilent) {
    for (const uint8_t instrument : {0, 2, 64}) {  // none, and numbers beyond the one instrument
        auto tune = Load(OneVoiceSong({kNote37, instrument}));
        ASSERT_NE(tune, nullptr);
        for (const Frame& frame : Render(tune.get(), 50)) {
            ASSERT_EQ(frame.left, 0) << "instrument " << int(instrument);
            ASSERT_EQ(frame.right, 0);
        }
    }
}

TEST(Render, SongLoopsAtItsRestartPositionAtTheMultipliersPace) {
    // Positions 0, 1, 2 play one step each of notes 13, 25, 37 (periods 1712, 856, 428), an
    // octave apart, at tempo 25. A tick is 1/(50 m) s, so a step is half a second at multiplier
    // 1 and a quarter at 2. After position 2 play goes on at the restart position 1.
    for (uint8_t multiplier = 1; multiplier <= 4; ++multiplier) {
        ModuleDescription d;
        d.name = "Loop";
        d.speedMultiplier = multiplier;
        d.trackLength = 1;
        d.restartPosition = 1;
        d.positions.resize(3);
        d.tracks.resize(4);
        const uint8_t notes[] = {13, 25, 37};
        for (uint8_t p = 0; p < 3; ++p) {
            d.positions[p].track[0] = static_cast<uint8_t>(p + 1);
            d.tracks[p + 1] = {BuiltStep{notes[p], 1, kTempoCommand, 25}};
        }
        d.instruments = {render_test::HeldTriangle()};
        auto tune = Load(d);
        ASSERT_NE(tune, nullptr);

        const uint32_t stepFrames = 25 * FramesPerDecode(tune.get()) / multiplier;
        const std::vector<Frame> frames = Render(tune.get(), 25 * 7);  // at least 7 steps
        const uint32_t expectedPeriods[] = {1712, 856, 428, 856, 428, 856, 428};
        for (uint32_t step = 0; step < 7; ++step) {
            const size_t begin = step * stepFrames + stepFrames / 10;
            const size_t end = (step + 1) * stepFrames - stepFrames / 10;
            const double expected = TriangleHz(expectedPeriods[step]);
            EXPECT_NEAR(MeasureFrequency(frames, begin, end, 44100), expected, expected * 0.03)
                << "multiplier " << int(multiplier) << " step " << step;
        }
    }
}

}  // namespace
