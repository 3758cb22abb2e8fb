// Several streams of the plug-in and several library players render at once, one thread each, and
// must deliver exactly what they deliver one after another. Run under ThreadSanitizer too
// (`make test-threads`), which sees any state the streams share without saying so.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <latch>
#include <thread>
#include <vector>

#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"
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

// What a host does with a stream between opening and closing it: play, rewind, play again.
Samples PlayAndClose(const LoadedPlugin& plugin, void* stream, uint32_t requestFrames) {
    Samples out = PullFrames(plugin, stream, kFramesBeforeRewind, requestFrames);
    plugin.seekStream(stream, 0);
    const Samples again = PullFrames(plugin, stream, kFramesAfterRewind, requestFrames);
    out.insert(out.end(), again.begin(), again.end());
    plugin.closeStream(stream);
    return out;
}

// A library player does the same in its thread: open, play, seek back to the start, play.
Samples PlayPlayer(const std::vector<uint8_t>& module, uint32_t sampleRate, uint32_t requestFrames) {
    const PlayerPtr player = OpenPlayer(module, sampleRate);
    const auto render = [&](uint32_t frames) {
        Samples out(2 * size_t{frames});
        for (uint32_t done = 0; done < frames; done += requestFrames) {
            const uint32_t wanted = std::min(frames - done, requestFrames);
            EXPECT_EQ(ahx_render_s16(player.get(), out.data() + 2 * size_t{done}, wanted), AHX_OK);
        }
        return out;
    };
    if (player == nullptr) return {};
    Samples out = render(kFramesBeforeRewind);
    EXPECT_EQ(ahx_seek(player.get(), 0), AHX_OK);
    const Samples again = render(kFramesAfterRewind);
    out.insert(out.end(), again.begin(), again.end());
    return out;
}

TEST(Threads, StreamsRenderingAtOnceDeliverWhatTheyDeliverAlone) {
    LoadedPlugin plugin;
    ASSERT_TRUE(StartPlugin(AHX_PLUGIN_PATH, &plugin));
    const ModuleDescription songs[] = {BusySong(4), BusySong(16), RingSong(), NoiseSong(), AsAhx(BusySong(4)),
                                       AsAhx(RingSong())};
    const uint32_t requestFrames[] = {882, 1000, 1, 4096, 441, 3};  // each stream pulls in its own size
    std::vector<std::string> paths;
    for (size_t i = 0; i < std::size(songs); ++i) {
        paths.push_back(TemporaryPath("ahx-thread-" + std::to_string(i)));
        ASSERT_TRUE(WriteFileBytes(paths.back(), BuildModule(songs[i])));
    }
    // Opens happen on one thread: the stand-in host's bookkeeping is not meant to be shared, and
    // Kestrel's own file calls are its business. Rendering, rewinding and closing run in parallel.
    std::vector<void*> streams;
    const auto openAll = [&] {
        streams.clear();
        for (const std::string& path : paths) {
            StreamOpenInfo info = {};
            streams.push_back(plugin.openStream(path.c_str(), &info));
            EXPECT_NE(streams.back(), nullptr) << path;
        }
    };
    const auto play = [&](size_t i) { return PlayAndClose(plugin, streams[i], requestFrames[i]); };
    openAll();
    std::vector<Samples> alone;
    for (size_t i = 0; i < paths.size(); ++i) alone.push_back(play(i));
    // ThreadSanitizer keeps a short access history and can miss a race in one run; several rounds
    // with the threads released together give it more chances.
    for (int round = 0; round < 4; ++round) {
        openAll();
        EXPECT_EQ(Together(paths.size(), play), alone) << "round " << round;
    }
    for (const std::string& path : paths) unlink(path.c_str());
    EXPECT_EQ(Kestrel().openFiles, 0);
}

TEST(Threads, PlayersOpenedAndRenderingAtOnceRenderWhatTheyRenderAlone) {
    const struct { std::vector<uint8_t> module; uint32_t sampleRate, requestFrames; } jobs[] = {
        {BuildModule(BusySong(16)), 48000, 1000}, {BuildModule(RingSong()), 44100, 7},
        {BuildModule(AsAhx(BusySong(4))), 22050, 882}, {BuildModule(NoiseSong()), 8000, 4096}};
    const auto play = [&](size_t i) {
        return PlayPlayer(jobs[i].module, jobs[i].sampleRate, jobs[i].requestFrames);
    };
    // Together first: these are the process's first opens, so they also race to build the tables.
    const std::vector<Samples> together = Together(std::size(jobs), play);
    for (size_t i = 0; i < std::size(jobs); ++i) {
        EXPECT_EQ(together[i], play(i)) << "at " << jobs[i].sampleRate << " Hz";
    }
}

}  // namespace
