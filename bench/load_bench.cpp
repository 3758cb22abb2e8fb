// Load time: parsing module bytes into a started Tune, for the largest modules both formats allow,
// and the one-off cost of the waveform bank: at start-up (nothing, where it is compiled in) and to
// compute it (at build time, or at start-up in the web module). Memory per tune is a counter.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "builder/sample_songs.h"
#include "loader/tune.h"
#include "waves/compute/compute_wave_tables.h"
#include "waves/wave_bank.h"

namespace {

void LoadSong(benchmark::State& state, const ModuleDescription& description) {
    BuildWaveTables();
    const std::vector<uint8_t> bytes = BuildModule(description);
    for (auto _ : state) {
        Tune* tune = LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), 0, 44100);
        benchmark::DoNotOptimize(tune);
        if (tune == nullptr) {
            state.SkipWithError("the benchmark song did not load");
            return;
        }
        FreeTune(tune);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes.size()));
    state.counters["moduleBytes"] = static_cast<double>(bytes.size());
    state.counters["tuneRecordBytes"] = static_cast<double>(sizeof(Tune));
}

void BM_LoadLargestHvl(benchmark::State& state) { LoadSong(state, LargestSong(ModuleFormat::kHvl)); }
void BM_LoadLargestAhx(benchmark::State& state) { LoadSong(state, LargestSong(ModuleFormat::kAhx)); }
void BM_LoadSmallHvl(benchmark::State& state) { LoadSong(state, BusySong(4)); }

void BM_BuildWaveTables(benchmark::State& state) {
    for (auto _ : state) {
        BuildWaveTables();
        benchmark::DoNotOptimize(waveBank.samples);
    }
    state.counters["bankBytes"] = static_cast<double>(sizeof(WaveBank));
}

void BM_ComputeWaveTables(benchmark::State& state) {
    static WaveBank bank;
    static PanTables pans;
    for (auto _ : state) {
        ComputeWaveTables(&bank, &pans);
        benchmark::DoNotOptimize(bank.samples);
    }
}

}  // namespace

BENCHMARK(BM_LoadLargestHvl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLargestAhx)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadSmallHvl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildWaveTables)->Unit(benchmark::kNanosecond);
BENCHMARK(BM_ComputeWaveTables)->Unit(benchmark::kMillisecond);
