// Writes a few small modules of both formats into a folder, as a starting corpus for the fuzzers:
// coverage grows much faster from valid files than from random bytes.
#include <cstdio>
#include <string>
#include <vector>

#include "builder/module_builder.h"

namespace {

BuiltInstrument SynthInstrument(uint8_t firstWaveform, uint8_t command, uint8_t param) {
    BuiltInstrument instrument;
    instrument.name = "seed";
    instrument.waveLength = 4;
    instrument.envelope = {2, 64, 4, 40, 8, 6, 0};
    instrument.squareLowerLimit = 0x10;
    instrument.squareUpperLimit = 0x30;
    instrument.squareSpeed = 2;
    instrument.filterLowerLimit = 10;
    instrument.filterUpperLimit = 50;
    instrument.filterSpeed = 1;
    instrument.vibratoDelay = 4;
    instrument.vibratoSpeed = 6;
    instrument.vibratoDepth = 3;
    instrument.hardCutFrames = 2;
    instrument.hardCutRelease = 1;
    BuiltPerfEntry first;
    first.waveform = firstWaveform;
    first.note = 1;
    first.commands[0] = command;
    first.params[0] = param;
    BuiltPerfEntry second;
    second.note = 13;
    second.commands[0] = 4;
    second.params[0] = 0x11;
    BuiltPerfEntry loop;
    loop.commands[0] = 5;
    loop.params[0] = 0;
    instrument.perfList = {first, second, loop};
    return instrument;
}

ModuleDescription SeedSong(ModuleFormat format, uint16_t channelCount) {
    ModuleDescription song;
    song.format = format;
    song.name = "fuzz seed";
    song.channelCount = channelCount;
    song.trackLength = 16;
    song.subsongs = {1};
    song.instruments = {SynthInstrument(1, 0, 20), SynthInstrument(3, 7, 0x81), SynthInstrument(4, 12, 0x30)};
    const uint8_t commands[] = {0x1, 0x2, 0x3, 0x4, 0x5, 0xA, 0xC, 0xE, 0xF, 0x9};
    std::vector<BuiltStep> melody(16);
    for (uint8_t i = 0; i < 16; ++i) {
        melody[i].note = static_cast<uint8_t>(13 + (i * 5) % 24);
        melody[i].instrument = static_cast<uint8_t>(1 + i % 3);
        melody[i].command1 = commands[i % 10];
        melody[i].param1 = static_cast<uint8_t>(i * 17);
    }
    melody[15].command1 = 0xD;
    melody[15].param1 = 0x04;
    song.tracks = {{}, melody};
    BuiltPosition position;
    for (uint16_t channel = 0; channel < channelCount; ++channel) {
        position.track[channel] = 1;
        position.transpose[channel] = static_cast<int8_t>(channel * 3 - 6);
    }
    song.positions = {position, position};
    return song;
}

bool WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_fuzz_seeds FOLDER\n");
        return 1;
    }
    const std::string folder = argv[1];
    const bool ok = WriteFile(folder + "/four.hvl", BuildModule(SeedSong(ModuleFormat::Hvl, 4))) &&
                    WriteFile(folder + "/sixteen.hvl", BuildModule(SeedSong(ModuleFormat::Hvl, 16))) &&
                    WriteFile(folder + "/four.ahx", BuildModule(SeedSong(ModuleFormat::Ahx, 4)));
    if (!ok) std::fprintf(stderr, "make_fuzz_seeds: cannot write into %s\n", folder.c_str());
    return ok ? 0 : 2;
}
