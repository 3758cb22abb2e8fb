#include "tests/plugin/plugin_test_support.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

const LoadedPlugin& SharedPlugin() {
    static LoadedPlugin plugin;
    static bool loaded = LoadPlugin(AHX_PLUGIN_PATH, &plugin);
    if (!loaded) ADD_FAILURE() << "cannot load " << AHX_PLUGIN_PATH;
    return plugin;
}

LoadedPlugin FreshPlugin() {
    LoadedPlugin plugin;
    if (!LoadFreshPlugin(AHX_PLUGIN_PATH, &plugin)) ADD_FAILURE() << "cannot load a copy of " << AHX_PLUGIN_PATH;
    return plugin;
}

void StartPlugin(const LoadedPlugin& plugin, int32_t version, int32_t revision) {
    ResetKestrel();
    // RegisterFileType receives this record's address, so it must outlive the call.
    static PluginInfo info;
    info = HostPluginInfo(version, revision);
    ASSERT_EQ(plugin.initPlugin(&info, &Kestrel().api), 1);
}

int32_t RunSetPlayingTime(const LoadedPlugin& plugin, double ms) {
    Kestrel().numberArgument = ms;
    return plugin.getCommands()[0].function(&Kestrel());
}

ModuleDescription MelodyDescription(ModuleFormat format, uint8_t speedMultiplier) {
    ModuleDescription d;
    d.format = format;
    d.version = 1;
    d.name = "plugin test melody";
    d.speedMultiplier = speedMultiplier;
    d.trackLength = 16;
    d.subsongs = {1, 2};
    d.tracks.resize(4);
    // Each track starts with a different chord so that every song sounds different from its first step.
    const uint8_t roots[4] = {0, 13, 25, 20};
    for (size_t t = 1; t < d.tracks.size(); ++t) {
        d.tracks[t].resize(16);
        for (size_t s = 0; s < 16; s += 4) {
            d.tracks[t][s].note = static_cast<uint8_t>(roots[t] + s);
            d.tracks[t][s].instrument = static_cast<uint8_t>(1 + (s / 4) % 2);
        }
    }
    for (uint8_t p = 0; p < 3; ++p) {
        BuiltPosition position;
        position.track[0] = static_cast<uint8_t>(1 + p);
        position.track[1] = static_cast<uint8_t>(1 + (p + 1) % 3);
        position.transpose[1] = 7;
        position.track[2] = static_cast<uint8_t>(1 + (p + 2) % 3);
        position.transpose[2] = -5;
        d.positions.push_back(position);
    }
    // Triangle and sawtooth at moderate volume: varied waveforms whose sum stays within 16 bits.
    BuiltInstrument triangle;
    triangle.name = "triangle";
    triangle.volume = 40;
    triangle.envelope = {1, 64, 8, 48, 40, 10, 0};
    BuiltPerfEntry triangleWave;
    triangleWave.waveform = 1;
    triangle.perfList = {triangleWave};
    BuiltInstrument saw = triangle;
    saw.name = "saw";
    saw.waveLength = 2;
    saw.perfList[0].waveform = 2;
    d.instruments = {triangle, saw};
    return d;
}

std::vector<uint8_t> MelodyModule(ModuleFormat format, uint8_t speedMultiplier) {
    return BuildModule(MelodyDescription(format, speedMultiplier));
}

TempFile::TempFile(const std::vector<uint8_t>& bytes) {
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/ahx-module-XXXXXX";
    const int descriptor = mkstemp(path.data());
    if (descriptor < 0) {
        ADD_FAILURE() << "cannot create " << path;
        return;
    }
    if (!bytes.empty() && write(descriptor, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) {
        ADD_FAILURE() << "cannot write " << path;
    }
    close(descriptor);
}

TempFile::~TempFile() {
    unlink(path.c_str());
}

std::vector<int16_t> RenderWithEngine(const std::vector<uint8_t>& module, uint32_t song, uint32_t frames) {
    static bool tablesBuilt = false;
    if (!tablesBuilt) {
        BuildWaveTables();
        tablesBuilt = true;
    }
    std::vector<int16_t> samples;
    Tune* tune = LoadTune(module.data(), static_cast<uint32_t>(module.size()), 0, kFramesPerSecond);
    if (tune == nullptr || StartSubsong(tune, song) == 0) {
        ADD_FAILURE() << "the engine refuses the test module";
        if (tune != nullptr) FreeTune(tune);
        return samples;
    }
    std::vector<int16_t> chunk(2 * 882);
    while (samples.size() < 2 * size_t{frames}) {
        DecodeFrame(tune, chunk.data(), chunk.data() + 1, 4);
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + 2 * FramesPerDecode(tune));
    }
    FreeTune(tune);
    samples.resize(2 * size_t{frames});
    return samples;
}

PullResult Pull(const LoadedPlugin& plugin, void* stream, uint32_t frames,
                const std::vector<uint32_t>& requestFrames) {
    PullResult result{{}, 0, 0};
    size_t next = 0;
    while (result.samples.size() < 2 * size_t{frames}) {
        const uint32_t framesLeft = frames - static_cast<uint32_t>(result.samples.size() / 2);
        const uint32_t wanted = std::min(requestFrames[next++ % requestFrames.size()], framesLeft);
        std::vector<int16_t> destination(2 * size_t{wanted} + 2, 0x5A5A);
        SampleRequest request{destination.data(), wanted, 0xDEAD, -1};
        EXPECT_EQ(plugin.streamSamples(stream, &request), 0);
        // Past the requested frames nothing may be touched.
        EXPECT_EQ(destination[2 * size_t{wanted}], 0x5A5A);
        result.samples.insert(result.samples.end(), destination.begin(), destination.end() - 2);
        result.framesWritten += request.framesWritten;
        result.lastEnd = request.end;
    }
    return result;
}

bool HasSound(const std::vector<int16_t>& samples) {
    return std::any_of(samples.begin(), samples.end(), [](int16_t s) { return s != 0; });
}
