// Performance-list timing, square-width and filter modulation, the sample sources and the square
// build. Expected values are worked out by hand from the definitions; a square of width w holds
// 128 - 2w low samples, then 2w high ones.
#include <algorithm>

#include "tests/replay/replay_fixture.h"

namespace {

using PerfTest = ReplayTest;

// Note 25 with instrument 1: the row's list, wave length 5 with square limits 10..13 at speed 1.
TEST_F(PerfTest, ListTimingAndModulation) {
    using Set = std::function<void(Instrument&)>;
    const auto speed = [](uint16_t speed) -> Set { return [=](Instrument& i) { i.perfList.speed = speed; }; };
    const auto filter = [](uint8_t speed, uint8_t lower, uint8_t upper) -> Set {
        return [=](Instrument& i) { i.filterSpeed = speed, i.filterLowerLimit = lower, i.filterUpperLimit = upper; };
    };
    const Read index = VOICE(v.perfIndex);
    const Read square = VOICE(v.squarePosition);
    const PerfEntry slide{0, 0, 0, {0x1, 0}, {4, 0}};
    const std::vector<PerfEntry> filterOn{{0, 1, 0, {0x4, 0}, {0x10, 0}}};
    const struct { const char* name; std::vector<PerfEntry> list; Set set; Read read; std::vector<int32_t> values; }
        cases[] = {
            {"entry 0 on the step tick, then every second tick", {{}, {}, {}}, speed(2), index, {1, 1, 2, 2, 3, 3}},
            {"a jump to 0 waits for the wait", {{}, {0, 0, 0, {0x5, 0}, {0, 0}}}, speed(2), index, {1, 1, 0, 0, 1, 1}},
            {"speed 0 runs an entry every tick", {{0, 0, 0, {0xF, 0}, {0, 0}}, {}, {}}, speed(3), index, {1, 2, 3}},
            {"a new speed sets the wait after it", {{0, 0, 0, {0xF, 0}, {3, 0}}, {}}, speed(1), index, {1, 1, 1, 2}},
            {"after the last entry a slide runs until the wait expires", {slide}, speed(2), VOICE(v.perfSlideOffset),
             {-4, -8, -12, -12, -12}},
            // A waveform resets the list slide, the slide command sets it again, the fixed note comes last.
            {"entry order", {slide, {12, 2, 1, {0x1, 0}, {4, 0}}}, speed(1), VOICE(v.audioPeriod),
             {PeriodTable[24] - 4, PeriodTable[12] - 4}},
            {"waveform 6 names none, keeps the last", {{0, 2, 0, {0, 0}, {0, 0}}, {0, 6, 0, {0, 0}, {0, 0}}}, speed(1),
             VOICE(v.waveform), {1, 1}},
            {"square enters its range, then bounces", {{0, 3, 0, {0x3, 0x4}, {8, 0}}}, speed(1), square,
             {9, 10, 11, 12, 13, 12, 11, 10, 11}},
            {"square from above comes down", {{0, 3, 0, {0x3, 0x4}, {16, 0}}}, speed(1), square, {15, 14, 13, 12, 11}},
            {"square waits for the square waveform", {{0, 1, 0, {0x3, 0x4}, {8, 0}}}, speed(1), square, {8, 8, 8}},
            // From 32 upward, five units a tick at speed 0, turning at 40.
            {"filter speed 0", filterOn, filter(0, 20, 40), VOICE(v.filterPosition), {37, 38, 33}},
            {"filter speed 2", filterOn, filter(2, 20, 40), VOICE(v.filterPosition), {35, 38, 39}},
            {"filter speed 4, every tick", filterOn, filter(4, 20, 40), VOICE(v.filterPosition), {33, 34, 35}},
            {"filter speed 6, every 3rd tick", filterOn, filter(6, 20, 40), VOICE(v.filterPosition), {33, 33, 33, 34}},
            {"filter limits beyond the bank stop at 63", filterOn, filter(0, 100, 62), VOICE(v.filterPosition),
             {37, 42, 47, 52, 57, 62, 63, 63}},
            // Sources: the set of the filter position, the waveform of the voice's length (2: offset 12, 5: 124).
            {"triangle at filter 10", {{0, 1, 0, {0x0, 0}, {10, 0}}}, [](Instrument& i) { i.waveLength = 2; },
             VOICE(v.waveSource - WaveSetStart(10) - kTrianglesOffset), {12}},
            {"sawtooth at filter 63", {{0, 2, 0, {0x0, 0}, {63, 0}}}, speed(1),
             VOICE(v.waveSource - WaveSetStart(63) - kSawtoothsOffset), {124}},
            {"ring sources are unfiltered", {{0, 1, 0, {0x8, 0x0}, {0x81, 10}}}, speed(1),
             VOICE(v.ringWave - WaveSetStart(32) - kSawtoothsOffset), {124}},
            // A new noise window every tick; the offsets from seed 640 are those the generator's definition lists.
            {"noise at filter 1", {{0, 4, 0, {0x0, 0}, {1, 0}}}, speed(1),
             VOICE(v.waveSource - WaveSetStart(1) - kNoiseOffset), {128, 26, 1038, 1050, 1058}},
        };
    for (const auto& c : cases) {
        SetUp();
        StepOf(0) = MakeStep(25, 1);
        Instrument& instrument = AddInstrument(c.list);
        instrument.waveLength = 5;
        instrument.squareLowerLimit = 10;
        instrument.squareUpperLimit = 13;
        instrument.squareSpeed = 1;
        c.set(instrument);
        EXPECT_EQ(PerTick(c.values.size(), c.read), c.values) << c.name;
    }
}

TEST_F(PerfTest, SquareBuildFoldsAndResamples) {
    const struct { uint16_t waveLength; int16_t position; int32_t highs; } cases[] = {
        {5, 9, 18},
        {5, 40, 2 * 24},  // widths above 32 fold back: 64 - 40
        {5, 0, 2},        // width 0 plays width 1
        {3, 4, 8},        // width 16 of 32 samples taken every 4th: the last quarter is high
        {0, 1, 2},        // width 32 of 4 samples: two low, two high
    };
    for (const auto& c : cases) {
        Voice& voice = VoiceAt(0);
        voice.filterPosition = 32;
        voice.waveLength = c.waveLength;
        voice.squarePosition = c.position;
        voice.squareChanged = 1;
        Frame(0);
        EXPECT_EQ(std::count(voice.squareBuffer, voice.squareBuffer + (4u << c.waveLength), 127), c.highs)
            << c.waveLength << " " << c.position;
        EXPECT_EQ(voice.waveSource, voice.squareBuffer);
    }
    // A step square position on a voice that never started an instrument (filter position 0)
    // builds the unfiltered square; filter position 1 gives another.
    SetUp();
    StepOf(0) = MakeStep(0, 0, 0x9, 0x40);
    StepTick(0);
    const std::vector<int8_t> unfiltered(VoiceAt(0).squareBuffer, VoiceAt(0).squareBuffer + 16);
    for (const int16_t position : {32, 1}) {
        VoiceAt(0).filterPosition = position;
        Frame(0);
        EXPECT_EQ(std::equal(unfiltered.begin(), unfiltered.end(), VoiceAt(0).squareBuffer), position == 32);
    }
}

}  // namespace
