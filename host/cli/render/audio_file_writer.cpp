#include "render/audio_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

#include "common/module_file.h"
#include "render/flac_tags.h"

namespace {

void WriteAll(const uint8_t* bytes, size_t count);

// Raw samples on standard output are little-endian whatever the machine, as `-t s16 -L` readers
// expect; a little-endian machine writes its samples as they are.
void WriteLittleEndian(const int16_t* samples, size_t sampleCount) {
    std::vector<uint8_t> swapped;
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(samples);
    if constexpr (std::endian::native != std::endian::little) {
        swapped.resize(sampleCount * 2);
        for (size_t i = 0; i < sampleCount; ++i) {
            const auto value = static_cast<uint16_t>(samples[i]);
            swapped[2 * i] = static_cast<uint8_t>(value & 0xFF);
            swapped[2 * i + 1] = static_cast<uint8_t>(value >> 8);
        }
        bytes = swapped.data();
    }
    WriteAll(bytes, sampleCount * 2);
}

void WriteAll(const uint8_t* bytes, size_t count) {
    size_t written = 0;
    while (written < count) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes + written, count - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw FileError(std::string("standard output: cannot write: ") + std::strerror(errno));
        written += static_cast<size_t>(n);
    }
}

void CopySpoolOut(int spool) {
    if (::lseek(spool, 0, SEEK_SET) != 0) throw FileError(std::string("standard output: ") + std::strerror(errno));
    std::vector<uint8_t> piece(1 << 16);
    for (;;) {
        const ssize_t n = ::read(spool, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw FileError(std::string("standard output: cannot read the temporary file: ") + std::strerror(errno));
        if (n == 0) return;
        WriteAll(piece.data(), static_cast<size_t>(n));
    }
}

// Permissions a plain new file gets under the current umask (mkstemp makes it 0600).
mode_t NewFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
}

// Gives the finished file its name; without overwrite an existing file is never replaced,
// also not one that appeared while we were rendering.
bool RenameIntoPlace(const std::string& from, const std::string& to, bool overwrite) {
    if (overwrite) return std::rename(from.c_str(), to.c_str()) == 0;
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    // Some file systems have no hard links; fall back to a check just before the rename.
    if (errno == EEXIST) return false;
    std::error_code error;
    if (std::filesystem::exists(to, error)) {
        errno = EEXIST;
        return false;
    }
    return std::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

AudioFileWriter::AudioFileWriter(std::string path, AudioFormat format, uint32_t sampleRate, bool overwrite,
                                 const AudioTags& tags, std::optional<int> quality)
    : path_(std::move(path)), overwrite_(overwrite), toStandardOutput_(path_ == kStandardOutput), format_(format) {
    if (toStandardOutput_ && format == AudioFormat::Raw) return;
    const int descriptor = toStandardOutput_ ? OpenSpool() : OpenTemporary();
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = 2;
    info.format = SndfileFormatOf(format);
    file_ = sf_open_fd(descriptor, SFM_WRITE, &info, toStandardOutput_ ? SF_FALSE : SF_TRUE);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        if (descriptor != spool_) ::close(descriptor);
        Discard();
        throw FileError(path_ + ": cannot write: " + reason);
    }
    if (IsLossy(format)) {
        // One scale for all three. Left alone MP3 keeps a constant 320 kbit/s, and its variable
        // mode reaches that already half-way up the scale for these sharp waveforms; its average
        // mode spreads the scale over 40 to 320 kbit/s.
        int mode = format == AudioFormat::Mp3 ? SF_BITRATE_MODE_AVERAGE : SF_BITRATE_MODE_VARIABLE;
        sf_command(file_, SFC_SET_BITRATE_MODE, &mode, sizeof mode);
        double level = static_cast<double>(quality.value_or(kDefaultQuality)) / kHighestQuality;
        sf_command(file_, SFC_SET_VBR_ENCODING_QUALITY, &level, sizeof level);
    }
    // Before any sample: the Ogg formats write their tags in the stream's first pages. Formats
    // without a place for a tag refuse it, which is fine.
    const std::pair<int, const std::string*> strings[] = {
        {SF_STR_TITLE, &tags.title}, {SF_STR_SOFTWARE, &tags.software}, {SF_STR_COMMENT, &tags.comment}};
    for (const auto& [kind, text] : strings) {
        if (!text->empty()) sf_set_string(file_, kind, text->c_str());
    }
}

AudioFileWriter::~AudioFileWriter() {
    if (!committed_) Discard();
}

// A hidden, already unlinked file: nothing stays behind, whatever happens.
int AudioFileWriter::OpenSpool() {
    std::string pattern = (std::filesystem::temp_directory_path() / ".ahx-output.XXXXXX").string();
    spool_ = ::mkstemp(pattern.data());
    if (spool_ < 0) throw FileError(std::string("standard output: cannot make a temporary file: ") + std::strerror(errno));
    ::unlink(pattern.c_str());
    return spool_;
}

int AudioFileWriter::OpenTemporary() {
    std::error_code error;
    if (!overwrite_ && std::filesystem::exists(path_, error)) {
        throw FileError(path_ + ": already exists (use --force to overwrite)");
    }
    const std::filesystem::path target(path_);
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    // Hidden, beside the target, so that the final rename stays within one file system.
    std::string hiddenName(".");
    hiddenName.append(target.filename().string()).append(".XXXXXX");
    std::string pattern = (folder / hiddenName).string();
    const int descriptor = ::mkstemp(pattern.data());
    if (descriptor < 0) {
        throw FileError(path_ + ": cannot write: " + std::strerror(errno));
    }
    temporaryPath_ = pattern;
    ::fchmod(descriptor, NewFileMode());
    return descriptor;
}

void AudioFileWriter::Write(const int16_t* interleaved, size_t frameCount) {
    if (toStandardOutput_ && file_ == nullptr) {
        WriteLittleEndian(interleaved, frameCount * 2);
        return;
    }
    const auto wanted = static_cast<sf_count_t>(frameCount);
    if (sf_writef_short(file_, interleaved, wanted) != wanted) {
        throw FileError(path_ + ": cannot write: " + sf_strerror(file_));
    }
}

void AudioFileWriter::Commit(const std::vector<std::string>& lateTags) {
    if (toStandardOutput_ && file_ == nullptr) {
        committed_ = true;
        return;
    }
    sf_write_sync(file_);
    const int closeError = sf_close(file_);
    file_ = nullptr;
    if (closeError != 0) {
        throw FileError(path_ + ": cannot write: " + sf_error_number(closeError));
    }
    if (!lateTags.empty() && format_ == AudioFormat::Flac && !toStandardOutput_) AddFlacComments(temporaryPath_, lateTags);
    if (toStandardOutput_) {
        CopySpoolOut(spool_);
        ::close(spool_);
        spool_ = -1;
        committed_ = true;
        return;
    }
    if (!RenameIntoPlace(temporaryPath_, path_, overwrite_)) {
        const int renameError = errno;
        if (renameError == EEXIST) throw FileError(path_ + ": already exists (use --force to overwrite)");
        throw FileError(path_ + ": cannot write: " + std::strerror(renameError));
    }
    temporaryPath_.clear();
    committed_ = true;
}

void AudioFileWriter::Discard() {
    if (file_ != nullptr) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (spool_ >= 0) {
        ::close(spool_);
        spool_ = -1;
    }
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}
