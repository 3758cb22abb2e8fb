#pragma once
// Process-wide waveform bank and panning tables: built once, read-only afterwards.
#include <cstdint>

// The bank is one flat block of 63 wave sets. Set k is filter position k + 1;
// position 32 (set 31) is the unfiltered sound, 1..31 low-pass, 33..63 high-pass.
constexpr uint32_t kWaveSetSamples = 6520;
constexpr uint32_t kWaveSetCount = 63;
constexpr uint32_t kWaveBankSamples = kWaveSetSamples * kWaveSetCount;  // 410760
constexpr uint32_t kUnfilteredSet = 31;
constexpr uint32_t kFilterSettingCount = 31;

// Layout inside every WaveSet, in samples from the set's start.
constexpr uint32_t kTrianglesOffset = 0;
constexpr uint32_t kSawtoothsOffset = 252;
constexpr uint32_t kSquaresOffset = 504;
constexpr uint32_t kNoiseOffset = 4600;
constexpr uint32_t kSquareSamples = 128;
constexpr uint32_t kSquareWidthCount = 32;
constexpr uint32_t kNoiseSamples = 1920;
constexpr uint32_t kWaveformsPerSet = 45;

// Waveform numbers as voices use them.
constexpr uint8_t kWaveTriangle = 0;
constexpr uint8_t kWaveSawtooth = 1;
constexpr uint8_t kWaveSquare = 2;
constexpr uint8_t kWaveNoise = 3;

struct WaveBank {
    int8_t samples[kWaveBankSamples];
};

struct PanTables {
    uint32_t panLeft[256];
    uint32_t panRight[256];
};

// Start of the triangle/sawtooth of length index li inside its block.
extern const uint8_t WaveOffsets[6];
// Index of the last sample of each of the 45 waveforms of a set, in set order.
extern const uint16_t WaveLastIndex[kWaveformsPerSet];

extern WaveBank waveBank;
extern PanTables panTables;

// Filter positions select a wave set: 1..31 low-pass, 32 unfiltered, 33..63 high-pass.
constexpr int32_t kLowestFilterPosition = 1;
constexpr int32_t kUnfilteredPosition = 32;
constexpr int32_t kHighestFilterPosition = 63;

// First sample of the wave set selected by filter position 1..63.
inline const int8_t* WaveSetStart(uint32_t filterPosition) {
    return waveBank.samples + (filterPosition - 1) * kWaveSetSamples;
}

void BuildWaveTables();
void BuildPanTables();
void GenerateTriangle(int8_t* destination, uint32_t length);
void GenerateSawtooth(int8_t* destination, uint32_t length);
void GenerateSquares(int8_t* destination);
void GenerateNoise(int8_t* destination, uint32_t sampleCount);
// source: one unfiltered set; lowPass/highPass: room for 31 sets each.
void FilterWaveSets(const int8_t* source, int8_t* lowPass, int8_t* highPass);
