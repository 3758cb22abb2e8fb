// "Pocket Jingle": a ten-second AHX song in C major, C | Am | F | G | C, four channels
// (drums, bass, arpeggio, lead), one command per step as the format allows.
#include <cstdio>
#include <cstdlib>

#include "instrument_kit.h"
#include "songs.h"
#include "track_text.h"

namespace {

using namespace kit;

constexpr uint8_t kTrackLength = 16;

enum Instrument : uint8_t { kKick = 1, kSnare, kBass, kArpMajor, kArpMinor, kLead };

TrackSteps Track(const char* text) {
    TrackSteps steps = ParseTrack(text);
    if (steps.size() != kTrackLength) {
        std::fprintf(stderr, "pocket jingle: a track has %zu steps, not %u:\n%s\n", steps.size(), kTrackLength, text);
        std::exit(1);
    }
    return steps;
}

std::vector<BuiltInstrument> Instruments() {
    std::vector<BuiltInstrument> list(6);

    BuiltInstrument& kick = list[kKick - 1];
    kick.name = "Kick";
    kick.waveLength = 4;
    kick.envelope = Envelope(1, 64, 10, 32, 0, 10, 0);
    kick.perfList = {Fixed(kNoise, 36), Fixed(kTriangle, 32), Fixed(kKeep, 27), Fixed(kKeep, 24), Fixed(kKeep, 22),
                     Fixed(kKeep, 20)};

    BuiltInstrument& snare = list[kSnare - 1];
    snare.name = "Snare";
    snare.volume = 56;
    snare.waveLength = 3;
    snare.envelope = Envelope(1, 64, 4, 36, 0, 12, 0);
    snare.hardCutFrames = 1;
    snare.perfList = {Fixed(kSquare, 30), Fixed(kNoise, 54), Fixed(kKeep, 50)};

    BuiltInstrument& bass = list[kBass - 1];
    bass.name = "Bass";
    bass.volume = 56;
    bass.waveLength = 5;
    bass.envelope = Envelope(1, 64, 10, 40, 10, 10, 24);
    bass.filterLowerLimit = 10;
    bass.filterUpperLimit = 30;
    bass.filterSpeed = 4;
    bass.perfList = {Relative(kSawtooth, 1, {kModulation, 0x10})};

    for (const Instrument number : {kArpMajor, kArpMinor}) {
        BuiltInstrument& arp = list[number - 1];
        arp.name = number == kArpMajor ? "Major chord" : "Minor chord";
        arp.volume = 34;
        arp.waveLength = 3;
        arp.envelope = Envelope(1, 48, 16, 32, 40, 20, 0);
        arp.squareLowerLimit = 0x08;
        arp.squareUpperLimit = 0x30;
        arp.squareSpeed = 2;
        arp.perfSpeed = 2;
        arp.perfList = {Relative(kSquare, 1, {kModulation, 0x01}), Relative(kKeep, number == kArpMajor ? 5 : 4),
                        Relative(kKeep, 8), Relative(kKeep, 13), Relative(kKeep, 1, {kJump, 1})};
    }

    BuiltInstrument& lead = list[kLead - 1];
    lead.name = "Lead";
    lead.volume = 48;
    lead.waveLength = 2;
    lead.envelope = Envelope(2, 64, 8, 48, 60, 30, 0);
    lead.vibratoDelay = 8;
    lead.vibratoSpeed = 5;
    lead.vibratoDepth = 2;
    lead.perfList = {Relative(kTriangle, 1)};
    return list;
}

}  // namespace

ModuleDescription PocketJingle() {
    ModuleDescription song;
    song.format = ModuleFormat::kAhx;
    song.version = 1;
    song.name = "Pocket Jingle";
    song.trackLength = kTrackLength;
    song.instruments = Instruments();
    song.tracks = {
        TrackSteps(kTrackLength),
        // 1: drums
        Track("C-3@1!F06 . . . C-3@2 . . C-3@1 C-3@1 . . . C-3@2 . C-3@2!C20 ."),
        // 2: last drums, ending on one kick
        Track("C-3@1 . . . C-3@2 . C-3@2 C-3@2 C-3@1 . . . . . . ."),
        // 3..6: bass for C, Am, F, G; 7: the closing C with a glide down
        Track("C-4@3 . . C-4@3 . . C-5@3 . C-4@3 . . C-4@3 C-5@3 . B-3!320 ."),
        Track("A-3@3 . . A-3@3 . . A-4@3 . A-3@3 . . A-3@3 A-4@3 . G-3!320 ."),
        Track("F-3@3 . . F-3@3 . . F-4@3 . F-3@3 . . F-3@3 F-4@3 . E-3!320 ."),
        Track("G-3@3 . . G-3@3 . . G-4@3 . G-3@3 . . G-3@3 G-4@3 . B-3!320 ."),
        Track("C-4@3 . . . . . . . C-3!304 . . . . . . ."),
        // 8..12: chords
        Track("C-4@4 . . . . . C-4@4 . . . . . C-4@4 . . ."),
        Track("A-3@5 . . . . . A-3@5 . . . . . A-3@5 . . ."),
        Track("F-3@4 . . . . . F-3@4 . . . . . F-3@4 . . ."),
        Track("G-3@4 . . . . . G-3@4 . . . . . G-3@4 . . ."),
        Track("C-4@4 . . . . . . . . . . . ---!A02 . . ."),
        // 13..17: melody
        Track("E-4@6 . . . G-4@6 . . . C-5@6 . . . B-4@6 . G-4@6 ."),
        Track("A-4@6 . . . . . . . E-4@6 . . . C-4@6 . . ."),
        Track("F-4@6 . . . A-4@6 . . . C-5@6 . . . A-4@6 . . ."),
        Track("B-4@6 . . . . . . . D-5!310 . . . . . . ."),
        Track("C-5@6 . . . . . . . . . . . ---!A03 . . ."),
    };
    auto position = [](uint8_t drums, uint8_t bass, uint8_t chords, uint8_t lead) {
        BuiltPosition p;
        p.track[0] = drums;
        p.track[1] = bass;
        p.track[2] = chords;
        p.track[3] = lead;
        return p;
    };
    song.positions = {position(1, 3, 8, 13), position(1, 4, 9, 14), position(1, 5, 10, 15), position(1, 6, 11, 16),
                      position(2, 7, 12, 17)};
    return song;
}
