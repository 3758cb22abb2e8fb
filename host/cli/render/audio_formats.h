#pragma once
// The audio file formats render writes through libsndfile: names, extensions and whether this
// libsndfile can write them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class AudioFormat { Wav, Flac, Ogg, Opus, Mp3, Aiff, Raw };

std::optional<AudioFormat> AudioFormatFromName(std::string_view name);           // "wav", "flac", "ogg" ...
std::optional<AudioFormat> AudioFormatFromExtension(std::string_view fileName);  // ".wav", ".aif" ...
std::string_view ExtensionOf(AudioFormat format);                                // ".wav" ...
std::string_view LabelOf(AudioFormat format);                                    // "Ogg Vorbis" ...
// The names --format takes, for messages: "wav, flac, ogg, opus, mp3, aiff or raw".
std::string FormatNameList();
// Lossy formats take a quality; the others are bit-exact.
bool IsLossy(AudioFormat format);
// Empty when the installed libsndfile can write format at sampleRate; otherwise why not, in its words.
std::string WhyNotWritable(AudioFormat format, uint32_t sampleRate);
// libsndfile's format code.
int SndfileFormatOf(AudioFormat format);
