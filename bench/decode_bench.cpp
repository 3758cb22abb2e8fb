// Decode throughput: frames rendered per second of CPU for songs that keep every voice busy.
// The "realtime" counter is seconds of 44100 Hz audio rendered per second of CPU.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "builder/sample_songs.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

namespace {

constexpr uint32_t kRate = 44100;
// Ten seconds of song per timed iteration, long enough to pass several positions.
constexpr uint32_t kDecodesPerIteration = 500;

void DecodeSong(benchmark::State& state, const ModuleDescription& description) {
    BuildWaveTables();
    const std::vector<uint8_t> bytes = BuildModule(description);
    Tune* tune = LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), 0, kRate);
    if (tune == nullptr) {
        state.SkipWithError("the benchmark song did not load");
        return;
    }
    std::vector<int16_t> frames(2 * FramesPerDecode(tune));
    uint64_t framesRendered = 0;
    for (auto _ : state) {
        for (uint32_t d = 0; d < kDecodesPerIteration; ++d) {
            DecodeFrame(tune, &frames[0], &frames[1], 2 * sizeof(int16_t));
            benchmark::DoNotOptimize(frames.data());
        }
        framesRendered += uint64_t{kDecodesPerIteration} * FramesPerDecode(tune);
    }
    state.SetItemsProcessed(static_cast<int64_t>(framesRendered));
    state.counters["realtime"] =
        benchmark::Counter(static_cast<double>(framesRendered) / kRate, benchmark::Counter::kIsRate);
    FreeTune(tune);
}

void BM_DecodeFourVoices(benchmark::State& state) { DecodeSong(state, BusySong(4)); }
void BM_DecodeEightVoices(benchmark::State& state) { DecodeSong(state, BusySong(8)); }
void BM_DecodeSixteenVoices(benchmark::State& state) { DecodeSong(state, BusySong(16)); }
void BM_DecodeRingModulation(benchmark::State& state) { DecodeSong(state, RingSong()); }
void BM_DecodeNoise(benchmark::State& state) { DecodeSong(state, NoiseSong()); }

void BM_DecodeWorstCase(benchmark::State& state) { DecodeSong(state, WorstCaseSong()); }

void BM_DecodeSpeedMultiplier4(benchmark::State& state) {
    ModuleDescription song = BusySong(4);
    song.speedMultiplier = 4;
    DecodeSong(state, song);
}

}  // namespace

BENCHMARK(BM_DecodeFourVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeEightVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSixteenVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeRingModulation)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeNoise)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeSpeedMultiplier4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeWorstCase)->Unit(benchmark::kMillisecond);
