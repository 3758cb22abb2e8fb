// Writes the busy sample songs in both formats into a folder, as a starting corpus for the fuzzers:
// coverage grows much faster from valid files than from random bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "builder/sample_songs.h"

namespace {

bool WriteFile(const std::string& path, const ModuleDescription& description) {
    const std::vector<uint8_t> bytes = BuildModule(description);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

ModuleDescription AsAhx(ModuleDescription description) {
    description.format = ModuleFormat::kAhx;
    return description;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 1;
    }
    const std::string folder = argv[1];
    const bool ok = WriteFile(folder + "/busy4.hvl", BusySong(4)) && WriteFile(folder + "/busy16.hvl", BusySong(16)) &&
                    WriteFile(folder + "/ring.hvl", RingSong()) && WriteFile(folder + "/noise.hvl", NoiseSong()) &&
                    WriteFile(folder + "/busy4.ahx", AsAhx(BusySong(4))) &&
                    WriteFile(folder + "/ring.ahx", AsAhx(RingSong()));
    if (!ok) std::fprintf(stderr, "make_fuzz_seeds: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 2;
}
