// The Tune block, the period table, song start and voice reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "replay/voice.h"
#include "tests/loader/loader_test_support.h"

namespace {

class TuneModelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
};

bool IsAligned(const void* p, size_t alignment) {
    return reinterpret_cast<uintptr_t>(p) % alignment == 0;
}

TEST_F(TuneModelTest, BlockHoldsItsPartsInOrder) {
    ModuleDescription d = SmallModule(ModuleFormat::Hvl);
    d.instruments.resize(3);
    d.instruments[0].perfList.resize(3);
    d.instruments[1].perfList.clear();
    d.instruments[2].perfList.resize(2);
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    const uint8_t* start = reinterpret_cast<const uint8_t*>(tune.get());
    const auto at = [start](const void* p) { return static_cast<const uint8_t*>(p) - start; };
    const PerfEntry* first = tune->instruments[1].perfList.entries;
    // Lengths 3, 0, 2: the third instrument's entries follow the first one's directly.
    EXPECT_EQ(tune->instruments[3].perfList.entries, first + 3);
    EXPECT_EQ(tune->instruments[2].perfList.length, 0);
    EXPECT_GE(at(tune->positions), static_cast<ptrdiff_t>(sizeof(Tune)));
    EXPECT_GE(at(tune->instruments), at(tune->positions + 3));
    EXPECT_GE(at(tune->subsongList), at(tune->instruments + 4));
    EXPECT_GE(at(first), at(tune->subsongList + 2));
    EXPECT_TRUE(IsAligned(tune->instruments, alignof(Instrument)));
    EXPECT_TRUE(IsAligned(tune->subsongList, alignof(uint16_t)));
    EXPECT_TRUE(IsAligned(first, alignof(PerfEntry)));
    FreeTune(nullptr);  // does nothing
}

TEST_F(TuneModelTest, PeriodTableHalvesPerOctave) {
    EXPECT_EQ(PeriodTable[0], 0);
    EXPECT_EQ(PeriodTable[1], 3424);
    EXPECT_EQ(PeriodTable[60], 113);
    for (uint32_t note = 1; note < kHighestNote; ++note) EXPECT_GT(PeriodTable[note], PeriodTable[note + 1]);
    for (uint32_t note = 1; note + 12 <= kHighestNote; ++note) {
        EXPECT_NEAR(PeriodTable[note] / 2.0, PeriodTable[note + 12], 1.0) << note;
    }
}

TEST_F(TuneModelTest, SongNumbersAndStartPositions) {
    ModuleDescription d = SmallModule(ModuleFormat::Hvl);
    d.positions.resize(10);
    d.subsongs = {4, 9, 2};
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->positionIndex, 0) << "the reader starts song 0";
    const int16_t expectedStart[] = {0, 4, 9, 2};
    for (uint32_t song = 0; song <= 3; ++song) {
        tune->positionIndex = 7;
        ASSERT_EQ(StartSubsong(tune.get(), song), 1u) << song;
        EXPECT_EQ(tune->positionIndex, expectedStart[song]) << song;
    }
    std::vector<uint8_t> before(sizeof(Tune));
    std::memcpy(before.data(), tune.get(), sizeof(Tune));
    EXPECT_EQ(StartSubsong(tune.get(), 4), 0u);
    EXPECT_EQ(std::memcmp(before.data(), tune.get(), sizeof(Tune)), 0) << "a refused song changes nothing";
}

TEST_F(TuneModelTest, StartingPansPerStereoMode) {
    struct Case {
        uint8_t stereoMode;
        uint32_t outer, inner;  // voices 0 and 3 of each group, voices 1 and 2
    };
    const Case cases[] = {{0, 128, 128}, {1, 96, 160}, {2, 64, 193}, {3, 32, 225}, {4, 0, 255}};
    for (const Case& c : cases) {
        ModuleDescription d = SmallModule(ModuleFormat::Hvl);
        d.stereoMode = c.stereoMode;
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        for (uint32_t v = 0; v < kMaxChannels; ++v) {
            const uint32_t pan = (v % 4 == 0 || v % 4 == 3) ? c.outer : c.inner;
            EXPECT_EQ(tune->voices[v].storedPan, pan) << int{c.stereoMode} << " voice " << v;
            EXPECT_EQ(tune->voices[v].panGainLeft, panTables.panLeft[pan]);
            EXPECT_EQ(tune->voices[v].panGainRight, panTables.panRight[pan]);
        }
    }
    // Gains at the hard pans, as the pan tables define them.
    ModuleDescription d = SmallModule(ModuleFormat::Hvl);
    d.stereoMode = 4;
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->voices[4].panGainLeft, 254u);
    EXPECT_EQ(tune->voices[4].panGainRight, 0u);
    EXPECT_EQ(tune->voices[5].panGainLeft, 0u);
    EXPECT_EQ(tune->voices[5].panGainRight, 254u);
}

TEST_F(TuneModelTest, RestartReturnsVoicesAndSequencerToTheirStart) {
    TunePtr tune = LoadBuilt(SmallModule(ModuleFormat::Ahx), 2);
    ASSERT_NE(tune, nullptr);
    // Scribble over the playback state as a played tune would leave it.
    tune->tempo = 3;
    tune->stepIndex = 5;
    tune->stepWait = 2;
    tune->positionLoadPending = 0;
    tune->positionChangePending = 1;
    tune->nextPositionIndex = 2;
    tune->nextStepIndex = 3;
    for (Voice& voice : tune->voices) std::memset(&voice, 0x5A, sizeof(Voice));

    ASSERT_EQ(StartSubsong(tune.get(), 1), 1u);
    EXPECT_EQ(std::vector<int>({tune->positionIndex, tune->tempo, tune->stepIndex, tune->stepWait,
                                tune->positionLoadPending, tune->positionChangePending, tune->nextPositionIndex,
                                tune->nextStepIndex}),
              std::vector<int>({1, 6, 0, 0, 1, 0, 0, 0}));
    for (uint32_t v = 0; v < kMaxChannels; ++v) {
        const Voice& got = tune->voices[v];
        const uint32_t pan = (v % 4 == 0 || v % 4 == 3) ? 64 : 193;
        EXPECT_EQ(std::vector<int64_t>({got.heldTranspose, got.sampleStep, got.noiseSeed, got.voiceIndex,
                                        got.masterVolume, got.envelopeVolume, got.filterPosition, got.ringOn}),
                  std::vector<int64_t>({1000, 1, 640, v, 64, 0, 0, 0}))
            << "voice " << v;
        EXPECT_EQ(std::vector<uint32_t>({got.storedPan, got.panGainLeft, got.panGainRight}),
                  std::vector<uint32_t>({pan, panTables.panLeft[pan], panTables.panRight[pan]}));
        EXPECT_EQ(got.mixSource, got.voiceBuffer);
        EXPECT_EQ(got.instrument, nullptr);
        EXPECT_EQ(got.ringMixSource, nullptr);
        const auto silent = [](const int8_t* samples, size_t count) {
            return std::all_of(samples, samples + count, [](int8_t sample) { return sample == 0; });
        };
        EXPECT_TRUE(silent(got.voiceBuffer, kVoiceBufferSamples) && silent(got.ringBuffer, kVoiceBufferSamples) &&
                    silent(got.squareBuffer, kSquareBufferSamples));
    }
}

}  // namespace
