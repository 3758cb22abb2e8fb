#pragma once
// Running the built ahx tool as a user would, reading its audio back, and the engine's own
// render of the same song for comparison.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/module_builder.h"

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `ahx args...` in folder `workingFolder` with no standard input.
ToolRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& workingFolder);

// A fresh empty folder, removed with its contents when the object goes.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // Names of everything in the folder, hidden files included, sorted.
    std::vector<std::string> Entries() const;

private:
    std::filesystem::path path_;
};

struct Audio {
    int sampleRate = 0;
    int channels = 0;
    int format = 0;                // libsndfile major format, e.g. SF_FORMAT_WAV
    std::vector<int16_t> samples;  // interleaved
    size_t Frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
};

Audio ReadAudio(const std::filesystem::path& file);
// Raw signed 16-bit little-endian stereo bytes as samples.
std::vector<int16_t> SamplesFromRawBytes(const std::string& bytes);

// The engine, in this process: frameCount frames of a song, interleaved, as the plug-in would render.
std::vector<int16_t> EngineRender(const std::vector<uint8_t>& module, uint32_t song, int32_t stereoMode,
                                  uint32_t sampleRate, uint64_t frameCount);

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file);
void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes);

// A small song whose length is easy to work out by hand: `positionCount` positions of
// `trackLength` steps, every position playing track 1 on channel 0 (one triangle note on step 0),
// tempo 6 unless a step says otherwise.
ModuleDescription CountedSong(ModuleFormat format, uint16_t positionCount, uint8_t trackLength);
