// Writes a starting corpus for each fuzz target into FOLDER/<target>: coverage grows much faster
// from valid modules than from random bytes. Every module comes from the builder.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "builder/sample_songs.h"

namespace {

using Bytes = std::vector<uint8_t>;

bool WriteFile(const std::string& path, const Bytes& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

struct NamedModule {
    const char* name;
    Bytes bytes;
};

std::vector<NamedModule> SampleModules() {
    return {{"busy4.hvl", BuildModule(BusySong(4))},      {"busy16.hvl", BuildModule(BusySong(16))},
            {"ring.hvl", BuildModule(RingSong())},        {"noise.hvl", BuildModule(NoiseSong())},
            {"busy4.ahx", BuildModule(AsAhx(BusySong(4)))}, {"ring.ahx", BuildModule(AsAhx(RingSong()))}};
}

// Deterministic filler: the same seeds on every machine.
Bytes Filler(uint32_t count, uint32_t seed) {
    Bytes bytes(count);
    for (uint8_t& byte : bytes) {
        seed = seed * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(seed >> 16);
    }
    return bytes;
}

// The plug-in and library targets take their numbers from the end of the input and the module from
// the front; the last four bytes (least significant first) say how long the module is.
Bytes CallSeed(const Bytes& module, uint32_t seed) {
    Bytes input = module;
    const Bytes calls = Filler(96, seed);
    input.insert(input.end(), calls.begin(), calls.end());
    const uint32_t fileBytes = static_cast<uint32_t>(module.size());
    for (int shift = 0; shift < 32; shift += 8) input.push_back(static_cast<uint8_t>(fileBytes >> shift));
    return input;
}

bool WriteSeeds(const std::string& folder) {
    const std::string builtSong = folder + "/fuzz_built_song";
    const std::string pluginHost = folder + "/fuzz_plugin_host";
    const std::string libraryApi = folder + "/fuzz_library_api";
    for (const std::string& dir : {folder, builtSong, pluginHost, libraryApi}) mkdir(dir.c_str(), 0755);
    bool ok = true;
    uint32_t seed = 1;
    for (const NamedModule& module : SampleModules()) {
        ok = ok && WriteFile(pluginHost + "/" + module.name, CallSeed(module.bytes, seed++));
        ok = ok && WriteFile(libraryApi + "/" + module.name, CallSeed(module.bytes, seed++));
    }
    // The structure-aware target reads a description out of any bytes; a spread of lengths gives
    // songs from nearly empty to busy.
    for (uint32_t bytes : {16u, 64u, 256u, 1024u, 4096u}) {
        ok = ok && WriteFile(builtSong + "/filler" + std::to_string(bytes), Filler(bytes, bytes));
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 1;
    }
    if (!WriteSeeds(argv[1])) {
        std::fprintf(stderr, "make_fuzz_seeds: cannot write into %s\n", argv[1]);
        return 2;
    }
    return 0;
}
