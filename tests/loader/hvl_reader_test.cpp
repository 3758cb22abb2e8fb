// HVL reading: dispatch, header fields, steps and performance-list entries, and the HVL-only
// decisions (channel limit, stereo mode). Expected values are the ones the format defines or
// worked out by hand from its byte layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "tests/loader/loader_test_support.h"

namespace {

class HvlReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static ModuleDescription Small() { return SmallModule(ModuleFormat::Hvl); }
};

TEST_F(HvlReaderTest, DispatchRejectsUnknownMagicAndVersions) {
    const std::pair<size_t, uint8_t> changes[] = {{0, 'X'}, {2, 'X'}, {3, 2}, {3, 0xFF}};
    for (const auto& [offset, value] : changes) {
        std::vector<uint8_t> bytes = BuildModule(Small());
        bytes[offset] = value;
        EXPECT_EQ(LoadBytes(bytes), nullptr) << offset << " = " << int{value};
    }
    EXPECT_EQ(LoadTune(nullptr, 0, 0, 44100), nullptr);
    EXPECT_EQ(LoadBytes({'H', 'V', 'L'}), nullptr);
    EXPECT_EQ(LoadBytes({'H', 'V', 'L', 1}), nullptr);
}

TEST_F(HvlReaderTest, ChannelCount) {
    ModuleDescription d = Small();
    d.channelCount = 16;
    d.restartPosition = 2;
    const std::vector<uint8_t> bytes = BuildModule(d);
    ASSERT_EQ(bytes[8], 0x30);  // (16 - 4) << 2, restart bits 9..8 zero
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->channelCount, 16);
    EXPECT_EQ(tune->restartPosition, 2);
    d.channelCount = 17;
    EXPECT_EQ(LoadBuilt(d), nullptr) << "a Tune never has more than 16 channels";
}

TEST_F(HvlReaderTest, HeaderFields) {
    ModuleDescription d = Small();
    d.speedMultiplier = 3;
    for (uint8_t version : {0, 1}) {
        d.version = version;
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(tune->formatVersion, version);
        EXPECT_EQ(tune->speedMultiplier, 3);
        EXPECT_EQ(tune->mixFrequency, 44100u);
        EXPECT_EQ(tune->waveformBase[0] - waveBank.samples, 202120);
        EXPECT_EQ(tune->waveformBase[1] - waveBank.samples, 202372);
        EXPECT_EQ(tune->waveformBase[2], nullptr);
        EXPECT_EQ(tune->waveformBase[3] - waveBank.samples, 206720);
    }
}

TEST_F(HvlReaderTest, MixGainAndStereoMode) {
    struct Case {
        uint8_t gainPercent, stereoMode;
        uint32_t mixGain, storedMode, panLeft, panRight;
    };
    const Case cases[] = {
        {100, 0, 256, 0, 128, 128}, {0, 1, 0, 1, 96, 160},    {255, 2, 652, 2, 64, 193},
        {50, 3, 128, 3, 32, 225},   {100, 4, 256, 4, 0, 255}, {100, 5, 256, 0, 128, 128},
        {100, 255, 256, 0, 128, 128},
    };
    for (const Case& c : cases) {
        ModuleDescription d = Small();
        d.mixGainPercent = c.gainPercent;
        d.stereoMode = c.stereoMode;
        TunePtr tune = LoadBuilt(d, 4);  // the argument is for THX files only
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(std::vector<uint32_t>({tune->mixGain, tune->stereoMode, tune->defaultPanLeft, tune->defaultPanRight}),
                  std::vector<uint32_t>({c.mixGain, c.storedMode, c.panLeft, c.panRight}))
            << int{c.gainPercent} << " " << int{c.stereoMode};
    }
}

TEST_F(HvlReaderTest, StepsPositionsAndTheTrackStore) {
    ModuleDescription d = Small();
    d.channelCount = 6;
    d.positions[2].track[5] = 200;
    d.positions[2].transpose[5] = -3;
    d.tracks[1][1].command2 = 0xE;
    d.tracks[1][1].param2 = 0xF1;
    d.tracks[1].push_back(BuiltStep{200, 70, 0, 0, 0, 0});  // out-of-range values stay as stored
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->positions[1].track[1], 1);
    EXPECT_EQ(tune->positions[2].track[5], 200);
    EXPECT_EQ(tune->positions[2].transpose[5], -3);
    EXPECT_EQ(tune->positions[2].transpose[3], -12);
    EXPECT_EQ(Fields(tune->tracks[1].steps[1]), std::vector<int>({25, 2, 3, 0x10, 0xE, 0xF1}));
    EXPECT_EQ(Fields(tune->tracks[1].steps[2]), std::vector<int>({200, 70, 0, 0, 0, 0}));
    // Tracks and steps the file does not store are empty, whatever a position names.
    for (int track : {0, 1, 2, 200, 255}) {
        for (int s = track < 2 ? 4 : 0; s < 64; ++s) {
            ASSERT_EQ(Fields(tune->tracks[track].steps[s]), Fields(Step{})) << track << ":" << s;
        }
    }
}

TEST_F(HvlReaderTest, ShortAndLongEmptyStepsDecodeAlike) {
    ModuleDescription d = Small();
    const std::vector<uint8_t> shortForm = BuildModule(d);
    d.hvlLongEmptySteps = true;
    const std::vector<uint8_t> longForm = BuildModule(d);
    // Two tracks of four steps hold six empty steps: four bytes more each in the long form.
    EXPECT_EQ(longForm.size(), shortForm.size() + 6 * 4);
    TunePtr a = LoadBytes(shortForm);
    TunePtr b = LoadBytes(longForm);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(std::memcmp(a->tracks, b->tracks, sizeof(a->tracks)), 0);
    EXPECT_EQ(b->instruments[1].perfList.entries[0].waveform, 3) << "the instruments after the tracks line up";
}

TEST_F(HvlReaderTest, PerfEntryBytes) {
    // commands 0xA and 0x9, waveform 4 (noise), fixed, note 0x2A, params 0x12 and 0x34; the
    // bits the format does not read are set.
    const uint8_t entry[5] = {0xFA, 0xCC, 0xEA, 0x12, 0x34};
    ModuleDescription d = Small();
    d.instruments[1].perfList.resize(1);
    std::vector<uint8_t> bytes = BuildModule(d);
    std::copy(entry, entry + 5, bytes.begin() + (NameTableOffset(bytes) - 5));
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->instruments[2].perfList.entries[0]), std::vector<int>({0xA, 0x9, 4, 1, 0x2A, 0x12, 0x34}));
}

}  // namespace
