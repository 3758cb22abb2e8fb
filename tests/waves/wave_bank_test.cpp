// Expected values here are the ones the format defines (stated digests, stated samples and gains,
// and the triangle/sawtooth/square shapes worked out by hand from their definitions).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/support/sha256.h"
#include "waves/compute/compute_wave_tables.h"

namespace {

std::vector<int> Samples(const int8_t* start, size_t count) { return std::vector<int>(start, start + count); }

TEST(WaveBankTest, DigestsAndCompiledTablesAreTheComputedOnes) {
    EXPECT_EQ(Sha256Hex(WaveSetStart(32), kWaveSetSamples),
              "d1826141f843f94be0e917267c1e694f23f97b32465f00ee184d627843ab5f70");
    EXPECT_EQ(Sha256Hex(waveBank.samples, kWaveBankSamples),
              "9daed610c3166debedea9c52c453aecea16c054fe7d8fd4b5b1a27fb02b80e7a");
    static WaveBank bank;
    static PanTables pans;
    ComputeWaveTables(&bank, &pans);
    EXPECT_EQ(std::memcmp(&bank, &waveBank, sizeof bank), 0);
    EXPECT_EQ(std::memcmp(&pans, &panTables, sizeof pans), 0);
}

// Set 32 is unfiltered; sets 1..31 low-pass and 33..63 high-pass at setting (set - 1) % 32.
TEST(WaveBankTest, Waveforms) {
    const struct { const char* name; uint32_t set, offset; std::vector<int> samples; } cases[] = {
        {"triangle 4", 32, kTrianglesOffset, {0, 127, 0, -128}},
        {"triangle 8", 32, kTrianglesOffset + 4, {0, 64, 127, 64, 0, -64, -128, -64}},
        {"triangle 16", 32, kTrianglesOffset + 12,
         {0, 32, 64, 96, 127, 96, 64, 32, 0, -32, -64, -96, -128, -96, -64, -32}},
        {"sawtooth 4", 32, kSawtoothsOffset, {-128, -43, 42, 127}},
        {"sawtooth 8", 32, kSawtoothsOffset + 4, {-128, -92, -56, -20, 16, 52, 88, 124}},
        {"noise", 32, kNoiseOffset, {127, 127, -88, -30, 120, 62, 44, -110, 82, -43, 127, 127, -85, 127, 127, 55}},
        {"triangle 4, low-pass 0.1", 1, kTrianglesOffset, {2, 3, 4, 3}},
        {"triangle 4, high-pass 0.1", 33, kTrianglesOffset, {0, 126, -14, -128}},
        {"triangle 4, low-pass 1.225", 31, kTrianglesOffset, {-32, 123, 86, -70}},
        {"triangle 4, high-pass 1.225", 63, kTrianglesOffset, {127, 127, -128, -128}},
        {"sawtooth 4, low-pass 0.1", 1, kSawtoothsOffset, {-4, -5, -6, -5}},
        {"sawtooth 4, high-pass 0.1", 33, kSawtoothsOffset, {-127, -28, 60, 127}},
        {"triangle 16, low-pass 0.1", 1, kTrianglesOffset + 12, {9, 6, 4, 4, 5, 6, 8, 10, 12, 13, 13, 12, 10, 7, 3, 0}},
        {"triangle 16, high-pass 0.1", 33, kTrianglesOffset + 12,
         {20, 53, 82, 107, 127, 84, 42, 4, -30, -60, -87, -111, -128, -84, -40, -1}},
    };
    for (auto& c : cases) EXPECT_EQ(Samples(WaveSetStart(c.set) + c.offset, c.samples.size()), c.samples) << c.name;
}

// A square of width w holds 2w high samples at its end, the rest low.
TEST(WaveBankTest, SquaresHoldTwiceTheWidthHigh) {
    for (uint32_t width = 1; width <= kSquareWidthCount; ++width) {
        const int8_t* square = WaveSetStart(32) + kSquaresOffset + (width - 1) * kSquareSamples;
        for (uint32_t i = 0; i < kSquareSamples; ++i) {
            ASSERT_EQ(square[i], i >= kSquareSamples - 2 * width ? 127 : -128) << "width " << width << " sample " << i;
        }
    }
}

TEST(WaveBankTest, PanGains) {
    const struct { uint32_t position, left, right; } cases[] = {
        {0, 254, 0},     {32, 250, 49},  {64, 235, 97},  {96, 212, 141}, {128, 180, 180},
        {160, 141, 212}, {193, 96, 236}, {225, 48, 250}, {255, 0, 254},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(std::vector<uint32_t>({panTables.panLeft[c.position], panTables.panRight[c.position]}),
                  std::vector<uint32_t>({c.left, c.right})) << c.position;
    }
}

}  // namespace
