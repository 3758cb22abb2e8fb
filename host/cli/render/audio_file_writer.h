#pragma once
// Where rendered frames go: an audio file written under a temporary name and renamed when
// complete, or raw samples on standard output.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <sndfile.h>

#include "render/audio_formats.h"

// Text tags for the formats that hold them; empty ones are left out.
struct AudioTags {
    std::string title;     // UTF-8
    std::string software;  // "ahx 1.1.0"
    std::string comment;   // "HVL version 1, song 2 of 3"
};

constexpr std::string_view kStandardOutput = "-";
// --quality runs from 0 (smallest) to this (best); every lossy format starts from the same default
// (left to themselves, the encoders differ wildly: MP3 would take 320 kbit/s, Vorbis far less).
constexpr int kHighestQuality = 10;
constexpr int kDefaultQuality = 5;

class AudioFileWriter {
public:
    // Opens a temporary file beside path; for "-", raw samples go straight to standard output and
    // other formats into a hidden temporary file copied there when complete (their headers hold
    // the length). Throws FileError.
    // Without overwrite, an existing path is an error, checked now and again when committing.
    // quality (0..kHighestQuality) is used by the lossy formats only.
    AudioFileWriter(std::string path, AudioFormat format, uint32_t sampleRate, bool overwrite, const AudioTags& tags,
                    std::optional<int> quality);
    ~AudioFileWriter();
    AudioFileWriter(const AudioFileWriter&) = delete;
    AudioFileWriter& operator=(const AudioFileWriter&) = delete;

    // interleaved: frameCount stereo frames, left first.
    void Write(const int16_t* interleaved, size_t frameCount);
    // Finishes the file and gives it its real name; without this the destructor removes it.
    // lateTags ("KEY=value", known only now) go into FLAC files; other formats cannot take them.
    void Commit(const std::vector<std::string>& lateTags = {});
    const std::string& Path() const { return path_; }

private:
    int OpenSpool();
    int OpenTemporary();
    void Discard();

    std::string path_;
    std::string temporaryPath_;
    bool overwrite_;
    bool toStandardOutput_;
    AudioFormat format_;
    int spool_ = -1;  // the file a whole format is written to before it goes to standard output
    SNDFILE* file_ = nullptr;
    bool committed_ = false;
};
