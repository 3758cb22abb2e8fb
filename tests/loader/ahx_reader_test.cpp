// THX reading: header fields, the stereo mode argument, 3-byte steps and 4-byte performance-list
// entries with their command codes. Expected values are the ones the format defines or worked
// out by hand from its byte layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/loader/loader_test_support.h"

namespace {

class AhxReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static ModuleDescription Small() { return SmallModule(ModuleFormat::Ahx); }
};

TEST_F(AhxReaderTest, RevisionsAndHeaderFields) {
    ModuleDescription d = Small();
    d.speedMultiplier = 4;
    for (uint8_t revision : {0, 1, 2, 3}) {
        d.version = revision;
        TunePtr tune = LoadBuilt(d);
        if (revision == 3) {
            EXPECT_EQ(tune, nullptr);
            continue;
        }
        ASSERT_NE(tune, nullptr) << int{revision};
        EXPECT_EQ(tune->speedMultiplier, 4);
        EXPECT_EQ(tune->channelCount, 4);
        EXPECT_EQ(tune->formatVersion, 0) << "EF1 never acts in THX tunes";
        EXPECT_EQ(tune->waveformBase[1] - waveBank.samples, 202372);
    }
    EXPECT_EQ(ReadAhxTune(nullptr, 0, 0, 44100), nullptr);
}

TEST_F(AhxReaderTest, StereoModeArgument) {
    struct Case {
        int32_t argument;
        uint32_t storedMode, panLeft, panRight, mixGain;
    };
    const Case cases[] = {
        {0, 0, 128, 128, 181}, {1, 1, 96, 160, 184},  {2, 2, 64, 193, 194},  {3, 3, 32, 225, 217},
        {4, 4, 0, 255, 256},   {5, 0, 128, 128, 181}, {-1, 0, 128, 128, 181},
    };
    for (const Case& c : cases) {
        TunePtr tune = LoadBuilt(Small(), c.argument);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(std::vector<uint32_t>({tune->stereoMode, tune->defaultPanLeft, tune->defaultPanRight, tune->mixGain}),
                  std::vector<uint32_t>({c.storedMode, c.panLeft, c.panRight, c.mixGain}))
            << c.argument;
    }
}

TEST_F(AhxReaderTest, StepBytes) {
    ModuleDescription d = Small();
    d.tracks[1].resize(4);
    d.tracks[1][2] = BuiltStep{11, 21, 12, 0x80, 0, 0};
    const std::vector<uint8_t> bytes = BuildModule(d);
    // Track 1 step 2: header 14, subsongs 4, positions 24, track 0 of 12 bytes, two steps of 3.
    const size_t at = 14 + 4 + 24 + 12 + 6;
    ASSERT_EQ(std::vector<int>(bytes.begin() + at, bytes.begin() + at + 3), std::vector<int>({0x2D, 0x5C, 0x80}));
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->tracks[1].steps[2]), std::vector<int>({11, 21, 12, 0x80, 0, 0}));
    EXPECT_EQ(tune->positions[2].transpose[3], -12);
}

// Command codes and the revision-0 mask on modulation switches (command 4).
TEST_F(AhxReaderTest, PerfEntryCommands) {
    struct Case {
        uint8_t revision, command0, param0, command1, param1, storedParam0, storedParam1;
    };
    const Case cases[] = {
        {0, 4, 0x35, 4, 0xF1, 0x05, 0x01},   {1, 4, 0x35, 4, 0xF1, 0x35, 0xF1}, {2, 4, 0x35, 0, 0x35, 0x35, 0x35},
        {0, 4, 0x05, 3, 0x35, 0x05, 0x35},   {0, 12, 0x35, 15, 0xF4, 0x35, 0xF4},
        {2, 12, 0x40, 15, 0x03, 0x40, 0x03}, {0, 5, 0x35, 1, 0xFF, 0x35, 0xFF},
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
        EXPECT_EQ(std::vector<int>({e.commands[0], e.params[0], e.commands[1], e.params[1]}),
                  std::vector<int>({c.command0, c.storedParam0, c.command1, c.storedParam1}))
            << "revision " << int{c.revision} << ", commands " << int{c.command0} << " " << int{c.command1};
    }
}

// The builder's choice for commands THX cannot express: an entry command that does nothing.
TEST_F(AhxReaderTest, BuiltCommandsWithoutACodeBecomeCommandZero) {
    ModuleDescription d = Small();
    BuiltPerfEntry& entry = d.instruments[0].perfList[0];
    entry = BuiltPerfEntry{};
    entry.commands[0] = 9;
    entry.params[0] = 0x80;
    entry.commands[1] = 6;
    entry.params[1] = 0x11;
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->instruments[1].perfList.entries[0]), std::vector<int>({0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(AhxReaderTest, PerfEntryBytes) {
    // second code 7 (command 15), first code 6 (command 12), waveform 4 (noise), fixed,
    // note 0x2A, params 0x12 and 0x34
    const uint8_t entry[4] = {0xFA, 0x6A, 0x12, 0x34};
    std::vector<uint8_t> bytes = BuildModule(Small());
    const size_t at = NameTableOffset(bytes) - 22 - 8;  // instrument 1's first entry
    std::copy(entry, entry + 4, bytes.begin() + static_cast<std::ptrdiff_t>(at));
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->instruments[1].perfList.entries[0]), std::vector<int>({12, 15, 4, 1, 0x2A, 0x12, 0x34}));
}

}  // namespace
