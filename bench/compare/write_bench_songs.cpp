// Writes the modules the revision comparison plays into a folder: the same bytes for both builds.
#include <cstdio>
#include <string>
#include <vector>

#include "builder/sample_songs.h"

namespace {

bool Write(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_bench_songs FOLDER\n");
        return 1;
    }
    const std::string folder = argv[1];
    ModuleDescription fourVoices = BusySong(4);
    fourVoices.format = ModuleFormat::kAhx;
    const bool written = Write(folder + "/four_voices.ahx", BuildModule(fourVoices)) &&
                         Write(folder + "/worst_case.hvl", BuildModule(WorstCaseSong())) &&
                         Write(folder + "/largest.hvl", BuildModule(LargestSong(ModuleFormat::kHvl)));
    if (!written) std::fprintf(stderr, "write_bench_songs: cannot write into %s\n", argv[1]);
    return written ? 0 : 2;
}
