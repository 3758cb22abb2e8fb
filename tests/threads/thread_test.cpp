// Several streams of the plug-in and several library players render at once, one thread each, and
// must deliver exactly what they deliver one after another. Run under ThreadSanitizer too (`make test-threads`), which sees any state the
// streams share without saying so.
#include <gtest/gtest.h>
#include <unistd.h>

#include <latch>
#include <thread>
#include <vector>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"

namespace {

using Samples = std::vector<int16_t>;

constexpr uint32_t kFramesBeforeRewind = 100000;
constexpr uint32_t kFramesAfterRewind = 120000;
constexpr int kRounds = 4;

struct Job {
    std::string path;
    uint32_t requestFrames;  // each stream pulls in its own request size
    void* stream = nullptr;
    Samples delivered;
};

// A library player does in its thread what a stream does: open, play, seek back to the start, play.
struct PlayerJob {
    std::vector<uint8_t> module;
    uint32_t sampleRate;
    uint32_t requestFrames;
    Samples delivered;
};

Samples RenderPlayer(ahx_player* player, uint32_t frames, uint32_t requestFrames) {
    Samples out(2 * size_t{frames});
    for (uint32_t done = 0; done < frames; done += requestFrames) {
        const uint32_t wanted = frames - done < requestFrames ? frames - done : requestFrames;
        EXPECT_EQ(ahx_render_s16(player, out.data() + 2 * size_t{done}, wanted), AHX_OK);
    }
    return out;
}

void PlayPlayer(PlayerJob* job) {
    const ahx_settings settings{job->sampleRate, 0};
    ahx_player* player = nullptr;
    ASSERT_EQ(ahx_open(job->module.data(), job->module.size(), &settings, &player), AHX_OK);
    job->delivered = RenderPlayer(player, kFramesBeforeRewind, job->requestFrames);
    EXPECT_EQ(ahx_seek(player, 0), AHX_OK);
    const Samples again = RenderPlayer(player, kFramesAfterRewind, job->requestFrames);
    job->delivered.insert(job->delivered.end(), again.begin(), again.end());
    ahx_close(player);
}

// What a host does with a stream between opening and closing it: play, rewind, play again.
void Play(const LoadedPlugin& plugin, Job* job) {
    job->delivered = PullFrames(plugin, job->stream, kFramesBeforeRewind, job->requestFrames);
    plugin.seekStream(job->stream, 0);
    const Samples again = PullFrames(plugin, job->stream, kFramesAfterRewind, job->requestFrames);
    job->delivered.insert(job->delivered.end(), again.begin(), again.end());
}

// Opens happen on one thread: the stand-in host's bookkeeping is not meant to be shared, and
// Kestrel's own file calls are its business. Rendering, rewinding and closing run in parallel.
void OpenAll(const LoadedPlugin& plugin, std::vector<Job>& jobs) {
    for (Job& job : jobs) {
        StreamOpenInfo info = {};
        job.stream = plugin.openStream(job.path.c_str(), &info);
        ASSERT_NE(job.stream, nullptr) << job.path;
    }
}

TEST(Threads, StreamsRenderingAtOnceDeliverWhatTheyDeliverAlone) {
    LoadedPlugin plugin;
    ASSERT_TRUE(StartPlugin(AHX_PLUGIN_PATH, &plugin));
    const ModuleDescription songs[] = {BusySong(4), BusySong(16), RingSong(), NoiseSong(), AsAhx(BusySong(4)),
                                       AsAhx(RingSong())};
    const uint32_t requestFrames[] = {882, 1000, 1, 4096, 441, 3};
    std::vector<Job> jobs;
    for (size_t i = 0; i < std::size(songs); ++i) {
        const std::string path = TemporaryPath("ahx-thread-" + std::to_string(i));
        ASSERT_TRUE(WriteFileBytes(path, BuildModule(songs[i])));
        jobs.push_back({path, requestFrames[i], nullptr, {}});
    }

    OpenAll(plugin, jobs);
    for (Job& job : jobs) {
        Play(plugin, &job);
        plugin.closeStream(job.stream);
    }
    std::vector<Samples> alone;
    for (const Job& job : jobs) alone.push_back(job.delivered);

    // ThreadSanitizer keeps a short access history and can miss a race in one run; several rounds
    // with the threads released together give it more chances.
    for (int round = 0; round < kRounds; ++round) {
        OpenAll(plugin, jobs);
        std::vector<std::thread> threads;
        std::latch startTogether(static_cast<std::ptrdiff_t>(jobs.size()));
        for (Job& job : jobs) {
            threads.emplace_back([&plugin, &job, &startTogether] {
                startTogether.arrive_and_wait();
                Play(plugin, &job);
                plugin.closeStream(job.stream);
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (size_t i = 0; i < jobs.size(); ++i) EXPECT_EQ(jobs[i].delivered, alone[i]) << "round " << round << " " << jobs[i].path;
    }

    for (const Job& job : jobs) unlink(job.path.c_str());
    EXPECT_EQ(Kestrel().openFiles, 0);
}

TEST(Threads, PlayersOpenedAndRenderingAtOnceRenderWhatTheyRenderAlone) {
    std::vector<PlayerJob> jobs = {{BuildModule(BusySong(16)), 48000, 1000, {}},
                                   {BuildModule(RingSong()), 44100, 7, {}},
                                   {BuildModule(AsAhx(BusySong(4))), 22050, 882, {}},
                                   {BuildModule(NoiseSong()), 8000, 4096, {}}};
    // Together first: these are the process's first opens, so they also race to build the tables.
    std::vector<std::thread> threads;
    std::latch startTogether(static_cast<std::ptrdiff_t>(jobs.size()));
    for (PlayerJob& job : jobs) {
        threads.emplace_back([&job, &startTogether] {
            startTogether.arrive_and_wait();
            PlayPlayer(&job);
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (PlayerJob& job : jobs) {
        const Samples together = job.delivered;
        PlayPlayer(&job);
        EXPECT_EQ(together, job.delivered) << "at " << job.sampleRate << " Hz";
    }
}

}  // namespace
