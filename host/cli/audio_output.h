#pragma once
// Where rendered frames go: an audio file written under a temporary name and renamed when
// complete, or raw samples on standard output.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <sndfile.h>

enum class AudioFormat { Wav, Flac, Raw };

std::optional<AudioFormat> AudioFormatFromName(std::string_view name);           // "wav", "flac", "raw"
std::optional<AudioFormat> AudioFormatFromExtension(std::string_view fileName);  // ".wav", ".flac", ".raw"
std::string_view ExtensionOf(AudioFormat format);                                // ".wav" ...

constexpr std::string_view kStandardOutput = "-";

class AudioOutput {
public:
    // Opens a temporary file beside path (or standard output for "-"); throws FileError.
    // Without overwrite, an existing path is an error, checked now and again when committing.
    AudioOutput(std::string path, AudioFormat format, uint32_t sampleRate, bool overwrite);
    ~AudioOutput();
    AudioOutput(const AudioOutput&) = delete;
    AudioOutput& operator=(const AudioOutput&) = delete;

    // interleaved: frameCount stereo frames, left first.
    void Write(const int16_t* interleaved, size_t frameCount);
    // Finishes the file and gives it its real name; without this the destructor removes it.
    void Commit();

private:
    void Discard();

    std::string path_;
    std::string temporaryPath_;
    bool overwrite_;
    bool toStandardOutput_;
    SNDFILE* file_ = nullptr;
    bool committed_ = false;
};
