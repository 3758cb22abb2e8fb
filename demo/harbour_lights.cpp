// "Harbour Lights", the bundled demo: A minor, Am | F | C | G, 125 beats a minute (tempo 6 at
// 50 Hz, four steps a beat). 14 positions of 32 steps (two bars each), about 54 seconds; the
// song loops back to position 2.
//
// Channels: 0 kick and snare, 1 bass, 2 arpeggios, 3 lead, 4 hi-hats, 5 ring-modulated pad,
// 6 echo of the lead, 7 risers and toms. Every drum and chord lives in a performance list.
#include <cstdio>
#include <cstdlib>

#include "instrument_kit.h"
#include "songs.h"
#include "track_text.h"

namespace {

using namespace kit;

constexpr uint8_t kTrackLength = 32;
constexpr uint16_t kChannels = 8;

enum Instrument : uint8_t {
    kKick = 1, kSnare, kClosedHat, kOpenHat, kBass, kArpMinor, kArpMajor, kLead, kRingPad, kEcho, kRiser, kTom
};

enum TrackNumber : uint8_t {
    kSilence = 0,
    kDrumsIntro, kDrums, kDrumsFill,
    kHats,
    kBassAmF, kBassCG,
    kArpAmF, kArpCG,
    kPadAmF, kPadCG,
    kLead1, kLead2, kLead3, kLead4,
    kEcho1, kEcho2, kEcho3, kEcho4,
    kRise, kToms,
    kBassBreak1, kBassBreak2,
    kLeadBreak1, kLeadBreak2,
    kHatsSparse,
    kTrackCount
};

TrackSteps Track(const char* text) {
    TrackSteps steps = ParseTrack(text);
    if (steps.size() != kTrackLength) {
        std::fprintf(stderr, "harbour lights: a track has %zu steps, not %u:\n%s\n", steps.size(), kTrackLength, text);
        std::exit(1);
    }
    return steps;
}

// The echo channel replays the lead three steps later on a softer, filtered instrument.
TrackSteps EchoOf(const TrackSteps& lead) {
    constexpr size_t kDelaySteps = 3;
    TrackSteps echo(lead.size());
    for (size_t i = 0; i + kDelaySteps < lead.size(); ++i) {
        BuiltStep step = lead[i];
        if (step.instrument != 0) step.instrument = kEcho;
        // Keep the glides; vibrato-depth, delay and volume commands belong to the lead alone.
        if (step.command1 != 0x3) step.command1 = step.param1 = 0;
        step.command2 = step.param2 = 0;
        echo[i + kDelaySteps] = step;
    }
    return echo;
}

std::vector<BuiltInstrument> Instruments() {
    std::vector<BuiltInstrument> list(12);

    BuiltInstrument& kick = list[kKick - 1];
    kick.name = "Kick: noise click, falling triangle";
    kick.waveLength = 4;
    kick.envelope = Envelope(1, 64, 10, 32, 0, 10, 0);
    kick.perfList = {Fixed(kNoise, 36), Fixed(kTriangle, 34), Fixed(kKeep, 30), Fixed(kKeep, 27), Fixed(kKeep, 25),
                     Fixed(kKeep, 23), Fixed(kKeep, 22), Fixed(kKeep, 21), Fixed(kKeep, 20)};

    BuiltInstrument& snare = list[kSnare - 1];
    snare.name = "Snare: square body, noise tail, hard cut";
    snare.volume = 54;
    snare.waveLength = 3;
    snare.envelope = Envelope(1, 64, 4, 40, 0, 14, 0);
    snare.hardCutFrames = 1;
    snare.hardCutRelease = 1;
    snare.perfList = {Fixed(kSquare, 28), Fixed(kNoise, 52), Fixed(kKeep, 50), Fixed(kKeep, 48)};

    BuiltInstrument& closedHat = list[kClosedHat - 1];
    closedHat.name = "Closed hat: high-passed noise, hard cut";
    closedHat.volume = 34;
    closedHat.waveLength = 2;
    closedHat.envelope = Envelope(1, 48, 4, 10, 0, 3, 0);
    closedHat.hardCutFrames = 1;
    closedHat.perfList = {Fixed(kNoise, 60, {kFilter, 52})};

    BuiltInstrument& openHat = list[kOpenHat - 1];
    openHat.name = "Open hat: hard cut with release";
    openHat.volume = 30;
    openHat.waveLength = 2;
    openHat.envelope = Envelope(1, 48, 12, 20, 0, 8, 0);
    openHat.hardCutFrames = 2;
    openHat.hardCutRelease = 1;
    openHat.perfList = {Fixed(kNoise, 58, {kFilter, 46})};

    BuiltInstrument& bass = list[kBass - 1];
    bass.name = "Bass: sawtooth, closing low-pass sweep";
    bass.volume = 52;
    bass.waveLength = 5;
    bass.envelope = Envelope(1, 64, 8, 48, 20, 10, 32);
    bass.filterLowerLimit = 8;
    bass.filterUpperLimit = 28;
    bass.filterSpeed = 4;
    bass.perfList = {Relative(kSawtooth, 1, {kModulation, 0x10})};

    // Chords are broken into 2-tick notes; square-width modulation keeps them moving.
    for (const Instrument number : {kArpMinor, kArpMajor}) {
        BuiltInstrument& arp = list[number - 1];
        const uint8_t third = number == kArpMinor ? 4 : 5;
        arp.name = number == kArpMinor ? "Arpeggio, minor: 0 3 7 12" : "Arpeggio, major: 0 4 7 12";
        arp.volume = 30;
        arp.waveLength = 3;
        arp.envelope = Envelope(1, 48, 20, 32, 30, 20, 0);
        arp.squareLowerLimit = 0x08;
        arp.squareUpperLimit = 0x38;
        arp.squareSpeed = 2;
        arp.perfSpeed = 2;
        arp.perfList = {Relative(kSquare, 1, {kModulation, 0x01}), Relative(kKeep, 1), Relative(kKeep, third),
                        Relative(kKeep, 8), Relative(kKeep, 13, {kJump, 1})};
    }

    BuiltInstrument& lead = list[kLead - 1];
    lead.name = "Lead: pulse-width square with vibrato";
    lead.volume = 44;
    lead.waveLength = 3;
    lead.envelope = Envelope(2, 64, 10, 44, 160, 40, 0);
    lead.squareLowerLimit = 0x10;
    lead.squareUpperLimit = 0x30;
    lead.squareSpeed = 4;
    lead.vibratoDelay = 10;
    lead.vibratoSpeed = 6;
    lead.vibratoDepth = 2;
    lead.perfList = {Relative(kSquare, 1, {kSquarePos, 0x10}, {kModulation, 0x01})};

    // A triangle multiplied by a triangle a fifth above: a bell-like pad, panned slowly around.
    BuiltInstrument& pad = list[kRingPad - 1];
    pad.name = "Pad: ring-modulated triangle, auto-pan";
    pad.volume = 34;
    pad.waveLength = 3;
    pad.envelope = Envelope(16, 40, 20, 30, 120, 30, 0);
    pad.perfSpeed = 8;
    pad.perfList = {Relative(kTriangle, 1, {kRingTriangle, 0x88}), Relative(kKeep, 0, {kPan, 0xC0}),
                    Relative(kKeep, 0, {kPan, 0x00}), Relative(kKeep, 0, {kPan, 0x40}),
                    Relative(kKeep, 0, {kPan, 0x00}, {kJump, 1})};

    BuiltInstrument& echo = list[kEcho - 1];
    echo.name = "Echo: low-passed sawtooth";
    echo.volume = 24;
    echo.waveLength = 3;
    echo.envelope = Envelope(2, 64, 10, 44, 80, 40, 0);
    echo.vibratoDelay = 10;
    echo.vibratoSpeed = 6;
    echo.vibratoDepth = 2;
    echo.perfList = {Relative(kSawtooth, 1, {kFilter, 20})};

    // Pitch rises through the performance slide while a high-pass filter sweeps.
    BuiltInstrument& riser = list[kRiser - 1];
    riser.name = "Riser: sliding sawtooth, high-pass sweep";
    riser.volume = 30;
    riser.waveLength = 2;
    riser.envelope = Envelope(60, 40, 30, 40, 10, 5, 0);
    riser.filterLowerLimit = 34;
    riser.filterUpperLimit = 60;
    riser.filterSpeed = 5;
    riser.perfList = {Relative(kSawtooth, 1, {kModulation, 0x10}), Relative(kKeep, 0, {kSlideUp, 7}, {kJump, 1})};

    BuiltInstrument& tom = list[kTom - 1];
    tom.name = "Tom: triangle sliding down";
    tom.volume = 50;
    tom.waveLength = 4;
    tom.envelope = Envelope(1, 64, 12, 0, 0, 1, 0);
    tom.perfList = {Relative(kTriangle, 1), Relative(kKeep, 0, {kSlideDown, 6}, {kJump, 1})};
    return list;
}

std::vector<TrackSteps> Tracks() {
    std::vector<TrackSteps> t(kTrackCount, TrackSteps(kTrackLength));

    // Tempo 6 and a centred drum channel, set on the song's first step.
    t[kDrumsIntro] = Track(R"(
        C-3@1!F06!700 . . . C-3@1 . . . C-3@1 . . . C-3@1 . . .
        C-3@1 . . . C-3@1 . . . C-3@1 . . . C-3@1 . C-3@1 .)");
    t[kDrums] = Track(R"(
        C-3@1 . . . C-3@2 . . C-3@1 C-3@1 . C-3@1 . C-3@2 . . .
        C-3@1 . . . C-3@2 . . C-3@1 C-3@1 . C-3@1 . C-3@2 . C-3@2!C20 .)");
    t[kDrumsFill] = Track(R"(
        C-3@1 . . . C-3@2 . . C-3@1 C-3@1 . C-3@1 . C-3@2 . . .
        C-3@1 . C-3@2!C18 . C-3@2!C20 . C-3@2!C28 . C-3@2!C30 C-3@2!C30 C-3@2!C38 C-3@2!C38
        C-3@2 C-3@2 C-3@2 C-3@2)");

    // Closed hats to the left, open hats to the right; a few closed ones cut short.
    t[kHats] = Track(R"(
        C-3@3!7E0 . C-3@3!7E0!C18 . C-3@3!7E0 . C-3@4!720 . C-3@3!7E0 . C-3@3!7E0!EC1 . C-3@3!7E0 . C-3@4!720 .
        C-3@3!7E0 . C-3@3!7E0!C18 . C-3@3!7E0 . C-3@4!720 . C-3@3!7E0 . C-3@3!7E0!EC1 . C-3@4!720 C-3@3!7E0 C-3@4!720 .)");
    t[kHatsSparse] = Track(R"(
        . . . . . . C-3@4!720 . . . . . . . C-3@4!720 .
        . . . . . . C-3@4!720 . . . . . C-3@3!7E0 . C-3@4!720 .)");

    // Bass: root, octave jumps, and tone-portamento glides into the next chord.
    t[kBassAmF] = Track(R"(
        A-3@5!700 . . A-3@5 . . A-4@5 . A-3@5 . . A-3@5 A-4@5 . G-3!320 .
        F-3@5 . . F-3@5 . . F-4@5 . F-3@5 . . F-3@5 F-4@5 . E-3!320 .)");
    t[kBassCG] = Track(R"(
        C-4@5 . . C-4@5 . . C-5@5 . C-4@5 . . C-4@5 C-5@5 . B-3!320 .
        G-3@5 . . G-3@5 . . G-4@5 . G-3@5 . . G-3@5 G-4@5 . A-4!306 .)");
    t[kBassBreak1] = Track(R"(
        A-3@5 . . . . . . . . . . . . . . .
        F-3@5 . . . . . . . . . . . E-3!310 . . .)");
    t[kBassBreak2] = Track(R"(
        C-4@5 . . . . . . . . . . . . . . .
        G-3@5 . . . . . . . G-3!102 . . . . . . .)");

    t[kArpAmF] = Track(R"(
        A-3@6 . . . . . A-3@6 . . . . . A-3@6 . . .
        F-3@7 . . . . . F-3@7 . . . . . F-3@7 . . .)");
    t[kArpCG] = Track(R"(
        C-4@7 . . . . . C-4@7 . . . . . C-4@7 . . .
        G-3@7 . . . . . G-3@7 . . . . . G-3@7 . . .)");

    t[kPadAmF] = Track(R"(
        A-3@9 . . . . . . . . . . . . . . .
        F-3@9 . . . . . . . . . . . . . . .)");
    t[kPadCG] = Track(R"(
        C-4@9 . . . . . . . . . . . . . . .
        G-3@9 . . . . . . . . . . . . . . .)");

    // The tune. Glides (3xx), deeper vibrato on long notes (E4x), one late note (ED2).
    t[kLead1] = Track(R"(
        A-4@8 . . . . . C-5@8 . B-4@8 . . . A-4@8 . G-4@8 .
        A-4@8 . . . ---!E44 . . . F-4@8 . . . E-4@8 . . .)");
    t[kLead2] = Track(R"(
        G-4@8 . . . . . E-4@8 . G-4@8 . . . C-5@8 . . .
        B-4@8 . . . . . . . D-5!310 . . . ---!E44 . . .)");
    t[kLead3] = Track(R"(
        E-5@8 . . . D-5@8 . . . C-5@8 . . . B-4@8 . C-5@8 .
        A-4@8 . . . ---!E44 . . . . . . . C-5@8!ED2 . A-4@8 .)");
    t[kLead4] = Track(R"(
        G-4@8 . . . E-4@8 . G-4@8 . C-5@8 . . . D-5@8 . E-5@8 .
        D-5@8 . . . . . B-4@8 . . . . . A-4!308 . ---!A01 .)");
    t[kLeadBreak1] = Track(R"(
        E-5@8!E46 . . . . . . . . . . . . . . .
        C-5!304 . . . . . . . . . . . . . . .)");
    t[kLeadBreak2] = Track(R"(
        D-5@8!E46 . . . . . . . B-4!306 . . . . . . .
        G-4@8!E43 . . . . . . . ---!A01 . . . ---!A02 . . .)");
    t[kEcho1] = EchoOf(t[kLead1]);
    t[kEcho2] = EchoOf(t[kLead2]);
    t[kEcho3] = EchoOf(t[kLead3]);
    t[kEcho4] = EchoOf(t[kLead4]);

    t[kRise] = Track(R"(
        . . . . . . . . . . . . . . . .
        C-3@11 . . . . . . . . . . . . . . .)");
    t[kToms] = Track(R"(
        . . . . . . . . . . . . . . . .
        . . . . . . . . A-3@12!7D0 . F-3@12!700 . D-3@12!730 . C-3@12!700 .)");
    return t;
}

BuiltPosition Position(std::initializer_list<uint8_t> tracks, int8_t arpTranspose = 0) {
    BuiltPosition position;
    size_t channel = 0;
    for (const uint8_t track : tracks) position.track[channel++] = track;
    position.transpose[2] = arpTranspose;
    return position;
}

}  // namespace

ModuleDescription HarbourLights() {
    ModuleDescription song;
    song.format = ModuleFormat::kHvl;
    song.version = 1;
    song.name = "Harbour Lights";
    song.channelCount = kChannels;
    song.trackLength = kTrackLength;
    song.stereoMode = 2;
    song.mixGainPercent = 60;
    song.restartPosition = 2;
    song.instruments = Instruments();
    song.tracks = Tracks();
    //                drums        bass          arp      lead         hats         pad      echo     fx
    song.positions = {
        Position({kDrumsIntro, kBassAmF, 0, 0, 0, 0, 0, 0}),
        Position({kDrumsIntro, kBassCG, 0, 0, kHatsSparse, 0, 0, kRise}),
        Position({kDrums, kBassAmF, kArpAmF, 0, kHats, 0, 0, 0}),
        Position({kDrums, kBassCG, kArpCG, 0, kHats, 0, 0, 0}),
        Position({kDrums, kBassAmF, kArpAmF, 0, kHats, kPadAmF, 0, 0}),
        Position({kDrumsFill, kBassCG, kArpCG, 0, kHats, kPadCG, 0, kRise}),
        Position({kDrums, kBassAmF, kArpAmF, kLead1, kHats, kPadAmF, kEcho1, 0}),
        Position({kDrums, kBassCG, kArpCG, kLead2, kHats, kPadCG, kEcho2, 0}),
        Position({kDrums, kBassAmF, kArpAmF, kLead3, kHats, kPadAmF, kEcho3, 0}),
        Position({kDrumsFill, kBassCG, kArpCG, kLead4, kHats, kPadCG, kEcho4, kToms}),
        Position({0, kBassBreak1, 0, kLeadBreak1, kHatsSparse, kPadAmF, 0, 0}),
        Position({kDrumsIntro, kBassBreak2, 0, kLeadBreak2, kHatsSparse, kPadCG, 0, kRise}),
        Position({kDrums, kBassAmF, kArpAmF, kLead1, kHats, kPadAmF, kEcho1, 0}, 12),
        Position({kDrumsFill, kBassCG, kArpCG, kLead4, kHats, kPadCG, kEcho4, kToms}, 12),
    };
    return song;
}
