#include "common/module_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "common/demo_song.h"
#include "common/module_inputs.h"
#include "common/module_names.h"
#include "common/song_number.h"

namespace {

std::string StemOf(const std::string& path) {
    return path == kStandardInput ? "stdin" : ModuleStem(std::filesystem::path(path).filename().string());
}

// In pieces, so that pipes work too and a huge file is refused without reading all of it.
void ReadAll(std::istream& in, ModuleFile& module) {
    constexpr size_t kPieceBytes = 64 * 1024;
    while (in) {
        const size_t had = module.bytes.size();
        if (had > AHX_MAX_MODULE_BYTES) {
            throw FileError(module.displayName + ": " + RefusalReason(module.header, AHX_ERROR_TOO_LARGE));
        }
        module.bytes.resize(had + kPieceBytes);
        in.read(reinterpret_cast<char*>(module.bytes.data() + had), static_cast<std::streamsize>(kPieceBytes));
        module.bytes.resize(had + static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) throw FileError(module.displayName + ": cannot read: " + std::strerror(errno));
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
    if (path == kStandardInput) {
        ModuleFile module{path, "(standard input)", StemOf(path), {}, {}};
        ReadAll(std::cin, module);
        return module;
    }
    ModuleFile module{path, path, StemOf(path), {}, {}};
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        throw FileError(path + ": not found");
    }
    if (std::filesystem::is_directory(status)) {
        throw FileError(path + ": is a folder with no modules under it (*.ahx, *.thx, *.hvl, ahx.*, thx.*, hvl.*)");
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw FileError(path + ": cannot read: " + std::strerror(errno));
    }
    ReadAll(in, module);
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
    const uint32_t last = SongNumber(ahx_get_info(player)->subsongs);
    throw FileError(module.displayName + ": no such song " + std::to_string(SongNumber(song)) +
                    (last == 1 ? " (it has only song 1)" : " (songs are 1 to " + std::to_string(last) + ")"));
}
