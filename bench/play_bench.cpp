// What `ahx play` asks of the library while a sound card waits: one device buffer (1024 frames,
// 23.2 ms of sound at 44100 Hz, the time it has) rendered with metering on, seeks by key, and
// queueing the next song (open and measure twice).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr size_t kBufferFrames = 1024;

ahx_player* Open(const std::vector<uint8_t>& bytes) {
    const ahx_settings settings{kRate, 0};
    ahx_player* player = nullptr;
    ahx_open(bytes.data(), bytes.size(), &settings, &player);
    return player;
}

void BM_DeviceBufferSixteenVoices(benchmark::State& state) {
    const std::vector<uint8_t> bytes = BuildModule(BusySong(16));
    ahx_player* player = Open(bytes);
    ahx_set_metering(player, 1);
    std::vector<int16_t> frames(2 * kBufferFrames);
    for (auto _ : state) {
        ahx_render_s16(player, frames.data(), kBufferFrames);
        benchmark::DoNotOptimize(frames.data());
    }
    ahx_close(player);
}

// A key's seek on a player whose song was measured, as the player's are: 30 s on near the start,
// or 30 s back near the end of a 10-minute song.
void Seek(benchmark::State& state, uint64_t fromSeconds, uint64_t toSeconds) {
    ModuleDescription song = BusySong(16);
    song.positions.resize(80, song.positions[0]);  // 80 positions of 7.68 s: past ten minutes
    const std::vector<uint8_t> bytes = BuildModule(song);
    ahx_player* player = Open(bytes);
    ahx_length length{};
    ahx_measure_song(player, 0, 1, &length);
    for (auto _ : state) {
        state.PauseTiming();
        ahx_seek(player, fromSeconds * kRate);
        state.ResumeTiming();
        ahx_seek(player, toSeconds * kRate);
    }
    ahx_close(player);
}

// Five seconds past a snapshot: halfway between two.
void BM_SeekThirtySecondsOn(benchmark::State& state) { Seek(state, 5, 35); }
void BM_SeekBackFromTenMinutes(benchmark::State& state) { Seek(state, 595, 565); }

void BM_QueueNextSong(benchmark::State& state) {
    const std::vector<uint8_t> bytes = BuildModule(BusySong(16));
    for (auto _ : state) {
        ahx_player* player = Open(bytes);
        ahx_length once{}, twice{};
        ahx_measure_song(player, 0, 1, &once);
        ahx_measure_song(player, 0, 2, &twice);
        benchmark::DoNotOptimize(twice.frames);
        ahx_close(player);
    }
}

}  // namespace

BENCHMARK(BM_DeviceBufferSixteenVoices)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SeekThirtySecondsOn)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SeekBackFromTenMinutes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueueNextSong)->Unit(benchmark::kMillisecond);
