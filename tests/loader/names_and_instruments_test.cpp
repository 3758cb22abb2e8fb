// What both readers share: the name table, the instrument header and the clamps on values the
// replay engine cannot use. Each case runs on an HVL and a THX file.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/loader/loader_test_support.h"

namespace {

class SharedReadingTest : public ::testing::TestWithParam<ModuleFormat> {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static ModuleDescription Small() { return SmallModule(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(BothFormats, SharedReadingTest, ::testing::Values(ModuleFormat::Hvl, ModuleFormat::Ahx));

TEST_P(SharedReadingTest, NameTable) {
    const std::vector<uint8_t> bytes = BuildModule(Small());
    const uint32_t table = NameTableOffset(bytes);
    struct Case {
        const char* what;
        size_t keptBytes;  // file length
        const char* song;
        const char* first;
        const char* second;
    };
    // Table: "Small\0Lead\0Bass\0".
    const Case cases[] = {
        {"whole table", bytes.size(), "Small", "Lead", "Bass"},
        {"last name without its zero byte", bytes.size() - 1, "Small", "Lead", "Bass"},
        {"last name cut short", bytes.size() - 3, "Small", "Lead", "Ba"},
        {"table ends after the song name", table + 6, "Small", "", ""},
        {"song name cut short", table + 2, "Sm", "", ""},
        {"table starts at the end", table, "", "", ""},
    };
    for (const Case& c : cases) {
        TunePtr tune = LoadBytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<long>(c.keptBytes)));
        ASSERT_NE(tune, nullptr) << c.what;
        EXPECT_STREQ(tune->name, c.song) << c.what;
        EXPECT_STREQ(tune->instruments[1].name, c.first) << c.what;
        EXPECT_STREQ(tune->instruments[2].name, c.second) << c.what;
    }
    for (uint32_t offset : {uint32_t{0xFFFF}, static_cast<uint32_t>(bytes.size())}) {
        std::vector<uint8_t> patched = bytes;
        patched[4] = static_cast<uint8_t>(offset >> 8);
        patched[5] = static_cast<uint8_t>(offset);
        TunePtr tune = LoadBytes(patched);
        ASSERT_NE(tune, nullptr) << "name table offset " << offset;
        EXPECT_STREQ(tune->name, "");
        EXPECT_STREQ(tune->instruments[2].name, "");
    }
}

TEST_P(SharedReadingTest, LongNamesAreCutAndTerminated) {
    ModuleDescription d = Small();
    d.name = std::string(200, 'x');
    d.instruments[0].name = std::string(128, 'y');
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(std::string(tune->name), std::string(127, 'x'));
    EXPECT_EQ(std::string(tune->instruments[1].name), std::string(127, 'y'));
    EXPECT_STREQ(tune->instruments[2].name, "Bass") << "the next name starts after the zero byte";
}

TEST_P(SharedReadingTest, InstrumentHeaderBytes) {
    const uint8_t header[22] = {
        0x40,                    // volume 64
        0xAD,                    // filterSpeed bits 4..0 = 0x15, waveLength 5
        1, 2, 3, 4, 5, 6, 7,     // envelope
        0xEE, 0xEE, 0xEE,        // not read
        0xC5,                    // filterSpeed bit 5, filterLowerLimit 0x45
        9,                       // vibratoDelay
        0xD7,                    // hardCutRelease 1, hardCutFrames 5, vibratoDepth 7
        10, 11, 12, 13,          // vibratoSpeed, square lower, upper, speed
        0xE9,                    // filterUpperLimit 0x29 (bits 7, 6 not read)
        14, 0,                   // perfList speed, length
    };
    std::vector<uint8_t> bytes = BuildModule(Small());
    std::copy(header, header + 22, bytes.begin() + (NameTableOffset(bytes) - 22));  // instrument 2
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    const Instrument& in = tune->instruments[2];
    EXPECT_EQ(in.volume, 64);
    EXPECT_EQ(in.waveLength, 5);
    EXPECT_EQ(in.filterSpeed, 0x35);
    EXPECT_EQ(in.filterLowerLimit, 0x45);
    EXPECT_EQ(in.filterUpperLimit, 0x29);
    const Envelope& e = in.envelope;
    EXPECT_EQ((std::vector<int>{e.attackFrames, e.attackVolume, e.decayFrames, e.decayVolume, e.sustainFrames,
                                e.releaseFrames, e.releaseVolume}),
              (std::vector<int>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(in.vibratoDelay, 9);
    EXPECT_EQ(in.hardCutRelease, 1);
    EXPECT_EQ(in.hardCutFrames, 5);
    EXPECT_EQ(in.vibratoDepth, 7);
    EXPECT_EQ(in.vibratoSpeed, 10);
    EXPECT_EQ(in.squareLowerLimit, 11);
    EXPECT_EQ(in.squareUpperLimit, 12);
    EXPECT_EQ(in.squareSpeed, 13);
    EXPECT_EQ(in.perfList.speed, 14);
    EXPECT_EQ(in.perfList.length, 0);
}

TEST_P(SharedReadingTest, UnusableValuesAreClampedOrKept) {
    struct Case {
        uint8_t waveLength, perfWaveform;
        uint8_t storedWaveLength, storedPerfWaveform;
    };
    const Case cases[] = {{0, 0, 0, 0}, {5, 4, 5, 4}, {6, 5, 5, 0}, {7, 7, 5, 0}, {3, 1, 3, 1}};
    for (const Case& c : cases) {
        ModuleDescription d = Small();
        d.instruments[0].waveLength = c.waveLength;
        d.instruments[0].perfList[0].waveform = c.perfWaveform;
        d.instruments[0].perfList[0].note = 63;
        d.instruments[0].envelope = BuiltEnvelope{0, 64, 0, 32, 0, 0, 0};
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        const Instrument& in = tune->instruments[1];
        EXPECT_EQ(in.waveLength, c.storedWaveLength) << int{c.waveLength};
        EXPECT_EQ(in.perfList.entries[0].waveform, c.storedPerfWaveform) << int{c.perfWaveform};
        EXPECT_EQ(in.perfList.entries[0].note, 63) << "notes stay as stored";
        EXPECT_EQ(in.envelope.attackFrames, 0) << "frame counts stay as stored";
        EXPECT_EQ(in.envelope.decayVolume, 32);
    }
}

TEST_P(SharedReadingTest, EmptySongIsAccepted) {
    ModuleDescription d = Small();
    d.positions.clear();
    d.subsongs = {0, 5};
    d.restartPosition = 7;
    d.instruments.clear();
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->positionCount, 0);
    EXPECT_EQ(tune->restartPosition, 0) << "no position to restart at: 0, not 0xFFFF";
    EXPECT_EQ(tune->subsongList[1], 0);
    EXPECT_EQ(tune->instrumentCount, 0);
    EXPECT_NE(tune->instruments, nullptr) << "the placeholder entry 0 is still there";
    EXPECT_EQ(StartSubsong(tune.get(), 2), 1u);
    EXPECT_EQ(tune->positionIndex, 0);
}

}  // namespace
