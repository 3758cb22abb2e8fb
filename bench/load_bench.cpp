// Load time: parsing module bytes into a started Tune, for the largest modules both formats allow,
// and the one-off cost of building the waveform bank. Memory per tune is reported as a counter.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "builder/sample_songs.h"
#include "loader/tune.h"
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

}  // namespace

BENCHMARK(BM_LoadLargestHvl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadLargestAhx)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadSmallHvl)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BuildWaveTables)->Unit(benchmark::kMillisecond);
