// Expected values here are the ones the format defines (stated digests, stated samples and gains,
// and the triangle/sawtooth/square shapes worked out by hand from their definitions).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/sha256.h"
#include "waves/compute/compute_wave_tables.h"

namespace {

class WaveBankTest : public ::testing::Test {
protected:
    static const int8_t* Unfiltered() { return WaveSetStart(32); }
    static std::vector<int> Samples(const int8_t* start, int count) { return std::vector<int>(start, start + count); }
};

TEST_F(WaveBankTest, DigestsOfUnfilteredSetAndWholeBank) {
    EXPECT_EQ(Sha256Hex(Unfiltered(), kWaveSetSamples),
              "d1826141f843f94be0e917267c1e694f23f97b32465f00ee184d627843ab5f70");
    EXPECT_EQ(Sha256Hex(waveBank.samples, kWaveBankSamples),
              "9daed610c3166debedea9c52c453aecea16c054fe7d8fd4b5b1a27fb02b80e7a");
}

TEST_F(WaveBankTest, CompiledTablesAreTheComputedOnes) {
    static WaveBank bank;
    static PanTables pans;
    ComputeWaveTables(&bank, &pans);
    EXPECT_EQ(std::memcmp(&bank, &waveBank, sizeof bank), 0);
    EXPECT_EQ(std::memcmp(&pans, &panTables, sizeof pans), 0);
}

TEST_F(WaveBankTest, SetLayout) {
    EXPECT_EQ(Unfiltered() - waveBank.samples, 202120);
    EXPECT_EQ(Unfiltered() + kNoiseOffset - waveBank.samples, 206720);
    EXPECT_EQ(WaveSetStart(33) - waveBank.samples, 208640);
    EXPECT_EQ(kWaveBankSamples, 410760u);
    uint32_t total = 0;
    for (uint16_t last : WaveLastIndex) total += last + 1u;
    EXPECT_EQ(total, kWaveSetSamples);
}

struct WaveCase {
    const char* name;
    uint32_t offset;  // within the unfiltered set
    std::vector<int> expected;
};

TEST_F(WaveBankTest, UnfilteredWaveforms) {
    const WaveCase cases[] = {
        {"triangle 4", kTrianglesOffset + 0, {0, 127, 0, -128}},
        {"triangle 8", kTrianglesOffset + 4, {0, 64, 127, 64, 0, -64, -128, -64}},
        {"triangle 16", kTrianglesOffset + 12,
         {0, 32, 64, 96, 127, 96, 64, 32, 0, -32, -64, -96, -128, -96, -64, -32}},
        {"sawtooth 4", kSawtoothsOffset + 0, {-128, -43, 42, 127}},
        {"sawtooth 8", kSawtoothsOffset + 4, {-128, -92, -56, -20, 16, 52, 88, 124}},
        {"noise", kNoiseOffset, {127, 127, -88, -30, 120, 62, 44, -110, 82, -43, 127, 127, -85, 127, 127, 55}},
    };
    for (const WaveCase& c : cases) {
        EXPECT_EQ(Samples(Unfiltered() + c.offset, int(c.expected.size())), c.expected) << c.name;
    }
}

TEST_F(WaveBankTest, SawtoothLastSamples) {
    const int expectedLast[6] = {127, 124, 127, 120, 124, 126};
    for (uint32_t li = 0; li < 6; ++li) {
        uint32_t length = 4u << li;
        EXPECT_EQ(Unfiltered()[kSawtoothsOffset + WaveOffsets[li] + length - 1], expectedLast[li]) << li;
    }
}

TEST_F(WaveBankTest, SquaresHoldTwiceTheWidthHigh) {
    for (uint32_t width = 1; width <= kSquareWidthCount; ++width) {
        const int8_t* square = Unfiltered() + kSquaresOffset + (width - 1) * kSquareSamples;
        uint32_t high = 0;
        for (uint32_t i = 0; i < kSquareSamples; ++i) {
            bool expectHigh = i >= kSquareSamples - 2 * width;
            ASSERT_EQ(square[i], expectHigh ? 127 : -128) << "width " << width << " sample " << i;
            high += expectHigh;
        }
        EXPECT_EQ(high, 2 * width);
    }
}

struct FilterCase {
    const char* name;
    uint32_t setting;
    uint32_t offset;
    std::vector<int> lowPass;
    std::vector<int> highPass;
};

TEST_F(WaveBankTest, FilteredWaveforms) {
    const FilterCase cases[] = {
        {"triangle 4, f 0.1", 0, kTrianglesOffset, {2, 3, 4, 3}, {0, 126, -14, -128}},
        {"triangle 4, f 1.225", 30, kTrianglesOffset, {-32, 123, 86, -70}, {127, 127, -128, -128}},
        {"sawtooth 4, f 0.1", 0, kSawtoothsOffset, {-4, -5, -6, -5}, {-127, -28, 60, 127}},
        {"triangle 16, f 0.1", 0, kTrianglesOffset + 12,
         {9, 6, 4, 4, 5, 6, 8, 10, 12, 13, 13, 12, 10, 7, 3, 0},
         {20, 53, 82, 107, 127, 84, 42, 4, -30, -60, -87, -111, -128, -84, -40, -1}},
    };
    for (const FilterCase& c : cases) {
        const int count = int(c.lowPass.size());
        EXPECT_EQ(Samples(WaveSetStart(1 + c.setting) + c.offset, count), c.lowPass) << c.name;
        EXPECT_EQ(Samples(WaveSetStart(33 + c.setting) + c.offset, count), c.highPass) << c.name;
    }
}

TEST_F(WaveBankTest, PanGains) {
    struct { uint32_t position, left, right; } cases[] = {
        {0, 254, 0},    {32, 250, 49},  {64, 235, 97},  {96, 212, 141}, {128, 180, 180},
        {160, 141, 212}, {193, 96, 236}, {225, 48, 250}, {255, 0, 254},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(panTables.panLeft[c.position], c.left) << c.position;
        EXPECT_EQ(panTables.panRight[c.position], c.right) << c.position;
    }
}

}  // namespace
