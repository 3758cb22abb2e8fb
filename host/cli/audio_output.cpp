#include "audio_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <utility>
#include <vector>

#include "module_file.h"

namespace {

std::string LowerCase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return lower;
}

struct FormatSpec {
    AudioFormat format;
    std::string_view name;       // for --format
    std::string_view extension;  // what outputs are named with
    std::string_view otherName;  // a second extension, or empty
    std::string_view label;      // for messages
    int sndfileFormat;
    bool lossy;
};

constexpr FormatSpec kFormats[] = {
    {AudioFormat::Wav, "wav", ".wav", "", "WAV", SF_FORMAT_WAV | SF_FORMAT_PCM_16, false},
    {AudioFormat::Flac, "flac", ".flac", "", "FLAC", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false},
    {AudioFormat::Ogg, "ogg", ".ogg", "oga", "Ogg Vorbis", SF_FORMAT_OGG | SF_FORMAT_VORBIS, true},
    {AudioFormat::Opus, "opus", ".opus", "", "Opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, true},
    {AudioFormat::Mp3, "mp3", ".mp3", "", "MP3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, true},
    {AudioFormat::Aiff, "aiff", ".aiff", "aif", "AIFF", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, false},
    {AudioFormat::Raw, "raw", ".raw", "", "raw PCM", SF_FORMAT_RAW | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE, false},
};

const FormatSpec& SpecOf(AudioFormat format) {
    for (const FormatSpec& spec : kFormats) {
        if (spec.format == format) return spec;
    }
    return kFormats[0];
}

// A file that keeps nothing, for asking libsndfile whether it could write a format without a file.
struct NullFile {
    sf_count_t position = 0;
    sf_count_t length = 0;
};

SF_VIRTUAL_IO NullFileIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* data) { return static_cast<NullFile*>(data)->length; };
    io.seek = [](sf_count_t offset, int whence, void* data) {
        NullFile& file = *static_cast<NullFile*>(data);
        const sf_count_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? file.position : file.length;
        file.position = base + offset;
        return file.position;
    };
    io.read = [](void*, sf_count_t, void*) { return sf_count_t{0}; };
    io.write = [](const void*, sf_count_t count, void* data) {
        NullFile& file = *static_cast<NullFile*>(data);
        file.position += count;
        file.length = std::max(file.length, file.position);
        return count;
    };
    io.tell = [](void* data) { return static_cast<NullFile*>(data)->position; };
    return io;
}

// Raw samples on standard output are little-endian whatever the machine, as `-t s16 -L` readers expect.
void WriteLittleEndian(const int16_t* samples, size_t sampleCount) {
    std::vector<uint8_t> bytes(sampleCount * 2);
    for (size_t i = 0; i < sampleCount; ++i) {
        const auto value = static_cast<uint16_t>(samples[i]);
        bytes[2 * i] = static_cast<uint8_t>(value & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(value >> 8);
    }
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) throw FileError(std::string("standard output: cannot write: ") + std::strerror(errno));
        written += static_cast<size_t>(n);
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

std::optional<AudioFormat> AudioFormatFromName(std::string_view name) {
    const std::string lower = LowerCase(name);
    for (const FormatSpec& spec : kFormats) {
        if (lower == spec.name) return spec.format;
    }
    return std::nullopt;
}

std::optional<AudioFormat> AudioFormatFromExtension(std::string_view fileName) {
    const std::string extension = LowerCase(std::filesystem::path(fileName).extension().string());
    if (extension.size() < 2) return std::nullopt;
    const std::string_view name = std::string_view(extension).substr(1);
    for (const FormatSpec& spec : kFormats) {
        if (name == spec.name || (!spec.otherName.empty() && name == spec.otherName)) return spec.format;
    }
    return std::nullopt;
}

std::string_view ExtensionOf(AudioFormat format) {
    return SpecOf(format).extension;
}

std::string_view LabelOf(AudioFormat format) { return SpecOf(format).label; }

std::string FormatNameList() {
    std::string list;
    const size_t count = std::size(kFormats);
    for (size_t i = 0; i < count; ++i) {
        list += std::string(kFormats[i].name) + (i + 2 < count ? ", " : i + 1 < count ? " or " : "");
    }
    return list;
}

bool IsLossy(AudioFormat format) { return SpecOf(format).lossy; }

std::string WhyNotWritable(AudioFormat format, uint32_t sampleRate) {
    const FormatSpec& spec = SpecOf(format);
    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = 2;
    info.format = spec.sndfileFormat;
    const std::string label(spec.label);
    if (sf_format_check(&info) == SF_FALSE) return "this libsndfile cannot write " + label;
    // The format check knows nothing of rates an encoder refuses; opening a stream that keeps nothing does.
    NullFile nowhere;
    SF_VIRTUAL_IO io = NullFileIo();
    SNDFILE* probe = sf_open_virtual(&io, SFM_WRITE, &info, &nowhere);
    if (probe == nullptr) {
        std::string reason = sf_strerror(nullptr);
        const std::string_view prefix = "Error : ";
        if (reason.starts_with(prefix)) reason.erase(0, prefix.size());
        return "cannot write " + label + " at " + std::to_string(sampleRate) + " Hz: " + reason;
    }
    sf_close(probe);
    return "";
}

AudioOutput::AudioOutput(std::string path, AudioFormat format, uint32_t sampleRate, bool overwrite,
                         const AudioTags& tags, std::optional<int> quality)
    : path_(std::move(path)), overwrite_(overwrite), toStandardOutput_(path_ == kStandardOutput) {
    if (toStandardOutput_) return;
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

    SF_INFO info{};
    info.samplerate = static_cast<int>(sampleRate);
    info.channels = 2;
    info.format = SpecOf(format).sndfileFormat;
    file_ = sf_open_fd(descriptor, SFM_WRITE, &info, SF_TRUE);
    if (file_ == nullptr) {
        const std::string reason = sf_strerror(nullptr);
        ::close(descriptor);
        Discard();
        throw FileError(path_ + ": cannot write: " + reason);
    }
    if (quality && IsLossy(format)) {
        double level = static_cast<double>(*quality) / kHighestQuality;
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

AudioOutput::~AudioOutput() {
    if (!committed_) Discard();
}

void AudioOutput::Write(const int16_t* interleaved, size_t frameCount) {
    if (toStandardOutput_) {
        WriteLittleEndian(interleaved, frameCount * 2);
        return;
    }
    const auto wanted = static_cast<sf_count_t>(frameCount);
    if (sf_writef_short(file_, interleaved, wanted) != wanted) {
        throw FileError(path_ + ": cannot write: " + sf_strerror(file_));
    }
}

void AudioOutput::Commit() {
    if (toStandardOutput_) {
        committed_ = true;
        return;
    }
    sf_write_sync(file_);
    const int closeError = sf_close(file_);
    file_ = nullptr;
    if (closeError != 0) {
        throw FileError(path_ + ": cannot write: " + sf_error_number(closeError));
    }
    if (!RenameIntoPlace(temporaryPath_, path_, overwrite_)) {
        const int renameError = errno;
        if (renameError == EEXIST) throw FileError(path_ + ": already exists (use --force to overwrite)");
        throw FileError(path_ + ": cannot write: " + std::strerror(renameError));
    }
    temporaryPath_.clear();
    committed_ = true;
}

void AudioOutput::Discard() {
    if (file_ != nullptr) {
        sf_close(file_);
        file_ = nullptr;
    }
    if (!temporaryPath_.empty()) {
        ::unlink(temporaryPath_.c_str());
        temporaryPath_.clear();
    }
}
