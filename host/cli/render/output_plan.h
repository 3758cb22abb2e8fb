#pragma once
// Where render's outputs go and what they are called: one named file, standard output, or a
// folder of files named after the inputs, their songs and channels.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "common/module_file.h"
#include "render/audio_file_writer.h"
#include "render/render_options.h"

struct OutputPlan {
    bool toStandardOutput = false;
    std::optional<std::filesystem::path> file;  // exactly this file (one output only)
    std::filesystem::path folder = ".";
    AudioFormat format = AudioFormat::Wav;
};

// Throws UsageError when the options do not fit together.
OutputPlan PlanOutputs(const RenderOptions& options);
// What the format needs of the other options (Opus's rate), and whether this libsndfile can write
// it at all; throws UsageError.
void CheckFormat(RenderOptions& options, AudioFormat format);
// songOfAll: the song, when every song is rendered; channel: for a stem, the channel as users
// number them (from 1); 0 for the mix.
std::string OutputPathFor(const OutputPlan& plan, const ModuleFile& module, std::optional<uint32_t> songOfAll,
                          uint32_t channel);
// "HVL version 1, song 2 of 3", and the channel for a stem.
AudioTags TagsFor(const ModuleFile& module, const ahx_player* player, uint32_t song, uint32_t channel);
