// Performance-list commands, alone and as entries run by the per-tick update. Expected values
// are worked out by hand from each command's definition.
#include <functional>

#include "tests/replay/replay_fixture.h"

namespace {

using PerfCommandTest = ReplayTest;

struct PerfCase {
    const char* name;
    std::vector<std::pair<uint8_t, uint8_t>> commands;
    std::function<int32_t(const Voice&)> field;
    int32_t expected;
};

TEST_F(PerfCommandTest, FieldsSetByCommandSequences) {
    const auto filter = [](const Voice& v) { return v.filterPosition * 100 + v.filterOverride; };
    const auto squareMod = [](const Voice& v) { return v.squareModOn * 10 + v.squareSign; };
    const auto filterMod = [](const Voice& v) { return v.filterModOn * 10 + v.filterSign; };
    const auto ring = [](const Voice& v) { return v.ringOn * 1000 + v.ringFixed * 100 + v.ringNote; };
    const PerfCase cases[] = {
        {"override wins once", {{0x0, 40}}, filter, 20 * 100 + 0},
        {"then the parameter", {{0x0, 40}, {0x0, 40}}, filter, 40 * 100},
        {"filter 64 keeps the override", {{0x0, 64}}, filter, 5 * 100 + 20},
        {"filter 0 leaves the waveform alone", {{0x0, 0}}, [](const Voice& v) { return v.waveformChanged; }, 0},
        {"slide up", {{0x1, 9}}, [](const Voice& v) { return v.perfSlideSpeed * 10 + v.perfSlideOn; }, 91},
        {"square position scaled", {{0x3, 0x20}}, [](const Voice& v) { return v.squarePosition; }, 0x20 >> 2},
        {"modulation 0x00", {{0x4, 0x00}}, squareMod, 11},
        {"modulation 0x0F", {{0x4, 0x0F}}, squareMod, 9},
        {"modulation 0x01 twice", {{0x4, 0x01}, {0x4, 0x01}}, squareMod, 1},
        {"modulation 0xF0", {{0x4, 0xF0}}, filterMod, 9},
        {"modulation 0x11 filter", {{0x4, 0x11}}, filterMod, 11},
        {"modulation 0x10 leaves square", {{0x4, 0x10}}, squareMod, 0},
        {"jump", {{0x5, 3}}, [](const Voice& v) { return v.perfIndex; }, 3},
        {"ring absolute 0x3C", {{0x7, 0x3C}}, ring, 1160},
        {"ring relative 0x81", {{0x7, 0x81}}, ring, 1001},
        {"ring sawtooth", {{0x8, 0xBC}}, [](const Voice& v) { return v.ringWaveform * 100 + v.ringNote; }, 160},
        {"ring off by 0x00", {{0x7, 0x3C}, {0x7, 0x00}}, ring, 0},
        {"ring off by 0xBD", {{0x7, 0x3C}, {0x7, 0xBD}}, ring, 0},
        {"pan 0x80", {{0x9, 0x80}}, [](const Voice& v) { return v.panGainLeft * 1000 + v.storedPan; }, 254128},
        {"volume 0x40", {{0xC, 0x40}}, [](const Voice& v) { return v.noteVolume; }, 64},
        {"volume 0x45 ignored", {{0xC, 0x45}}, [](const Voice& v) { return v.noteVolume; }, 30},
        {"perf volume 0x90", {{0xC, 0x90}}, [](const Voice& v) { return v.perfVolume; }, 64},
        {"master volume 0xE0", {{0xC, 0xE0}}, [](const Voice& v) { return v.masterVolume; }, 64},
        {"speed", {{0xF, 4}}, [](const Voice& v) { return v.perfSpeed * 10 + v.perfWait; }, 44},
        {"6, A, B, D, E ignored", {{0x6, 1}, {0xA, 1}, {0xB, 1}, {0xD, 1}, {0xE, 1}},
         [](const Voice& v) { return v.noteVolume + v.perfIndex; }, 30},
    };
    for (const PerfCase& c : cases) {
        SetUp();
        Voice& voice = VoiceAt(0);
        voice.filterPosition = 5;
        voice.filterOverride = 20;
        voice.waveLength = 3;
        voice.noteVolume = 30;
        voice.masterVolume = 50;
        for (const auto& [command, param] : c.commands) {
            ApplyPerfCommand(&voice, command, param);
        }
        EXPECT_EQ(c.field(voice), c.expected) << c.name;
    }
}

TEST_F(PerfCommandTest, StepSquarePositionSkipsTheNextSquareCommandOnce) {
    Voice& voice = VoiceAt(0);
    voice.waveLength = 5;
    voice.squarePosition = 7;
    voice.squareSetByStep = 1;
    ApplyPerfCommand(&voice, 0x3, 20);
    EXPECT_EQ(voice.squarePosition, 7);
    ApplyPerfCommand(&voice, 0x3, 20);
    EXPECT_EQ(voice.squarePosition, 20);
    EXPECT_EQ(voice.squareChanged, 0) << "a list square position does not switch the waveform";
}

const auto kPerfIndex = [](const Voice& v) { return v.perfIndex; };

TEST_F(PerfCommandTest, ListTiming) {
    // Entry 0 runs on the step tick; with speed 2 the next one two ticks later.
    StartWithList({PerfEntry{}, PerfEntry{}, PerfEntry{}}, 2);
    EXPECT_EQ(PerTick(6, kPerfIndex), (std::vector<int32_t>{1, 1, 2, 2, 3, 3}));

    // A jump back to 0 restarts the list once the wait has run out.
    SetUp();
    StartWithList({PerfEntry{}, PerfEntry{0, 0, 0, {0x5, 0}, {0, 0}}}, 2);
    EXPECT_EQ(PerTick(6, kPerfIndex), (std::vector<int32_t>{1, 1, 0, 0, 1, 1}));

    // Speed 0 from an entry runs an entry every tick.
    SetUp();
    StartWithList({PerfEntry{0, 0, 0, {0xF, 0}, {0, 0}}, PerfEntry{}, PerfEntry{}}, 3);
    EXPECT_EQ(PerTick(3, kPerfIndex), (std::vector<int32_t>{1, 2, 3}));

    // A new speed already sets the wait after its own entry.
    SetUp();
    StartWithList({PerfEntry{0, 0, 0, {0xF, 0}, {3, 0}}, PerfEntry{}}, 1);
    EXPECT_EQ(PerTick(4, kPerfIndex), (std::vector<int32_t>{1, 1, 1, 2}));
}

TEST_F(PerfCommandTest, EntryOrderWaveformCommandsNote) {
    // The waveform resets the list slide, the slide command then sets it again, the note comes last.
    StartWithList({PerfEntry{12, 2, 1, {0x1, 0x0}, {5, 0}}});
    Voice& voice = VoiceAt(0);
    voice.perfSlideOffset = 40;
    StepTick(0);
    EXPECT_EQ(voice.waveform, 1);
    EXPECT_EQ(voice.perfSlideOffset, -5);
    EXPECT_EQ(voice.perfNote, 12);
    EXPECT_EQ(voice.perfNoteFixed, 1);
    EXPECT_EQ(voice.audioPeriod, static_cast<int16_t>(PeriodTable[12] - 5));
}

TEST_F(PerfCommandTest, ListPanLastsUntilTheNextInstrumentStart) {
    StartWithList({PerfEntry{0, 0, 0, {0x9, 0}, {0x80, 0}}});
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).panGainLeft, 254u);
    StepOf(0) = MakeStep(0, 1);
    Process(0);
    EXPECT_EQ(VoiceAt(0).panGainLeft, panTables.panLeft[128]);
}

TEST_F(PerfCommandTest, SlideStopsOnceTheWaitAfterTheLastEntryExpires) {
    StartWithList({PerfEntry{0, 0, 0, {0x1, 0}, {4, 0}}}, 2);
    EXPECT_EQ(PerTick(5, [](const Voice& v) { return v.perfSlideOffset; }),
              (std::vector<int32_t>{-4, -8, -12, -12, -12}));
    EXPECT_EQ(VoiceAt(0).perfSlideSpeed, 0);
}

}  // namespace
