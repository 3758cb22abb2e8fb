#pragma once
// Computes the waveform bank and the panning tables. Runs at build time, to write the tables the
// engine compiles in, and in the tests, to hold those to what this code computes.
#include <cstdint>

#include "waves/wave_bank.h"

void ComputeWaveTables(WaveBank* bank, PanTables* pans);
void ComputePanTables(PanTables* pans);
void GenerateTriangle(int8_t* destination, uint32_t length);
void GenerateSawtooth(int8_t* destination, uint32_t length);
void GenerateSquares(int8_t* destination);
void GenerateNoise(int8_t* destination, uint32_t sampleCount);
// source: one unfiltered set; lowPass/highPass: room for 31 sets each.
void FilterWaveSets(const int8_t* source, int8_t* lowPass, int8_t* highPass);
