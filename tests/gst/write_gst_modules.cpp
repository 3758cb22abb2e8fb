// Writes the modules the GStreamer tests open: `write_gst_modules FOLDER`.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "builder/module_builder.h"
#include "loader/effect_commands.h"

namespace {

// Three songs whose lengths are worked out by hand: tracks of 4 steps at the initial tempo of 6
// ticks per step and 50 ticks a second make 0.48 s per position. Eight positions, restart at 6:
// the main song plays 0-7 and comes back to 6 (3.84 s); song 1 plays 4-7 (1.92 s); song 2 plays 7
// and 6 before it comes back to 7 (0.96 s).
ModuleDescription ThreeSongs() {
    ModuleDescription d;
    d.name = "Three Songs";
    d.trackLength = 4;
    d.restartPosition = 6;
    d.subsongs = {4, 7};
    d.tracks.resize(2);
    d.tracks[1] = {BuiltStep{25, 1}, BuiltStep{}, BuiltStep{37, 1}};
    for (int8_t p = 0; p < 8; ++p) d.positions.push_back(BuiltPosition{{1, 1, 0, 0}, {p, 0, 0, 0}});
    BuiltInstrument square;
    square.name = "Square";
    square.perfList = {BuiltPerfEntry{1, 3}};
    d.instruments = {square};
    return d;
}

// Sets tempo 0 on its third step and stands still there for good: it is over after two steps of 6
// ticks, 0.24 s.
ModuleDescription StopsSong() {
    ModuleDescription d = ThreeSongs();
    d.name = "Stops";
    d.subsongs.clear();
    d.tracks[1][2] = BuiltStep{0, 0, kStepTempo, 0};
    return d;
}

bool Write(const std::filesystem::path& path, std::vector<uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: write_gst_modules FOLDER\n");
        return 1;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    std::vector<uint8_t> songs = BuildModule(ThreeSongs());
    // The header is whole, so it is recognised; the tracks end half-way.
    std::vector<uint8_t> damaged(songs.begin(), songs.begin() + static_cast<std::ptrdiff_t>(songs.size() / 2));
    const bool ok = Write(folder / "songs.hvl", songs) && Write(folder / "damaged.hvl", damaged) &&
                    Write(folder / "stops.hvl", BuildModule(StopsSong()));
    if (!ok) std::fprintf(stderr, "write_gst_modules: cannot write to %s\n", folder.string().c_str());
    return ok ? 0 : 2;
}
