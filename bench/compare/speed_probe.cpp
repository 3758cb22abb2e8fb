// One timed workload per run, built against whichever revision's engine and plug-in the comparison
// script points it at, so it uses only calls every revision has. Prints one number, the median of
// the repetitions in the unit the workload names. Times are this thread's CPU time, so the spells a
// shared machine spends on other work do not count. With AHX_PROBE_PORTABLE=1 in the environment, a
// revision that has a choice of mixing loops uses its portable ones.
//   speed_probe decode FILE SECONDS       microseconds per second of 44100 Hz output
//   speed_probe load FILE                 microseconds per LoadTune + FreeTune
//   speed_probe wavetables                milliseconds per BuildWaveTables
//   speed_probe open FILE PLUGIN          microseconds per OpenStream + CloseStream through the plug-in
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "host/kestrel/plugin_loader.h"
#include "host/kestrel/stand_in_host.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"
#if __has_include("mixer/mixer_path.h")
#include "mixer/mixer_path.h"
#define AHX_PROBE_HAS_MIXER_PATH 1
#endif

namespace {

constexpr uint32_t kRate = 44100;
constexpr int kRepetitions = 7;

double ThreadSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::vector<uint8_t> ReadFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Times `work` (which does `count` operations) kRepetitions times; microseconds per operation.
template <typename Work>
double MicrosecondsPerOperation(int count, Work work) {
    std::vector<double> samples;
    for (int r = 0; r < kRepetitions; ++r) {
        const double start = ThreadSeconds();
        work();
        samples.push_back((ThreadSeconds() - start) * 1e6 / count);
    }
    return Median(samples);
}

int Decode(const std::vector<uint8_t>& bytes, int seconds) {
    BuildWaveTables();
    Tune* tune = LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), 0, kRate);
    if (tune == nullptr) return 2;
    std::vector<int16_t> frames(2 * FramesPerDecode(tune));
    uint64_t checksum = 0;
    const int decodes = seconds * 50;
    const double perDecode = MicrosecondsPerOperation(decodes, [&] {
        for (int d = 0; d < decodes; ++d) {
            DecodeFrame(tune, &frames[0], &frames[1], 2 * sizeof(int16_t));
            checksum += static_cast<uint16_t>(frames[d % frames.size()]);
        }
    });
    FreeTune(tune);
    std::printf("%.3f\n", perDecode * 50);
    std::fprintf(stderr, "checksum %llu\n", static_cast<unsigned long long>(checksum));
    return 0;
}

int Load(const std::vector<uint8_t>& bytes) {
    BuildWaveTables();
    constexpr int kLoads = 200;
    bool failed = false;
    const double perLoad = MicrosecondsPerOperation(kLoads, [&] {
        for (int i = 0; i < kLoads; ++i) {
            Tune* tune = LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), 0, kRate);
            failed |= tune == nullptr;
            FreeTune(tune);
        }
    });
    if (failed) return 2;
    std::printf("%.3f\n", perLoad);
    return 0;
}

int WaveTables() {
    constexpr int kBuilds = 5;
    std::printf("%.3f\n", MicrosecondsPerOperation(kBuilds, [] {
                    for (int i = 0; i < kBuilds; ++i) BuildWaveTables();
                }) / 1000.0);
    return 0;
}

int Open(const char* file, const char* pluginPath) {
    LoadedPlugin plugin;
    if (!LoadPlugin(pluginPath, &plugin)) return 2;
    ResetKestrel();
    PluginInfo info = HostPluginInfo(6, 0);
    if (plugin.initPlugin(&info, &Kestrel().api) != 1) return 2;
    constexpr int kOpens = 200;
    bool failed = false;
    const double perOpen = MicrosecondsPerOperation(kOpens, [&] {
        for (int i = 0; i < kOpens; ++i) {
            StreamOpenInfo open = {};
            void* stream = plugin.openStream(file, &open);
            failed |= stream == nullptr;
            if (stream != nullptr) plugin.closeStream(stream);
        }
    });
    plugin.closePlugin();
    if (failed) return 2;
    std::printf("%.3f\n", perOpen);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef AHX_PROBE_HAS_MIXER_PATH
    const char* portable = std::getenv("AHX_PROBE_PORTABLE");
    ForcePortableMixing(portable != nullptr && std::strcmp(portable, "1") == 0);
#endif
    const auto is = [&](const char* kind, int arguments) { return argc == arguments && std::strcmp(argv[1], kind) == 0; };
    if (is("decode", 4)) return Decode(ReadFile(argv[2]), std::atoi(argv[3]));
    if (is("load", 3)) return Load(ReadFile(argv[2]));
    if (is("wavetables", 2)) return WaveTables();
    if (is("open", 4)) return Open(argv[2], argv[3]);
    std::fprintf(stderr, "usage: speed_probe decode FILE SECONDS | load FILE | wavetables | open FILE PLUGIN\n");
    return 1;
}
