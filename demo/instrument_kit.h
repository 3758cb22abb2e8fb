#pragma once
// Shorthand for performance-list entries, shared by both demo songs.
#include <cstdint>

#include "builder/module_builder.h"

namespace kit {

// Waveform numbers as performance lists name them.
constexpr uint8_t kKeep = 0, kTriangle = 1, kSawtooth = 2, kSquare = 3, kNoise = 4;

// Performance-list command numbers used by the songs.
constexpr uint8_t kFilter = 0x0, kSlideUp = 0x1, kSlideDown = 0x2, kSquarePos = 0x3, kModulation = 0x4,
                  kJump = 0x5, kRingTriangle = 0x7, kPan = 0x9, kVolume = 0xC;

struct Command {
    uint8_t command = 0;
    uint8_t param = 0;
};

// An entry that plays `note` relative to the step's note (1 = the note itself).
inline BuiltPerfEntry Relative(uint8_t waveform, uint8_t note, Command first = {}, Command second = {}) {
    BuiltPerfEntry entry;
    entry.waveform = waveform;
    entry.note = note;
    entry.commands[0] = first.command;
    entry.params[0] = first.param;
    entry.commands[1] = second.command;
    entry.params[1] = second.param;
    return entry;
}

// An entry that plays an absolute note, whatever the step's note: drums.
inline BuiltPerfEntry Fixed(uint8_t waveform, uint8_t note, Command first = {}, Command second = {}) {
    BuiltPerfEntry entry = Relative(waveform, note, first, second);
    entry.fixed = true;
    return entry;
}

inline BuiltEnvelope Envelope(uint8_t attackFrames, uint8_t attackVolume, uint8_t decayFrames, uint8_t decayVolume,
                              uint8_t sustainFrames, uint8_t releaseFrames, uint8_t releaseVolume) {
    BuiltEnvelope e;
    e.attackFrames = attackFrames;
    e.attackVolume = attackVolume;
    e.decayFrames = decayFrames;
    e.decayVolume = decayVolume;
    e.sustainFrames = sustainFrames;
    e.releaseFrames = releaseFrames;
    e.releaseVolume = releaseVolume;
    return e;
}

}  // namespace kit
