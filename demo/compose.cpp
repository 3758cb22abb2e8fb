// Writes the demo songs from their sources: `demo_compose FOLDER` (re)writes FOLDER/demo.hvl and
// FOLDER/jingle.ahx. A file whose bytes did not change is left alone, so that builds depending on
// it do not rerun.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "songs.h"

namespace {

bool WriteIfChanged(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> old((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in && old == bytes) return true;
    in.close();
    const std::filesystem::path temporary = path.string() + ".tmp";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    std::error_code error;
    if (!out) return false;
    std::filesystem::rename(temporary, path, error);
    if (error) return false;
    std::printf("wrote %s (%zu bytes)\n", path.string().c_str(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: demo_compose FOLDER\n");
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    const bool ok = WriteIfChanged(folder / "demo.hvl", BuildModule(HarbourLights())) &&
                    WriteIfChanged(folder / "jingle.ahx", BuildModule(PocketJingle()));
    if (!ok) {
        std::fprintf(stderr, "demo_compose: cannot write into %s\n", folder.string().c_str());
        return 2;
    }
    return 0;
}
