// Writes the modules the web player's and the GStreamer element's tests open:
// `write_test_modules web|gst FOLDER`. Each is described in the comment above the function that
// makes it; the tests state what they expect of them.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "builder/module_builder.h"
#include "builder/sample_songs.h"
#include "loader/effect_commands.h"

namespace {

// Busy songs cut to 16-step tracks, so that each song plays for seconds rather than a minute.
ModuleDescription ShortBusySong(ModuleDescription d) {
    d.trackLength = 16;
    for (std::vector<BuiltStep>& track : d.tracks) {
        if (track.size() > d.trackLength) track.resize(d.trackLength);
    }
    return d;
}

// Six HVL channels at twice the usual replay rate with a wide stereo mode, and two subsongs.
ModuleDescription SongsHvl() {
    ModuleDescription d = ShortBusySong(BusySong(6));
    d.name = "Songs HVL";
    d.speedMultiplier = 2;
    d.stereoMode = 3;
    d.subsongs = {2, 5};
    return d;
}

// Four AHX channels four times faster than usual, with one subsong.
ModuleDescription SongsAhx() {
    ModuleDescription d = ShortBusySong(BusySong(4));
    d.format = ModuleFormat::kAhx;
    d.name = "Songs AHX";
    d.speedMultiplier = 4;
    d.subsongs = {3};
    return d;
}

// The same song with one channel (numbered from 1) playing the empty track 0 throughout. None of
// these songs has a command that reaches beyond its own channel, so what the others play is
// unchanged: the song with that channel muted.
ModuleDescription WithoutChannel(ModuleDescription d, unsigned channel) {
    for (BuiltPosition& position : d.positions) position.track[channel - 1] = 0;
    return d;
}

// Small enough to read in full: 4 channels, tracks of 4 steps, two positions, tempo 6.
//   track 1: row 0 C-3 (25) instrument 1, command C30; row 2 C-4 (37) instrument 2, second command C20
//   track 2: row 1 C-2 (13) instrument 2, command A0F; row 3 command F06 (tempo 6, as before)
//   position 0: tracks 1 2 0 1, transposes 0 +12 0 -5; position 1: tracks 2 1 1 0, transposes -12 0 +3 0
// Instruments "Lead" and "Bass"; a subsong starts at position 1.
ModuleDescription PatternHvl() {
    ModuleDescription d;
    d.name = "Pattern";
    d.trackLength = 4;
    d.subsongs = {1};
    d.tracks.resize(3);
    d.tracks[1] = {BuiltStep{25, 1, kStepVolume, 0x30, 0, 0}, BuiltStep{}, BuiltStep{37, 2, 0, 0, kStepVolume, 0x20}};
    d.tracks[2] = {BuiltStep{}, BuiltStep{13, 2, kStepVolumeSlide, 0x0F, 0, 0}, BuiltStep{},
                   BuiltStep{0, 0, kStepTempo, 6, 0, 0}};
    d.positions.resize(2);
    d.positions[0] = BuiltPosition{{1, 2, 0, 1}, {0, 12, 0, -5}};
    d.positions[1] = BuiltPosition{{2, 1, 1, 0}, {-12, 0, 3, 0}};
    BuiltInstrument lead;
    lead.name = "Lead";
    lead.perfList = {BuiltPerfEntry{1, 3}};
    BuiltInstrument bass = lead;
    bass.name = "Bass";
    bass.perfList = {BuiltPerfEntry{1, 2}};
    d.instruments = {lead, bass};
    return d;
}

// One position more than the formats allow.
ModuleDescription TooManyPositions() {
    ModuleDescription d;
    d.name = "Too long";
    d.tracks.resize(1);
    d.positions.resize(1001);
    return d;
}

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

bool Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

}  // namespace

bool WriteWebModules(const std::filesystem::path& folder) {
    return Write(folder / "songs.hvl", BuildModule(SongsHvl())) &&
           Write(folder / "songs-without-ch2.hvl", BuildModule(WithoutChannel(SongsHvl(), 2))) &&
           Write(folder / "songs.ahx", BuildModule(SongsAhx())) && Write(folder / "pattern.hvl", BuildModule(PatternHvl())) &&
           Write(folder / "too-many-positions.hvl", BuildModule(TooManyPositions()));
}

bool WriteGstModules(const std::filesystem::path& folder) {
    const std::vector<uint8_t> songs = BuildModule(ThreeSongs());
    // The header is whole, so it is recognised; the tracks end half-way.
    const std::vector<uint8_t> damaged(songs.begin(), songs.begin() + static_cast<std::ptrdiff_t>(songs.size() / 2));
    return Write(folder / "songs.hvl", songs) && Write(folder / "damaged.hvl", damaged) &&
           Write(folder / "stops.hvl", BuildModule(StopsSong()));
}

int main(int argc, char** argv) {
    const std::string set = argc == 3 ? argv[1] : "";
    if (set != "web" && set != "gst") {
        std::fprintf(stderr, "usage: write_test_modules web|gst FOLDER\n");
        return 1;
    }
    const std::filesystem::path folder = argv[2];
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    const bool ok = set == "web" ? WriteWebModules(folder) : WriteGstModules(folder);
    if (!ok) std::fprintf(stderr, "write_test_modules: cannot write to %s\n", folder.string().c_str());
    return ok ? 0 : 2;
}
