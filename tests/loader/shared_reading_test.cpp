// What both readers share: limits, truncation, subsongs, restart, track 0, names, the instrument
// header and the clamps on values the replay engine cannot use. Each case runs on HVL and THX.
// Expected values are the ones the formats define or worked out by hand from their byte layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/loader/loader_test_support.h"

namespace {

class SharedReadingTest : public ::testing::TestWithParam<ModuleFormat> {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static bool Hvl() { return GetParam() == ModuleFormat::Hvl; }
    static ModuleDescription Small() { return SmallModule(GetParam()); }
};

INSTANTIATE_TEST_SUITE_P(BothFormats, SharedReadingTest, ::testing::Values(ModuleFormat::Hvl, ModuleFormat::Ahx));

TEST_P(SharedReadingTest, ModelLimits) {
    struct Case {
        uint32_t positions, trackLength, instruments;
        bool loads;
    };
    // Whole, well-formed files: only a count is out of range.
    const Case cases[] = {{1000, 64, 64, true}, {1001, 4, 2, false}, {3, 65, 2, false}, {3, 4, 65, false}};
    for (const Case& c : cases) {
        ModuleDescription d = Small();
        d.positions.resize(c.positions);
        d.trackLength = static_cast<uint8_t>(c.trackLength);
        d.instruments.resize(c.instruments);
        TunePtr tune = LoadBuilt(d);
        ASSERT_EQ(tune != nullptr, c.loads) << c.positions << " " << c.trackLength << " " << c.instruments;
        if (tune != nullptr) {
            EXPECT_EQ(std::vector<int>({tune->positionCount, tune->trackLength, tune->instrumentCount}),
                      std::vector<int>({1000, 64, 64}));
        }
    }
}

TEST_P(SharedReadingTest, FileEndingInsideAnySectionFailsTheLoad) {
    const std::vector<uint8_t> bytes = BuildModule(Small());
    // Ends of header, subsongs, positions, track 0, track 1, instrument 1's header, its two
    // entries, instrument 2; HVL tracks hold one 5-byte step and three '?' bytes each.
    const std::vector<uint32_t> ends = Hvl() ? std::vector<uint32_t>{16, 20, 44, 52, 60, 82, 92, 114}
                                             : std::vector<uint32_t>{14, 18, 42, 54, 66, 88, 96, 118};
    ASSERT_EQ(NameTableOffset(bytes), ends.back());
    for (uint32_t end : ends) EXPECT_EQ(LoadBytes(Prefix(bytes, end - 1)), nullptr) << end - 1;
    EXPECT_NE(LoadBytes(Prefix(bytes, ends.back())), nullptr) << "a missing name table never fails the load";
}

TEST_P(SharedReadingTest, SubsongStartsOutsideThePositionListBecomeZero) {
    ModuleDescription d = Small();
    d.positions.resize(40);
    d.subsongs = {50, 39, 40, 0xFFFF};
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(std::vector<int>(tune->subsongList, tune->subsongList + 4), std::vector<int>({0, 39, 0, 0}));
}

TEST_P(SharedReadingTest, RestartPositionStaysInsideTheList) {
    struct Case {
        uint32_t positions;
        uint16_t restart, stored;
    };
    const Case cases[] = {{20, 300, 19}, {400, 0x120, 288}, {5, 4, 4}, {5, 5, 4}, {0, 7, 0}};
    for (const Case& c : cases) {
        ModuleDescription d = Small();
        d.positions.resize(c.positions);
        d.restartPosition = c.restart;
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(tune->restartPosition, c.stored) << c.positions << " " << c.restart;
    }
}

TEST_P(SharedReadingTest, EmptySongIsAccepted) {
    ModuleDescription d = Small();
    d.positions.clear();
    d.subsongs = {0, 5};
    d.instruments.clear();
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->subsongList[1], 0);
    EXPECT_NE(tune->instruments, nullptr) << "the placeholder entry 0 is still there";
    EXPECT_EQ(StartSubsong(tune.get(), 2), 1u);
    EXPECT_EQ(tune->positionIndex, 0);
}

TEST_P(SharedReadingTest, OmittedTrackZero) {
    ModuleDescription d = Small();
    d.omitTrack0 = true;
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->tracks[0].steps[0]), Fields(Step{}));
    EXPECT_EQ(tune->tracks[1].steps[1].note, 25) << "the first stored track is track 1";

    d.tracks.resize(1);  // trackCount 0: no step bytes at all
    const std::vector<uint8_t> bytes = BuildModule(d);
    EXPECT_EQ(NameTableOffset(bytes), Hvl() ? 16u + 4 + 24 + 54 : 14u + 4 + 24 + 52);
    tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->instruments[1].perfList.entries[0].waveform, 3);
}

TEST_P(SharedReadingTest, NameTable) {
    const std::vector<uint8_t> bytes = BuildModule(Small());
    const uint32_t table = NameTableOffset(bytes);  // "Small\0Lead\0Bass\0"
    struct Case {
        const char* what;
        size_t fileBytes;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"whole table", bytes.size(), {"Small", "Lead", "Bass"}},
        {"last name without its zero byte", bytes.size() - 1, {"Small", "Lead", "Bass"}},
        {"last name cut short", bytes.size() - 3, {"Small", "Lead", "Ba"}},
        {"table ends after the song name", table + 6, {"Small", "", ""}},
        {"song name cut short", table + 2, {"Sm", "", ""}},
        {"table starts at the end", table, {"", "", ""}},
    };
    for (const Case& c : cases) {
        TunePtr tune = LoadBytes(Prefix(bytes, c.fileBytes));
        ASSERT_NE(tune, nullptr) << c.what;
        EXPECT_EQ(std::vector<std::string>({tune->name, tune->instruments[1].name, tune->instruments[2].name}),
                  c.names)
            << c.what;
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
        0x40, 0xAD,              // volume 64; filterSpeed bits 4..0 0x15, waveLength 5
        1, 2, 3, 4, 5, 6, 7,     // envelope
        0xEE, 0xEE, 0xEE,        // not read
        0xC5, 9,                 // filterSpeed bit 5, filterLowerLimit 0x45; vibratoDelay
        0xD7,                    // hardCutRelease 1, hardCutFrames 5, vibratoDepth 7
        10, 11, 12, 13,          // vibratoSpeed, square lower, upper, speed
        0xE9, 14, 0,             // filterUpperLimit 0x29 (bits 7, 6 not read); perf speed, length
    };
    std::vector<uint8_t> bytes = BuildModule(Small());
    std::copy(header, header + 22, bytes.begin() + (NameTableOffset(bytes) - 22));  // instrument 2
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    const Instrument& i = tune->instruments[2];
    const Envelope& e = i.envelope;
    EXPECT_EQ(std::vector<int>({i.volume, i.waveLength, i.filterSpeed, i.filterLowerLimit, i.filterUpperLimit}),
              std::vector<int>({64, 5, 0x35, 0x45, 0x29}));
    EXPECT_EQ(std::vector<int>({e.attackFrames, e.attackVolume, e.decayFrames, e.decayVolume, e.sustainFrames,
                                e.releaseFrames, e.releaseVolume}),
              std::vector<int>({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(std::vector<int>({i.vibratoDelay, i.hardCutRelease, i.hardCutFrames, i.vibratoDepth, i.vibratoSpeed}),
              std::vector<int>({9, 1, 5, 7, 10}));
    EXPECT_EQ(std::vector<int>({i.squareLowerLimit, i.squareUpperLimit, i.squareSpeed, i.perfList.speed,
                                i.perfList.length}),
              std::vector<int>({11, 12, 13, 14, 0}));
}

TEST_P(SharedReadingTest, UnusableValuesAreClampedOrKept) {
    struct Case {
        uint8_t waveLength, perfWaveform, storedWaveLength, storedPerfWaveform;
    };
    const Case cases[] = {{0, 0, 0, 0}, {3, 1, 3, 1}, {5, 4, 5, 4}, {6, 5, 5, 0}, {7, 7, 5, 0}};
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
        EXPECT_EQ(in.envelope.attackFrames + in.envelope.decayFrames + in.envelope.releaseFrames, 0)
            << "frame counts stay as stored";
    }
}

}  // namespace
