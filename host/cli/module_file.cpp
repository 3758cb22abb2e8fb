#include "module_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "demo_song.h"

namespace {

// Real modules are a few hundred kilobytes at most; refusing huge files keeps a mistyped
// path (a disk image, a video) from being read into memory.
constexpr size_t kMagicBytes = 3;

bool HasMagic(const std::vector<uint8_t>& bytes, std::string_view magic) {
    return bytes.size() >= kMagicBytes && std::memcmp(bytes.data(), magic.data(), kMagicBytes) == 0;
}

std::string StemOf(const std::string& path) {
    std::string stem = std::filesystem::path(path).stem().string();
    return stem.empty() ? "song" : stem;
}

// Rejects what LoadTune would refuse for reasons we can name precisely.
void CheckHeader(const ModuleFile& module) {
    const auto& bytes = module.bytes;
    const bool hvl = HasMagic(bytes, "HVL");
    if (!hvl && !HasMagic(bytes, "THX")) {
        throw FileError(module.displayName + ": not a module (no THX or HVL header)");
    }
    if (bytes.size() <= kMagicBytes) {
        throw FileError(module.displayName + ": truncated or damaged");
    }
    const uint8_t version = bytes[kMagicBytes];
    if (hvl && version > kHighestHvlVersion) {
        throw FileError(module.displayName + ": unsupported HVL version " + std::to_string(version));
    }
    if (!hvl && version > kHighestAhxRevision) {
        throw FileError(module.displayName + ": unsupported AHX revision " + std::to_string(version));
    }
}

}  // namespace

ModuleFile ReadModuleFile(const std::string& path) {
    ModuleFile module{path, path, StemOf(path), {}};
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
        if (had > kMaxModuleBytes) {
            throw FileError(path + ": not a module (larger than 16 MiB)");
        }
        module.bytes.resize(had + kPieceBytes);
        in.read(reinterpret_cast<char*>(module.bytes.data() + had), static_cast<std::streamsize>(kPieceBytes));
        module.bytes.resize(had + static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
        throw FileError(path + ": cannot read: " + std::strerror(errno));
    }
    if (module.bytes.size() > kMaxModuleBytes) {
        throw FileError(path + ": not a module (larger than 16 MiB)");
    }
    CheckHeader(module);
    return module;
}

ModuleFile BundledDemoSong() {
    ModuleFile module{"", "(demo song)", "demo", {}};
    module.bytes.assign(kDemoSongBytes, kDemoSongBytes + kDemoSongByteCount);
    return module;
}

bool IsAhx(const ModuleFile& module) { return HasMagic(module.bytes, "THX"); }

std::string DescribeFormat(const ModuleFile& module) {
    const std::string version = std::to_string(module.bytes.size() > kMagicBytes ? module.bytes[kMagicBytes] : 0);
    return IsAhx(module) ? "AHX revision " + version : "HVL version " + version;
}

TunePtr LoadSong(const ModuleFile& module, uint32_t song, int32_t stereoMode, uint32_t mixFrequency) {
    TunePtr tune(LoadTune(module.bytes.data(), static_cast<uint32_t>(module.bytes.size()), stereoMode, mixFrequency));
    if (!tune) {
        throw FileError(module.displayName + ": truncated or damaged");
    }
    if (StartSubsong(tune.get(), song) == 0) {
        const uint32_t last = tune->subsongCount;
        throw FileError(module.displayName + ": no such subsong " + std::to_string(song) +
                        (last == 0 ? " (it has only song 0)" : " (songs are 0 to " + std::to_string(last) + ")"));
    }
    return tune;
}
