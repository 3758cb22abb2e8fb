#pragma once
// Drives the real ahx.kpl through the stand-in Kestrel host, and renders the same modules with the
// engine directly as an independent reference.
#include <cstdint>
#include <string>
#include <vector>

#include "builder/module_builder.h"
#include "host/kestrel/plugin_loader.h"
#include "host/kestrel/stand_in_host.h"

constexpr uint32_t kFramesPerSecond = 44100;
constexpr uint16_t kTestSubsongCount = 2;

// The plug-in shared by most tests (loaded once, state carried between tests).
const LoadedPlugin& SharedPlugin();
// A private instance that has never been initialised.
LoadedPlugin FreshPlugin();

// Resets the host's records and starts plugin on a host of the given version.
void StartPlugin(const LoadedPlugin& plugin, int32_t version, int32_t revision);
// Runs ahx.SetPlayingTime as a script would, with ms as argument 1.
int32_t RunSetPlayingTime(const LoadedPlugin& plugin, double ms);

// An audible four-channel song with two subsongs that start at different positions.
ModuleDescription MelodyDescription(ModuleFormat format, uint8_t speedMultiplier);
std::vector<uint8_t> MelodyModule(ModuleFormat format, uint8_t speedMultiplier);

// A file in the temp folder, removed when the test ends.
struct TempFile {
    std::string path;
    explicit TempFile(const std::vector<uint8_t>& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
};

// frames of song, rendered with LoadTune + StartSubsong + DecodeFrame in this process.
std::vector<int16_t> RenderWithEngine(const std::vector<uint8_t>& module, uint32_t song, uint32_t frames);

struct PullResult {
    std::vector<int16_t> samples;  // every frame the destination received, written or not
    uint32_t framesWritten;        // summed over the requests
    int32_t lastEnd;
};

// Pulls frames from stream in requests that cycle through requestFrames.
PullResult Pull(const LoadedPlugin& plugin, void* stream, uint32_t frames,
                const std::vector<uint32_t>& requestFrames);

bool HasSound(const std::vector<int16_t>& samples);
