#include "waves/compute/compute_wave_tables.h"

void ComputeWaveTables(WaveBank* bank, PanTables* pans) {
    ComputePanTables(pans);

    int8_t* unfiltered = bank->samples + kUnfilteredSet * kWaveSetSamples;
    for (uint32_t lengthIndex = 0; lengthIndex < 6; ++lengthIndex) {
        uint32_t length = 4u << lengthIndex;
        GenerateTriangle(unfiltered + kTrianglesOffset + WaveOffsets[lengthIndex], length);
        GenerateSawtooth(unfiltered + kSawtoothsOffset + WaveOffsets[lengthIndex], length);
    }
    GenerateSquares(unfiltered + kSquaresOffset);
    GenerateNoise(unfiltered + kNoiseOffset, kNoiseSamples);

    // The filtered sets are derived from the complete unfiltered set, so this comes last.
    FilterWaveSets(unfiltered, bank->samples, unfiltered + kWaveSetSamples);
}
