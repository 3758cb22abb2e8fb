// Writes the computed tables as a C++ source file defining waveBank, panTables and BuildWaveTables.
// Usage: write_wave_tables OUTPUT.cpp
#include <cstdio>

#include "waves/compute/compute_wave_tables.h"

namespace {

// Static: the bank is 400 KB, too much for some stacks.
WaveBank bank;
PanTables pans;

template <typename Value>
void WriteValues(std::FILE* out, const Value* values, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        std::fprintf(out, "%ld,%s", static_cast<long>(values[i]), i % 32 == 31 ? "\n" : "");
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_wave_tables OUTPUT.cpp\n");
        return 2;
    }
    ComputeWaveTables(&bank, &pans);
    std::FILE* out = std::fopen(argv[1], "w");
    if (out == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    std::fprintf(out, "// Written at build time by write_wave_tables (waves/compute/).\n");
    std::fprintf(out, "#include \"waves/wave_bank.h\"\n\nWaveBank waveBank = {{\n");
    WriteValues(out, bank.samples, kWaveBankSamples);
    std::fprintf(out, "}};\n\nPanTables panTables = {{\n");
    WriteValues(out, pans.panLeft, 256);
    std::fprintf(out, "}, {\n");
    WriteValues(out, pans.panRight, 256);
    std::fprintf(out, "}};\n\n// Built already.\nvoid BuildWaveTables() {}\n");
    const bool written = std::ferror(out) == 0;
    if (std::fclose(out) != 0 || !written) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
