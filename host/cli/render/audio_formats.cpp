#include "render/audio_formats.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>

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

int SndfileFormatOf(AudioFormat format) { return SpecOf(format).sndfileFormat; }
