// Several streams render at once, one thread each, and must deliver exactly what they deliver one
// after another. Run under ThreadSanitizer too (`make test-threads`), which sees any state the
// streams share without saying so.
#include <gtest/gtest.h>
#include <unistd.h>

#include <latch>
#include <thread>
#include <vector>

#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"

namespace {

using Samples = std::vector<int16_t>;

constexpr uint32_t kFramesBeforeRewind = 100000;
constexpr uint32_t kFramesAfterRewind = 120000;
constexpr int kRounds = 4;

ModuleDescription AsAhx(ModuleDescription description) {
    description.format = ModuleFormat::kAhx;
    return description;
}

struct Job {
    std::string path;
    uint32_t requestFrames;  // each stream pulls in its own request size
    void* stream = nullptr;
    Samples delivered;
};

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

}  // namespace
