#include "common/module_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/demo_song.h"

namespace {

std::string StemOf(const std::string& path) {
    std::string stem = std::filesystem::path(path).stem().string();
    return stem.empty() ? "song" : stem;
}

}  // namespace

std::string RefusalReason(const ahx_probe_info& header, ahx_result result) {
    char text[AHX_TEXT_BYTES];
    ahx_describe_refusal(result, &header, text, sizeof text);
    return text;
}

namespace {

// Rejects what the library would refuse on the header alone, for reasons we can name precisely.
void CheckHeader(ModuleFile& module) {
    const ahx_result result = ahx_probe(module.bytes.data(), module.bytes.size(), &module.header);
    if (result != AHX_OK) throw FileError(module.displayName + ": " + RefusalReason(module.header, result));
}

}  // namespace

ModuleFile ReadModuleFile(const std::string& path) {
    ModuleFile module = ReadModuleBytes(path);
    CheckHeader(module);
    return module;
}

ModuleFile ReadModuleBytes(const std::string& path) {
    ModuleFile module{path, path, StemOf(path), {}, {}};
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        throw FileError(path + ": not found");
    }
    if (std::filesystem::is_directory(status)) {
        throw FileError(path + ": is a folder, not a module");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw FileError(path + ": cannot read: " + std::strerror(errno));
    }
    // In pieces, so that pipes work too and a huge file is refused without reading all of it.
    constexpr size_t kPieceBytes = 64 * 1024;
    while (in) {
        const size_t had = module.bytes.size();
        if (had > AHX_MAX_MODULE_BYTES) {
            throw FileError(path + ": " + RefusalReason(module.header, AHX_ERROR_TOO_LARGE));
        }
        module.bytes.resize(had + kPieceBytes);
        in.read(reinterpret_cast<char*>(module.bytes.data() + had), static_cast<std::streamsize>(kPieceBytes));
        module.bytes.resize(had + static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw FileError(path + ": cannot read: " + std::strerror(errno));
    }
    return module;
}

ModuleFile BundledDemoSong() {
    ModuleFile module{"", "(demo song)", "demo", {}, {}};
    module.bytes.assign(kDemoSongBytes, kDemoSongBytes + kDemoSongByteCount);
    CheckHeader(module);
    return module;
}

bool IsAhx(const ModuleFile& module) { return module.header.format == AHX_FORMAT_AHX; }

std::string DescribeFormat(const ModuleFile& module) {
    const std::string version = std::to_string(module.header.version);
    return IsAhx(module) ? "AHX revision " + version : "HVL version " + version;
}

PlayerPtr OpenModule(const ModuleFile& module, int32_t stereoMode, uint32_t sampleRate) {
    const ahx_settings settings{sampleRate, stereoMode};
    ahx_player* opened = nullptr;
    const ahx_result result = ahx_open(module.bytes.data(), module.bytes.size(), &settings, &opened);
    if (result != AHX_OK) throw FileError(module.displayName + ": " + RefusalReason(module.header, result));
    return PlayerPtr(opened);
}

void SelectSong(const ModuleFile& module, ahx_player* player, uint32_t song) {
    if (ahx_select_song(player, song) == AHX_OK) return;
    const uint32_t last = ahx_get_info(player)->subsongs;
    throw FileError(module.displayName + ": no such subsong " + std::to_string(song) +
                    (last == 0 ? " (it has only song 0)" : " (songs are 0 to " + std::to_string(last) + ")"));
}
