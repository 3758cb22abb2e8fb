// Sample songs, made with the module builder so the project ships no foreign files.
#include "builder/sample_songs.h"

#include <cstdint>

#include "loader/effect_commands.h"

namespace {

constexpr uint8_t kTriangle = 1, kSawtooth = 2, kSquare = 3, kNoise = 4;

BuiltInstrument Instrument(uint8_t waveform, uint8_t waveLength) {
    BuiltInstrument in;
    in.name = "Bench";
    in.waveLength = waveLength;
    in.envelope = BuiltEnvelope{2, 64, 10, 48, 30, 40, 0};
    in.vibratoDelay = 8;
    in.vibratoSpeed = 6;
    in.vibratoDepth = 3;
    in.filterLowerLimit = 10;
    in.filterUpperLimit = 50;
    in.filterSpeed = 4;
    in.squareLowerLimit = 8;
    in.squareUpperLimit = 120;
    in.squareSpeed = 1;
    BuiltPerfEntry start;
    start.waveform = waveform;
    start.note = 1;
    start.commands[0] = kPerfModulation;
    start.params[0] = 0x11;  // square and filter modulation on
    start.commands[1] = kPerfFilterPosition;
    start.params[1] = 20;
    in.perfList = {start};
    return in;
}

// Eight positions over `tracksUsed` tracks of 64 steps; channel c of position p plays track
// (p + c) % tracksUsed + 1 with a transpose, every fourth step a note with an instrument.
void FillSong(ModuleDescription* d, uint16_t channelCount, uint8_t instrumentCount) {
    d->channelCount = channelCount;
    d->trackLength = 64;
    const uint32_t tracksUsed = 8;
    d->tracks.resize(tracksUsed + 1);
    for (uint32_t t = 1; t <= tracksUsed; ++t) {
        for (uint32_t s = 0; s < 64; ++s) {
            BuiltStep step;
            if (s % 4 == 0) {
                step.note = static_cast<uint8_t>(13 + (t * 5 + s / 4 * 7) % 36);
                step.instrument = static_cast<uint8_t>(1 + (t + s / 4) % instrumentCount);
            }
            d->tracks[t].push_back(step);
        }
    }
    d->positions.resize(8);
    for (uint32_t p = 0; p < 8; ++p) {
        for (uint32_t c = 0; c < channelCount; ++c) {
            d->positions[p].track[c] = static_cast<uint8_t>((p + c) % tracksUsed + 1);
            d->positions[p].transpose[c] = static_cast<int8_t>(c % 3 == 0 ? 0 : 12);
        }
    }
}

}  // namespace

ModuleDescription BusySong(uint16_t channelCount) {
    ModuleDescription d;
    d.name = "Busy";
    d.mixGainPercent = static_cast<uint8_t>(200 / channelCount);  // keeps the busiest songs mostly unclipped
    d.instruments = {Instrument(kTriangle, 3), Instrument(kSawtooth, 4), Instrument(kSquare, 5),
                     Instrument(kTriangle, 1), Instrument(kSquare, 2)};
    FillSong(&d, channelCount, static_cast<uint8_t>(d.instruments.size()));
    return d;
}

ModuleDescription RingSong() {
    ModuleDescription d;
    d.name = "Ring";
    for (const uint8_t ring : {kPerfRingTriangle, kPerfRingSawtooth}) {
        for (const uint8_t waveform : {kTriangle, kSawtooth, kSquare}) {
            BuiltInstrument in = Instrument(waveform, 4);
            in.perfList[0].commands[1] = ring;
            in.perfList[0].params[1] = 0x8D;  // ring note relative: an octave above the voice
            d.instruments.push_back(in);
        }
    }
    FillSong(&d, 4, static_cast<uint8_t>(d.instruments.size()));
    return d;
}

ModuleDescription WorstCaseSong() {
    ModuleDescription d;
    d.name = "Worst case";
    d.speedMultiplier = 4;
    d.mixGainPercent = 200 / 16;
    for (const uint8_t ring : {kPerfRingTriangle, kPerfRingSawtooth}) {
        for (const uint8_t waveLength : {5, 3, 1}) {
            BuiltInstrument in = Instrument(kSquare, waveLength);
            in.perfList[0].commands[1] = ring;
            in.perfList[0].params[1] = 0x8D;  // ring note relative: an octave above the voice
            d.instruments.push_back(in);
        }
    }
    FillSong(&d, 16, static_cast<uint8_t>(d.instruments.size()));
    return d;
}

ModuleDescription NoiseSong() {
    ModuleDescription d;
    d.name = "Noise";
    d.instruments = {Instrument(kNoise, 5), Instrument(kNoise, 2)};
    FillSong(&d, 4, static_cast<uint8_t>(d.instruments.size()));
    return d;
}

ModuleDescription LargestSong(ModuleFormat format) {
    ModuleDescription d;
    d.format = format;
    d.name = "Largest";
    d.subsongs.assign(255, 0);
    BuiltInstrument in = Instrument(kSawtooth, 3);
    in.perfList.resize(255, in.perfList[0]);
    d.instruments.assign(63, in);
    FillSong(&d, format == ModuleFormat::kAhx ? 4 : 16, 63);
    d.tracks.resize(256, d.tracks[1]);
    const ModuleDescription pattern = d;
    d.positions.resize(1000);
    for (size_t p = 8; p < d.positions.size(); ++p) d.positions[p] = pattern.positions[p % 8];
    return d;
}

ModuleDescription CountedSong(ModuleFormat format, uint16_t positions, uint32_t voices) {
    std::vector<std::vector<BuiltStep>> tracks(2, std::vector<BuiltStep>(4));
    tracks[1][0] = {.note = 37, .instrument = 1};
    std::vector<BuiltPosition> order(positions);
    for (uint16_t i = 0; i < positions; ++i) {
        for (uint32_t c = 0; c < voices; ++c) {
            order[i].track[c] = 1;
            order[i].transpose[c] = static_cast<int8_t>(i + 7 * c);
        }
    }
    BuiltInstrument tone{.name = "tone", .envelope = {.sustainFrames = 255}, .perfList = {{.waveform = 1}}};
    return {.format = format, .name = "counted", .trackLength = 4, .subsongs = {},
            .positions = order, .tracks = tracks, .instruments = {tone}};
}

ModuleDescription WithCommand(ModuleDescription song, size_t position, size_t step, uint8_t command, uint8_t param) {
    song.tracks.push_back(song.tracks[1]);
    song.tracks.back()[step].command1 = command;
    song.tracks.back()[step].param1 = param;
    song.positions[position].track[0] = static_cast<uint8_t>(song.tracks.size() - 1);
    return song;
}

ModuleDescription AsAhx(ModuleDescription song) {
    song.format = ModuleFormat::kAhx;
    return song;
}
