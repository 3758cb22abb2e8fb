// The library: rendering a span against seeking over the same span, for a plain and a busy song.
// "realtime" is seconds of audio per second of CPU; the seek's advantage is the ratio of the two.
// A first seek runs the replay without mixing; later seeks start from the snapshots the first one
// (or playing, or measuring) left every ten seconds ("Seek..."); "SeekFirst..." opens a fresh
// player for every seek, outside the timing.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint64_t kSpanFrames = 60 * kRate;
constexpr size_t kPieceFrames = 4096;

ahx_player* OpenSong(benchmark::State& state, const ModuleDescription& description) {
    const std::vector<uint8_t> bytes = BuildModule(description);
    ahx_player* player = nullptr;
    if (ahx_open(bytes.data(), bytes.size(), nullptr, &player) != AHX_OK) state.SkipWithError("the song did not load");
    return player;
}

void Report(benchmark::State& state) {
    const double frames = static_cast<double>(state.iterations() * kSpanFrames);
    state.counters["realtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void RenderSpan(benchmark::State& state, const ModuleDescription& description) {
    ahx_player* player = OpenSong(state, description);
    if (player == nullptr) return;
    std::vector<int16_t> frames(2 * kPieceFrames);
    for (auto _ : state) {
        ahx_seek(player, 0);
        for (uint64_t done = 0; done < kSpanFrames; done += kPieceFrames) {
            ahx_render_s16(player, frames.data(), kPieceFrames);
            benchmark::DoNotOptimize(frames.data());
        }
    }
    Report(state);
    ahx_close(player);
}

void SeekSpan(benchmark::State& state, const ModuleDescription& description) {
    ahx_player* player = OpenSong(state, description);
    if (player == nullptr) return;
    for (auto _ : state) {
        ahx_seek(player, 0);
        ahx_seek(player, kSpanFrames);
        benchmark::ClobberMemory();
    }
    Report(state);
    ahx_close(player);
}

void SeekFirstSpan(benchmark::State& state, const ModuleDescription& description) {
    const std::vector<uint8_t> bytes = BuildModule(description);
    for (auto _ : state) {
        state.PauseTiming();
        ahx_player* player = nullptr;
        ahx_open(bytes.data(), bytes.size(), nullptr, &player);
        state.ResumeTiming();
        ahx_seek(player, kSpanFrames);
        benchmark::ClobberMemory();
        state.PauseTiming();
        ahx_close(player);
        state.ResumeTiming();
    }
    Report(state);
}

ModuleDescription Multiplier4(ModuleDescription song) {
    song.speedMultiplier = 4;
    return song;
}

void BM_LibraryRenderFourVoices(benchmark::State& state) { RenderSpan(state, BusySong(4)); }
void BM_LibrarySeekFourVoices(benchmark::State& state) { SeekSpan(state, BusySong(4)); }
void BM_LibrarySeekFirstFourVoices(benchmark::State& state) { SeekFirstSpan(state, BusySong(4)); }
void BM_LibraryRenderSixteenVoices(benchmark::State& state) { RenderSpan(state, BusySong(16)); }
void BM_LibrarySeekSixteenVoices(benchmark::State& state) { SeekSpan(state, BusySong(16)); }
void BM_LibrarySeekFirstSixteenVoices(benchmark::State& state) { SeekFirstSpan(state, BusySong(16)); }
void BM_LibraryRenderSixteenVoicesMultiplier4(benchmark::State& state) { RenderSpan(state, Multiplier4(BusySong(16))); }
void BM_LibrarySeekSixteenVoicesMultiplier4(benchmark::State& state) { SeekSpan(state, Multiplier4(BusySong(16))); }
void BM_LibrarySeekFirstSixteenVoicesMultiplier4(benchmark::State& state) {
    SeekFirstSpan(state, Multiplier4(BusySong(16)));
}

}  // namespace

BENCHMARK(BM_LibraryRenderFourVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySeekFourVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySeekFirstFourVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryRenderSixteenVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySeekSixteenVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySeekFirstSixteenVoices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibraryRenderSixteenVoicesMultiplier4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySeekSixteenVoicesMultiplier4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySeekFirstSixteenVoicesMultiplier4)->Unit(benchmark::kMillisecond);
