// THX reading: the format's stated edge cases and failures, and the decisions beyond it.
// Expected values are the ones the format defines or worked out by hand from its byte layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "tests/loader/loader_test_support.h"

namespace {

class AhxReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static ModuleDescription Small() { return SmallModule(ModuleFormat::Ahx); }
};

TEST_F(AhxReaderTest, RejectedFiles) {
    struct Case {
        const char* what;
        void (*change)(ModuleDescription*);
    };
    const Case tooLarge[] = {
        {"1001 positions", [](ModuleDescription* d) { d->positions.resize(1001); }},
        {"track length 65", [](ModuleDescription* d) { d->trackLength = 65; }},
        {"65 instruments", [](ModuleDescription* d) { d->instruments.resize(65); }},
    };
    for (const Case& c : tooLarge) {
        ModuleDescription d = Small();
        c.change(&d);
        EXPECT_EQ(LoadBuilt(d), nullptr) << c.what;
    }
    std::vector<uint8_t> bytes = BuildModule(Small());
    bytes[3] = 3;
    EXPECT_EQ(LoadBytes(bytes), nullptr) << "revision 3";
    EXPECT_EQ(ReadAhxTune(nullptr, 0, 0, 44100), nullptr);

    ModuleDescription d = Small();
    d.positions.resize(1000);
    d.trackLength = 64;
    d.instruments.resize(64);
    EXPECT_NE(LoadBuilt(d), nullptr) << "the limits themselves are accepted";
}

TEST_F(AhxReaderTest, HeaderFields) {
    ModuleDescription d = Small();
    d.positions.resize(400);
    d.restartPosition = 0x0120;
    d.speedMultiplier = 4;
    for (uint8_t revision : {0, 1, 2}) {
        d.version = revision;
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr) << int{revision};
        EXPECT_EQ(tune->restartPosition, 288);
        EXPECT_EQ(tune->positionCount, 400);
        EXPECT_EQ(tune->speedMultiplier, 4);
        EXPECT_EQ(tune->channelCount, 4);
        EXPECT_EQ(tune->formatVersion, 0) << "EF1 never acts in THX tunes";
        EXPECT_EQ(tune->waveformBase[1] - waveBank.samples, 202372);
    }
    d.restartPosition = 400;
    EXPECT_EQ(LoadBuilt(d)->restartPosition, 399);
}

TEST_F(AhxReaderTest, StereoModeArgument) {
    struct Case {
        int32_t argument;
        uint32_t storedMode, panLeft, panRight, mixGain;
    };
    const Case cases[] = {
        {0, 0, 128, 128, 181}, {1, 1, 96, 160, 184}, {2, 2, 64, 193, 194}, {3, 3, 32, 225, 217},
        {4, 4, 0, 255, 256},   {5, 0, 128, 128, 181}, {-1, 0, 128, 128, 181},
    };
    for (const Case& c : cases) {
        TunePtr tune = LoadBuilt(Small(), c.argument);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(tune->stereoMode, c.storedMode) << c.argument;
        EXPECT_EQ(tune->defaultPanLeft, c.panLeft) << c.argument;
        EXPECT_EQ(tune->defaultPanRight, c.panRight) << c.argument;
        EXPECT_EQ(tune->mixGain, c.mixGain) << c.argument;
    }
}

TEST_F(AhxReaderTest, StepBytes) {
    ModuleDescription d = Small();
    d.tracks[1].resize(4);
    d.tracks[1][2] = BuiltStep{11, 21, 12, 0x80, 0, 0};
    const std::vector<uint8_t> bytes = BuildModule(d);
    // Track 1 step 2: header 14, subsongs 4, positions 24, track 0 of 12 bytes, two steps of 3.
    const size_t at = 14 + 4 + 24 + 12 + 6;
    ASSERT_EQ(bytes[at], 0x2D);
    ASSERT_EQ(bytes[at + 1], 0x5C);
    ASSERT_EQ(bytes[at + 2], 0x80);
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    const Step& step = tune->tracks[1].steps[2];
    EXPECT_EQ(step.note, 11);
    EXPECT_EQ(step.instrument, 21);
    EXPECT_EQ(step.command1, 12);
    EXPECT_EQ(step.param1, 0x80);
    EXPECT_EQ(step.command2, 0);
    EXPECT_EQ(step.param2, 0);
    EXPECT_EQ(tune->positions[2].transpose[3], -12);
}

TEST_F(AhxReaderTest, SubsongStartsOutsideThePositionListBecomeZero) {
    ModuleDescription d = Small();
    d.positions.resize(40);
    d.subsongs = {50, 39};
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->subsongList[0], 0);
    EXPECT_EQ(tune->subsongList[1], 39);
}

TEST_F(AhxReaderTest, OmittedTrackZeroWithNoOtherTrackHoldsNoTrackData) {
    ModuleDescription d = Small();
    d.omitTrack0 = true;
    d.tracks.resize(1);
    const std::vector<uint8_t> bytes = BuildModule(d);
    EXPECT_EQ(NameTableOffset(bytes), 14u + 4 + 24 + (22 + 8) + 22) << "no step bytes at all";
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->trackCount, 0);
    EXPECT_EQ(tune->tracks[0].steps[0].note, 0);
    EXPECT_EQ(tune->instruments[1].perfList.entries[0].waveform, 3);
}

// Performance-list codes and the revision-0 mask on modulation switches.
TEST_F(AhxReaderTest, PerfEntryCommands) {
    struct Case {
        uint8_t revision;
        uint8_t command0, param0, command1, param1;
        uint8_t expectedParam0, expectedParam1;
    };
    const Case cases[] = {
        {0, 4, 0x35, 4, 0xF1, 0x05, 0x01}, {1, 4, 0x35, 4, 0xF1, 0x35, 0xF1},
        {2, 4, 0x35, 0, 0x35, 0x35, 0x35}, {0, 4, 0x05, 3, 0x35, 0x05, 0x35},
        {0, 12, 0x35, 15, 0xF4, 0x35, 0xF4}, {2, 12, 0x40, 15, 0x03, 0x40, 0x03},
        {0, 5, 0x35, 1, 0xFF, 0x35, 0xFF},
    };
    for (const Case& c : cases) {
        ModuleDescription d = Small();
        d.version = c.revision;
        BuiltPerfEntry& entry = d.instruments[0].perfList[0];
        entry.commands[0] = c.command0;
        entry.params[0] = c.param0;
        entry.commands[1] = c.command1;
        entry.params[1] = c.param1;
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        const PerfEntry& e = tune->instruments[1].perfList.entries[0];
        EXPECT_EQ(e.commands[0], c.command0);
        EXPECT_EQ(e.commands[1], c.command1);
        EXPECT_EQ(e.params[0], c.expectedParam0) << int{c.revision} << " " << int{c.command0};
        EXPECT_EQ(e.params[1], c.expectedParam1) << int{c.revision} << " " << int{c.command1};
    }
}

TEST_F(AhxReaderTest, PerfEntryBytes) {
    // codes 7 (command 15) and 6 (command 12), waveform 4 (noise), fixed, note 0x2A, params 0x12, 0x34
    const uint8_t entry[4] = {0xFA, 0x6A, 0x12, 0x34};
    std::vector<uint8_t> bytes = BuildModule(Small());
    const size_t at = NameTableOffset(bytes) - 22 - 8;  // instrument 1's first entry
    std::copy(entry, entry + 4, bytes.begin() + static_cast<long>(at));
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    const PerfEntry& e = tune->instruments[1].perfList.entries[0];
    EXPECT_EQ(e.commands[0], 12);
    EXPECT_EQ(e.commands[1], 15);
    EXPECT_EQ(e.waveform, 4);
    EXPECT_EQ(e.fixed, 1);
    EXPECT_EQ(e.note, 0x2A);
    EXPECT_EQ(e.params[0], 0x12);
    EXPECT_EQ(e.params[1], 0x34);
}

TEST_F(AhxReaderTest, EachTruncatedSectionFailsTheLoad) {
    const std::vector<uint8_t> bytes = BuildModule(Small());
    // Header 14, subsongs 4, positions 3 * 8, two tracks of 12, instrument 1 with two entries
    // (its header ends at 88), instrument 2.
    const uint32_t sectionEnds[] = {14, 18, 42, 54, 66, 88, 96, 118};
    ASSERT_EQ(NameTableOffset(bytes), 118u);
    for (uint32_t end : sectionEnds) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + end - 1);
        EXPECT_EQ(LoadBytes(cut), nullptr) << end - 1;
    }
    EXPECT_NE(LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 118)), nullptr);
}

}  // namespace
