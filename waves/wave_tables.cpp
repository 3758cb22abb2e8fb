#include "waves/wave_bank.h"

WaveBank waveBank;
PanTables panTables;

const uint8_t WaveOffsets[6] = {0, 4, 12, 28, 60, 124};

const uint16_t WaveLastIndex[kWaveformsPerSet] = {
    3, 7, 15, 31, 63, 127,  // triangles
    3, 7, 15, 31, 63, 127,  // sawtooths
    127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127,  // squares
    127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127, 127,
    1919,  // noise
};

void BuildWaveTables() {
    BuildPanTables();

    int8_t* unfiltered = waveBank.samples + kUnfilteredSet * kWaveSetSamples;
    for (uint32_t lengthIndex = 0; lengthIndex < 6; ++lengthIndex) {
        uint32_t length = 4u << lengthIndex;
        GenerateTriangle(unfiltered + kTrianglesOffset + WaveOffsets[lengthIndex], length);
        GenerateSawtooth(unfiltered + kSawtoothsOffset + WaveOffsets[lengthIndex], length);
    }
    GenerateSquares(unfiltered + kSquaresOffset);
    GenerateNoise(unfiltered + kNoiseOffset, kNoiseSamples);

    // The filtered sets are derived from the complete unfiltered set, so this comes last.
    FilterWaveSets(unfiltered, waveBank.samples, unfiltered + kWaveSetSamples);
}
