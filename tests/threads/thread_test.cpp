// Plug-in streams and library players render at once, one thread each, and must deliver exactly
// what they deliver one after another. Run under ThreadSanitizer too (`make test-threads`), which
// sees any state the streams share without saying so.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <latch>
#include <thread>
#include <vector>

#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"
#include "tests/support/files.h"
#include "tests/support/library_render.h"

namespace {

using Samples = std::vector<int16_t>;

constexpr uint32_t kFramesBeforeRewind = 100000;
constexpr uint32_t kFramesAfterRewind = 120000;

// play(0), play(1), ... each on its own thread, released together; what each returned.
std::vector<Samples> Together(size_t count, const std::function<Samples(size_t)>& play) {
    std::vector<Samples> delivered(count);
    std::latch start(static_cast<std::ptrdiff_t>(count));
    std::vector<std::thread> threads;
    for (size_t i = 0; i < count; ++i) {
        threads.emplace_back([&, i] { start.arrive_and_wait(), delivered[i] = play(i); });
    }
    for (std::thread& thread : threads) thread.join();
    return delivered;
}

// What a host does with a stream or a player: play, rewind, play again, close. render(frames,
// request) renders in requests of that size.
Samples PlayRewindPlay(uint32_t requestFrames, const std::function<Samples(uint32_t, uint32_t)>& render,
                       const std::function<void()>& rewind) {
    Samples out = render(kFramesBeforeRewind, requestFrames);
    rewind();
    const Samples again = render(kFramesAfterRewind, requestFrames);
    out.insert(out.end(), again.begin(), again.end());
    return out;
}

struct Job { ModuleDescription song; uint32_t requestFrames, sampleRate; };  // rate 0: a plug-in stream, at 44100 Hz

TEST(Threads, StreamsAndPlayersRenderingAtOnceDeliverWhatTheyDeliverAlone) {
    LoadedPlugin plugin;
    ASSERT_TRUE(StartPlugin(AHX_PLUGIN_PATH, &plugin));
    const Job jobs[] = {{BusySong(4), 882, 0},     {BusySong(16), 1000, 0},         {RingSong(), 1, 0},
                        {NoiseSong(), 4096, 0},    {AsAhx(BusySong(4)), 441, 0},    {AsAhx(RingSong()), 3, 0},
                        {BusySong(16), 1000, 48000}, {RingSong(), 7, 44100},        {AsAhx(BusySong(4)), 882, 22050},
                        {NoiseSong(), 4096, 8000}};
    std::vector<std::unique_ptr<ModuleFile>> files;
    for (const Job& job : jobs) files.push_back(std::make_unique<ModuleFile>(BuildModule(job.song)));
    // Streams open on one thread: the stand-in host's bookkeeping is not meant to be shared, and
    // Kestrel's own file calls are its business. Players open in their threads, and the first
    // opens of the process race to build the tables.
    std::vector<void*> streams(std::size(jobs));
    const auto openStream = [&](size_t i) {
        StreamOpenInfo info = {};
        streams[i] = jobs[i].sampleRate == 0 ? plugin.openStream(files[i]->path.c_str(), &info) : nullptr;
        EXPECT_TRUE(jobs[i].sampleRate != 0 || streams[i] != nullptr);
    };
    const auto openStreams = [&] {
        for (size_t i = 0; i < std::size(jobs); ++i) openStream(i);
    };
    const auto play = [&](size_t i) {
        if (jobs[i].sampleRate == 0) {
            const auto pull = [&](uint32_t frames, uint32_t request) { return PullFrames(plugin, streams[i], frames, request); };
            const Samples out = PlayRewindPlay(jobs[i].requestFrames, pull, [&] { plugin.seekStream(streams[i], 0); });
            plugin.closeStream(streams[i]);
            return out;
        }
        const PlayerPtr player = OpenPlayer(files[i]->bytes, jobs[i].sampleRate);
        const auto render = [&](uint32_t frames, uint32_t request) {
            Samples out(2 * size_t{frames});
            for (uint32_t done = 0; done < frames; done += request) {
                const uint32_t wanted = std::min(frames - done, request);
                EXPECT_EQ(ahx_render_s16(player.get(), out.data() + 2 * size_t{done}, wanted), AHX_OK);
            }
            return out;
        };
        return PlayRewindPlay(jobs[i].requestFrames, render, [&] { EXPECT_EQ(ahx_seek(player.get(), 0), AHX_OK); });
    };
    openStreams();
    const std::vector<Samples> first = Together(std::size(jobs), play);
    std::vector<Samples> alone;
    for (size_t i = 0; i < std::size(jobs); ++i) {
        openStream(i);
        alone.push_back(play(i));
    }
    EXPECT_EQ(first, alone);
    // ThreadSanitizer keeps a short access history and can miss a race in one run; several rounds
    // with the threads released together give it more chances.
    for (int round = 0; round < 3; ++round) {
        openStreams();
        EXPECT_EQ(Together(std::size(jobs), play), alone) << "round " << round;
    }
    EXPECT_EQ(Kestrel().openFiles, 0);
}

}  // namespace
