// Square-width and filter modulation, the square build and the choice of sample sources.
// Expected positions are worked out by hand; square contents follow from the square shapes
// (128 - 2w low samples, then 2w high ones) and the bank layout.
#include <algorithm>

#include "replay/noise_window.h"
#include "tests/replay/replay_fixture.h"

namespace {

using ModulationTest = ReplayTest;

int32_t HighSamples(const Voice& voice) {
    const uint32_t length = 4u << voice.waveLength;
    return static_cast<int32_t>(std::count(voice.squareBuffer, voice.squareBuffer + length, 127));
}

// Instrument 1 whose first entry runs `entry`, with square limits 10..13 and filter limits 20..40.
Instrument& StartWithEntry(ReplayTest& test, const PerfEntry& entry, uint8_t waveLength = 5) {
    Instrument& instrument = test.StartWithList({entry});
    instrument.waveLength = waveLength;
    instrument.squareLowerLimit = 10;
    instrument.squareUpperLimit = 13;
    instrument.squareSpeed = 1;
    instrument.filterLowerLimit = 20;
    instrument.filterUpperLimit = 40;
    return instrument;
}

const auto kSquarePosition = [](const Voice& v) { return static_cast<int32_t>(v.squarePosition); };
const auto kFilterPosition = [](const Voice& v) { return static_cast<int32_t>(v.filterPosition); };

TEST_F(ModulationTest, SquareWidthEntersItsRangeThenBounces) {
    // Square waveform, width 8 (below the limits 10..13), modulation on.
    StartWithEntry(*this, PerfEntry{0, 3, 0, {0x3, 0x4}, {8, 0x00}});
    EXPECT_EQ(PerTick(9, kSquarePosition), (std::vector<int32_t>{9, 10, 11, 12, 13, 12, 11, 10, 11}));
    EXPECT_EQ(HighSamples(VoiceAt(0)), 2 * 11);
    EXPECT_EQ(VoiceAt(0).waveSource, VoiceAt(0).squareBuffer);
}

TEST_F(ModulationTest, SquareWidthAboveTheRangeComesDown) {
    StartWithEntry(*this, PerfEntry{0, 3, 0, {0x3, 0x4}, {16, 0x00}});
    EXPECT_EQ(PerTick(6, kSquarePosition), (std::vector<int32_t>{15, 14, 13, 12, 11, 10}));
}

TEST_F(ModulationTest, SquareModulationWaitsForTheSquareWaveform) {
    StartWithEntry(*this, PerfEntry{0, 1, 0, {0x3, 0x4}, {8, 0x00}});
    EXPECT_EQ(PerTick(3, kSquarePosition), (std::vector<int32_t>{8, 8, 8}));
}

TEST_F(ModulationTest, FilterModulation) {
    struct Case {
        const char* name;
        uint8_t speed;
        uint8_t lower, upper;
        std::vector<int32_t> positions;
    };
    const Case cases[] = {
        // From 32 upward, five units a tick, turning at 40.
        {"speed 0", 0, 20, 40, {37, 38, 33}},
        {"speed 2", 2, 20, 40, {35, 38, 39}},
        {"speed 4, every tick", 4, 20, 40, {33, 34, 35}},
        {"speed 6, every third tick", 6, 20, 40, {33, 33, 33, 34}},
        {"limits beyond the bank stop at 63", 0, 100, 62, {37, 42, 47, 52, 57, 62, 63, 63}},
    };
    for (const Case& c : cases) {
        SetUp();
        Instrument& instrument = StartWithEntry(*this, PerfEntry{0, 1, 0, {0x4, 0}, {0x10, 0}});
        instrument.filterSpeed = c.speed;
        instrument.filterLowerLimit = c.lower;
        instrument.filterUpperLimit = c.upper;
        EXPECT_EQ(PerTick(static_cast<int>(c.positions.size()), kFilterPosition), c.positions) << c.name;
    }
}

TEST_F(ModulationTest, SquareBuildFoldsAndResamples) {
    struct Case {
        uint16_t waveLength;
        int16_t position;
        int32_t highs;
    };
    const Case cases[] = {
        {5, 9, 18},
        {5, 40, 2 * 24},  // widths above 32 fold back: 64 - 40
        {5, 0, 2},        // width 0 plays width 1
        {5, 64, 2},
        {3, 4, 8},        // width 16 of 32 samples taken every 4th: the last quarter is high
        {0, 1, 2},        // width 32 of 4 samples: two low, two high
    };
    for (const Case& c : cases) {
        Voice& voice = VoiceAt(0);
        voice.filterPosition = 32;
        voice.waveLength = c.waveLength;
        voice.squarePosition = c.position;
        voice.squareChanged = 1;
        Frame(0);
        EXPECT_EQ(HighSamples(voice), c.highs) << c.waveLength << " " << c.position;
        EXPECT_EQ(voice.waveform, kWaveSquare);
        EXPECT_EQ(voice.squareChanged, 0);
    }
}

// A step square position on a voice that never started an instrument (filter position 0).
TEST_F(ModulationTest, SquareBuildOutsideTheFilterRangeUsesPlainSquares) {
    StepOf(0) = MakeStep(0, 0, 0x9, 0x40);
    StepTick(0);
    const std::vector<int8_t> unset(VoiceAt(0).squareBuffer, VoiceAt(0).squareBuffer + 16);
    VoiceAt(0).filterPosition = 32;
    Frame(0);
    EXPECT_EQ(std::vector<int8_t>(VoiceAt(0).squareBuffer, VoiceAt(0).squareBuffer + 16), unset);
    VoiceAt(0).filterPosition = 1;
    Frame(0);
    EXPECT_NE(std::vector<int8_t>(VoiceAt(0).squareBuffer, VoiceAt(0).squareBuffer + 16), unset);
}

TEST_F(ModulationTest, WaveSourcesFollowWaveformLengthAndFilter) {
    struct Case {
        uint8_t waveform;
        uint16_t waveLength;
        int16_t filterPosition;
        const int8_t* expected;
    };
    const Case cases[] = {
        {0, 2, 32, WaveSetStart(32) + kTrianglesOffset + 12},
        {0, 2, 10, WaveSetStart(10) + kTrianglesOffset + 12},
        {1, 5, 63, WaveSetStart(63) + kSawtoothsOffset + 124},
        {3, 0, 1, WaveSetStart(1) + kNoiseOffset + 128},
    };
    for (const Case& c : cases) {
        SetUp();
        Voice& voice = VoiceAt(0);
        voice.waveform = c.waveform;
        voice.waveformChanged = 1;
        voice.waveLength = c.waveLength;
        voice.filterPosition = c.filterPosition;
        Frame(0);
        EXPECT_EQ(voice.waveSource, c.expected) << int(c.waveform) << " " << c.filterPosition;
    }
}

TEST_F(ModulationTest, NoiseTakesANewWindowEveryTick) {
    uint32_t seed = 640;
    std::vector<uint32_t> offsets;
    for (int i = 0; i < 5; ++i) {
        offsets.push_back(NoiseWindowOffset(seed));
        seed = AdvanceNoiseSeed(seed);
    }
    EXPECT_EQ(offsets, (std::vector<uint32_t>{128, 26, 1038, 1050, 1058}));

    StartWithEntry(*this, PerfEntry{0, 4, 0, {0, 0}, {0, 0}});
    const int8_t* noise = tune->waveformBase[kWaveNoise];
    EXPECT_EQ(PerTick(3, [noise](const Voice& v) { return v.waveSource - noise; }),
              (std::vector<int32_t>{128, 26, 1038}));
}

TEST_F(ModulationTest, RingSourceIsUnfilteredAtTheVoicesLength) {
    StartWithEntry(*this, PerfEntry{0, 1, 0, {0x8, 0x0}, {0x81, 10}}, 4);
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).filterPosition, 10);
    EXPECT_EQ(VoiceAt(0).ringWave, WaveSetStart(32) + kSawtoothsOffset + 60);
    EXPECT_EQ(VoiceAt(0).ringPeriodChanged, 1);
}

// Waveform values 5 to 7 name no waveform and leave the voice's waveform as it was.
TEST_F(ModulationTest, UnknownEntryWaveformIsKept) {
    StartWithEntry(*this, PerfEntry{0, 6, 0, {0, 0}, {0, 0}});
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).waveform, kWaveTriangle);
    EXPECT_EQ(VoiceAt(0).waveformChanged, 0);
}

}  // namespace
