// Soak: ten thousand open / render / rewind / close cycles through the real plug-in and the
// stand-in host, printing the resident set size as it goes. Memory that a cycle fails to give back
// shows up as growth between the early and the final figures. It measures; it asserts nothing.
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"

namespace {

constexpr uint32_t kCycles = 10000;
constexpr uint32_t kReportEvery = 1000;
constexpr uint32_t kSettledCycle = 2 * kReportEvery;
constexpr uint32_t kFramesBeforeRewind = 8820;  // a fifth of a second
constexpr uint32_t kFramesAfterRewind = 4410;
constexpr uint32_t kRequestFrames = 1000;

long ResidentKiB() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr) return -1;  // not Linux: no figure to show
    long totalPages = 0, residentPages = 0;
    const int read = std::fscanf(statm, "%ld %ld", &totalPages, &residentPages);
    std::fclose(statm);
    return read == 2 ? residentPages * (sysconf(_SC_PAGESIZE) / 1024) : -1;
}

}  // namespace

int main() {
    LoadedPlugin plugin;
    if (!StartPlugin(AHX_PLUGIN_PATH, &plugin)) {
        std::fprintf(stderr, "ahx_soak: cannot start %s\n", AHX_PLUGIN_PATH);
        return 1;
    }
    std::vector<std::string> paths;
    const ModuleDescription songs[] = {BusySong(16), RingSong(), NoiseSong(), AsAhx(BusySong(4))};
    for (size_t i = 0; i < std::size(songs); ++i) {
        paths.push_back(TemporaryPath("ahx-soak-" + std::to_string(i)));
        if (!WriteFileBytes(paths.back(), BuildModule(songs[i]))) {
            std::fprintf(stderr, "ahx_soak: cannot write %s\n", paths.back().c_str());
            return 1;
        }
    }

    std::printf("%u cycles of open, render, rewind, render, close on %zu modules\n", kCycles, paths.size());
    long earlyKiB = 0;
    for (uint32_t cycle = 1; cycle <= kCycles; ++cycle) {
        StreamOpenInfo info = {};
        void* stream = plugin.openStream(paths[cycle % paths.size()].c_str(), &info);
        if (stream == nullptr) {
            std::fprintf(stderr, "ahx_soak: open failed in cycle %u\n", cycle);
            return 1;
        }
        PullFrames(plugin, stream, kFramesBeforeRewind, kRequestFrames);
        plugin.seekStream(stream, 0);
        PullFrames(plugin, stream, kFramesAfterRewind, kRequestFrames);
        plugin.closeStream(stream);
        if (cycle % kReportEvery != 0) continue;
        const long residentKiB = ResidentKiB();
        // By the second report the allocator's pools and the first report's own output have settled.
        if (cycle == kSettledCycle) earlyKiB = residentKiB;
        std::printf("cycle %5u  resident %ld KiB\n", cycle, residentKiB);
    }
    for (const std::string& path : paths) unlink(path.c_str());
    const long finalKiB = ResidentKiB();
    std::printf("resident after %u cycles %ld KiB, after %u cycles %ld KiB: %+ld KiB; files left open: %d\n",
                kSettledCycle, earlyKiB, kCycles, finalKiB, finalKiB - earlyKiB, Kestrel().openFiles);
    return 0;
}
