#pragma once
// Writes HVL and THX module bytes from a readable description, so that every test, fuzzer seed
// and demo song is made by this project. Field names follow the tune model.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "loader/module_format.h"

struct BuiltStep {
    uint8_t note = 0;
    uint8_t instrument = 0;
    uint8_t command1 = 0;
    uint8_t param1 = 0;
    uint8_t command2 = 0;  // HVL only; must stay 0 for THX
    uint8_t param2 = 0;
};

struct BuiltPerfEntry {
    uint8_t note = 0;       // 0 = no change, else 1..63
    uint8_t waveform = 0;   // 0 = keep, 1 triangle, 2 sawtooth, 3 square, 4 noise
    bool fixed = false;
    // HVL command numbers. THX has codes for 0..5, 12 and 15 only; any other command is written
    // as code 0 with parameter 0, which does nothing.
    uint8_t commands[2] = {0, 0};
    uint8_t params[2] = {0, 0};
};

struct BuiltEnvelope {
    uint8_t attackFrames = 1, attackVolume = 64;
    uint8_t decayFrames = 1, decayVolume = 64;
    uint8_t sustainFrames = 0;
    uint8_t releaseFrames = 1, releaseVolume = 0;
};

struct BuiltInstrument {
    std::string name;
    uint8_t volume = 64;
    uint8_t waveLength = 3;  // 0..5 (3 bits are written, so 6 and 7 can be made for tests)
    uint8_t filterLowerLimit = 0, filterUpperLimit = 0, filterSpeed = 0;
    uint8_t squareLowerLimit = 0, squareUpperLimit = 0, squareSpeed = 0;
    uint8_t vibratoDelay = 0, vibratoSpeed = 0, vibratoDepth = 0;
    uint8_t hardCutRelease = 0, hardCutFrames = 0;
    BuiltEnvelope envelope;
    uint8_t perfSpeed = 1;
    std::vector<BuiltPerfEntry> perfList;
};

struct BuiltPosition {
    uint8_t track[16] = {};
    int8_t transpose[16] = {};
};

struct ModuleDescription {
    ModuleFormat format = ModuleFormat::kHvl;
    uint8_t version = 1;            // HVL version byte / THX revision byte
    std::string name;
    uint8_t speedMultiplier = 1;    // 1..4
    uint16_t restartPosition = 0;
    uint8_t trackLength = 64;
    uint16_t channelCount = 4;      // HVL: 4..; THX: always 4
    uint8_t mixGainPercent = 100;   // HVL only
    uint8_t stereoMode = 0;         // HVL only
    bool omitTrack0 = false;        // track 0 is not stored; tracks[0] is then ignored
    std::vector<uint16_t> subsongs;
    std::vector<BuiltPosition> positions;
    // tracks[t] holds up to trackLength steps (missing steps are empty); trackCount = size - 1.
    std::vector<std::vector<BuiltStep>> tracks;
    std::vector<BuiltInstrument> instruments;  // instrument 1 is instruments[0]
    bool hvlLongEmptySteps = false;            // HVL: write empty steps as 5 zero bytes, not "?"
    // Damaged name tables: only the first namedInstruments instrument names are written, and the
    // last name written may lose its terminating zero (the file then ends inside it).
    size_t namedInstruments = SIZE_MAX;
    bool terminateLastName = true;
    std::vector<uint8_t> trailingBytes = {};  // written after the name table
};

// The module's bytes, name table last. Values are written as given (bits beyond a field's
// width are dropped), so tests can build out-of-range modules too.
std::vector<uint8_t> BuildModule(const ModuleDescription& description);
