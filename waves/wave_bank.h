#pragma once
// Process-wide waveform bank and panning tables: the same bytes on every run, so native builds
// compute them at build time (waves/compute/) and compile them in; read-only while tunes play.
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
inline constexpr uint8_t WaveOffsets[6] = {0, 4, 12, 28, 60, 124};
// Index of the last sample of each of the 45 waveforms of a set, in set order.
inline constexpr uint16_t WaveLastIndex[kWaveformsPerSet] = {
    3, 7, 15, 31, 63, 127,  // triangles
    3, 7, 15, 31, 63, 127,  // sawtooths
    127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127,  // squares
    127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127,
    1919,  // noise
};

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

// Readies the tables before first use (the plug-in's InitPlugin, the library's first open). Where they
// are compiled in nothing is left to do; the web module, which must stay small, computes them here.
void BuildWaveTables();
