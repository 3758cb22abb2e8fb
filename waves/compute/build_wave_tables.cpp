// The tables computed at start-up instead of compiled in: for the web module, which must stay far
// smaller than they are.
#include "waves/compute/compute_wave_tables.h"

WaveBank waveBank;
PanTables panTables;

void BuildWaveTables() { ComputeWaveTables(&waveBank, &panTables); }
