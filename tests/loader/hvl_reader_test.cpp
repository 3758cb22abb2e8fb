// HVL reading: the format's stated edge cases, its failures, and the decisions that go beyond the
// format (truncated files, too many channels, out-of-range values). Expected values are the ones
// the format defines or worked out by hand from its byte layout.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "tests/loader/loader_test_support.h"

namespace {

class HvlReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static ModuleDescription Small() { return SmallModule(ModuleFormat::Hvl); }
};

TEST_F(HvlReaderTest, RejectedFiles) {
    struct Case {
        const char* what;
        void (*change)(ModuleDescription*);
    };
    // Whole, well-formed files: only the limit is wrong.
    const Case tooLarge[] = {
        {"1001 positions", [](ModuleDescription* d) { d->positions.resize(1001); }},
        {"track length 65", [](ModuleDescription* d) { d->trackLength = 65; }},
        {"65 instruments", [](ModuleDescription* d) { d->instruments.resize(65); }},
        {"17 channels", [](ModuleDescription* d) { d->channelCount = 17; }},
    };
    for (const Case& c : tooLarge) {
        ModuleDescription d = Small();
        c.change(&d);
        EXPECT_EQ(LoadBuilt(d), nullptr) << c.what;
    }
    const std::pair<size_t, uint8_t> badMagic[] = {{0, 'X'}, {2, 'X'}, {3, 2}, {3, 0xFF}};
    for (const auto& [offset, value] : badMagic) {
        std::vector<uint8_t> bytes = BuildModule(Small());
        bytes[offset] = value;
        EXPECT_EQ(LoadBytes(bytes), nullptr) << offset << "=" << int{value};
    }
    EXPECT_EQ(LoadTune(nullptr, 0, 0, 44100), nullptr);
    EXPECT_EQ(LoadBytes({'H', 'V', 'L'}), nullptr);
    EXPECT_EQ(LoadBytes({'H', 'V', 'L', 1}), nullptr);
}

TEST_F(HvlReaderTest, LimitsAreInclusive) {
    ModuleDescription d = Small();
    d.trackLength = 64;
    d.positions.resize(1000);
    d.instruments.resize(64);
    d.channelCount = 16;
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->positionCount, 1000);
    EXPECT_EQ(tune->trackLength, 64);
    EXPECT_EQ(tune->instrumentCount, 64);
    EXPECT_EQ(tune->channelCount, 16);
}

TEST_F(HvlReaderTest, HeaderFields) {
    ModuleDescription d = Small();
    d.speedMultiplier = 3;
    d.positions.resize(20);
    d.restartPosition = 300;
    for (uint8_t version : {0, 1}) {
        d.version = version;
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(tune->formatVersion, version);
        EXPECT_EQ(tune->speedMultiplier, 3);
        EXPECT_EQ(tune->restartPosition, 19) << "restart beyond the list goes to the last position";
        EXPECT_EQ(tune->mixFrequency, 44100u);
        EXPECT_EQ(tune->waveformBase[0] - waveBank.samples, 202120);
        EXPECT_EQ(tune->waveformBase[1] - waveBank.samples, 202372);
        EXPECT_EQ(tune->waveformBase[2], nullptr);
        EXPECT_EQ(tune->waveformBase[3] - waveBank.samples, 206720);
    }
}

TEST_F(HvlReaderTest, ChannelByte) {
    ModuleDescription d = Small();
    d.channelCount = 16;
    d.restartPosition = 2;
    const std::vector<uint8_t> bytes = BuildModule(d);
    ASSERT_EQ(bytes[8], 0x30);  // (16 - 4) << 2, restart bits 9..8 zero
    ASSERT_EQ(bytes[9], 2);
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->channelCount, 16);
    EXPECT_EQ(tune->restartPosition, 2);
}

TEST_F(HvlReaderTest, MixGainAndStereoMode) {
    struct Case {
        uint8_t gainPercent, stereoMode;
        uint32_t mixGain, panLeft, panRight, storedMode;
    };
    const Case cases[] = {
        {100, 0, 256, 128, 128, 0}, {0, 1, 0, 96, 160, 1},   {255, 2, 652, 64, 193, 2},
        {50, 3, 128, 32, 225, 3},   {100, 4, 256, 0, 255, 4}, {100, 5, 256, 128, 128, 0},
        {100, 255, 256, 128, 128, 0},
    };
    for (const Case& c : cases) {
        ModuleDescription d = Small();
        d.mixGainPercent = c.gainPercent;
        d.stereoMode = c.stereoMode;
        TunePtr tune = LoadBuilt(d, 4);  // the argument is for THX files only
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(tune->mixGain, c.mixGain) << int{c.gainPercent};
        EXPECT_EQ(tune->stereoMode, c.storedMode) << int{c.stereoMode};
        EXPECT_EQ(tune->defaultPanLeft, c.panLeft) << int{c.stereoMode};
        EXPECT_EQ(tune->defaultPanRight, c.panRight) << int{c.stereoMode};
    }
}

TEST_F(HvlReaderTest, SubsongStartsOutsideThePositionListBecomeZero) {
    ModuleDescription d = Small();
    d.positions.resize(40);
    d.subsongs = {50, 39, 40, 0xFFFF};
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->subsongList[0], 0);
    EXPECT_EQ(tune->subsongList[1], 39);
    EXPECT_EQ(tune->subsongList[2], 0);
    EXPECT_EQ(tune->subsongList[3], 0);
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
    EXPECT_EQ(tune->trackCount, 1);
    EXPECT_EQ(tune->positions[1].track[1], 1);
    EXPECT_EQ(tune->positions[2].track[5], 200);
    EXPECT_EQ(tune->positions[2].transpose[5], -3);
    EXPECT_EQ(tune->positions[2].transpose[3], -12);
    const Step& step = tune->tracks[1].steps[1];
    EXPECT_EQ(step.note, 25);
    EXPECT_EQ(step.instrument, 2);
    EXPECT_EQ(step.command1, 3);
    EXPECT_EQ(step.param1, 0x10);
    EXPECT_EQ(step.command2, 0xE);
    EXPECT_EQ(step.param2, 0xF1);
    EXPECT_EQ(tune->tracks[1].steps[2].note, 200);
    EXPECT_EQ(tune->tracks[1].steps[2].instrument, 70);
    // Tracks and steps the file does not store are empty.
    const Step empty{};
    for (int track : {0, 1, 2, 200, 255}) {
        for (int s = track < 2 ? 4 : 0; s < 64; ++s) {
            EXPECT_EQ(std::memcmp(&tune->tracks[track].steps[s], &empty, sizeof(Step)), 0) << track << ":" << s;
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
    EXPECT_EQ(b->instruments[1].perfList.entries[0].waveform, 3) << "the instruments after the tracks still line up";
}

TEST_F(HvlReaderTest, OmittedTrackZero) {
    ModuleDescription d = Small();
    d.omitTrack0 = true;
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->tracks[0].steps[0].note, 0);
    EXPECT_EQ(tune->tracks[1].steps[1].note, 25);
    EXPECT_EQ(std::string(tune->instruments[2].name), "Bass");
}

TEST_F(HvlReaderTest, PerfEntryBytes) {
    // commands 0xA and 0x9, waveform 4 (noise), fixed, note 0x2A, params 0x12 and 0x34
    const uint8_t entry[5] = {0xFA, 0x4C, 0xEA, 0x12, 0x34};
    ModuleDescription d = Small();
    d.instruments[1].perfList.resize(1);
    std::vector<uint8_t> bytes = BuildModule(d);
    const size_t at = NameTableOffset(bytes) - 5;
    std::copy(entry, entry + 5, bytes.begin() + static_cast<long>(at));
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    const PerfEntry& e = tune->instruments[2].perfList.entries[0];
    EXPECT_EQ(e.commands[0], 0xA);
    EXPECT_EQ(e.commands[1], 0x9);
    EXPECT_EQ(e.waveform, 4);
    EXPECT_EQ(e.fixed, 1);
    EXPECT_EQ(e.note, 0x2A);
    EXPECT_EQ(e.params[0], 0x12);
    EXPECT_EQ(e.params[1], 0x34);
}

TEST_F(HvlReaderTest, EachTruncatedSectionFailsTheLoad) {
    ModuleDescription d = Small();
    const std::vector<uint8_t> bytes = BuildModule(d);
    const uint32_t sectionsEnd = NameTableOffset(bytes);
    // Header 16, subsongs 4, positions 3 * 8, tracks (5 + 3) + (1 + 5 + 2), instrument 1 with
    // two entries 22 + 10 (its header ends at 81), instrument 2 22: the file ending one byte early
    // inside any of them fails.
    const uint32_t sectionEnds[] = {16, 20, 44, 60, 81, 92, 114};
    ASSERT_EQ(sectionsEnd, 114u);
    for (uint32_t end : sectionEnds) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + end - 1);
        EXPECT_EQ(LoadBytes(cut), nullptr) << end - 1;
    }
    const std::vector<uint8_t> noNames(bytes.begin(), bytes.begin() + sectionsEnd);
    TunePtr tune = LoadBytes(noNames);
    ASSERT_NE(tune, nullptr) << "a missing name table never fails the load";
    EXPECT_STREQ(tune->name, "");
    EXPECT_STREQ(tune->instruments[1].name, "");
}

}  // namespace
