#pragma once
// Module content records shared by the readers, the replay engine and the builder of test modules.
#include <cstdint>

constexpr uint32_t kMaxChannels = 16;
constexpr uint32_t kMaxTracks = 256;
constexpr uint32_t kMaxTrackLength = 64;
constexpr uint32_t kMaxInstruments = 64;
constexpr uint32_t kMaxPositions = 1000;
constexpr uint32_t kMaxSubsongs = 255;
constexpr uint32_t kMaxPerfEntries = 255;
constexpr uint32_t kNameBytes = 128;
// Real modules are a few hundred kilobytes at most; anything above this is not one.
constexpr uint32_t kMaxModuleBytes = 16u << 20;
constexpr uint8_t kHighestHvlVersion = 1;
constexpr uint8_t kHighestAhxRevision = 2;
// Wave length index 5: 4 << 5 = 128 samples, the longest waveform.
constexpr uint8_t kHighestWaveLength = 5;
// Performance-list entries name waveforms 1..4 (noise); 0 keeps the waveform.
constexpr uint8_t kHighestPerfWaveform = 4;
// The replay engine's volume scale, for instruments, notes and voices.
constexpr uint8_t kMaxVolume = 64;

struct Position {
    uint8_t track[kMaxChannels];
    int8_t transpose[kMaxChannels];
};

struct Step {
    uint8_t note;        // 0 = none
    uint8_t instrument;  // 0 = none
    uint8_t command1;
    uint8_t param1;
    uint8_t command2;
    uint8_t param2;
};

struct Track {
    Step steps[kMaxTrackLength];
};

struct Envelope {
    uint16_t attackFrames;
    uint16_t attackVolume;
    uint16_t decayFrames;
    uint16_t decayVolume;
    uint16_t sustainFrames;
    uint16_t releaseFrames;
    uint16_t releaseVolume;
};

struct PerfEntry {
    uint8_t note;      // 0 = no change
    uint8_t waveform;  // 0 = keep, else waveform number + 1
    uint16_t fixed;
    uint8_t commands[2];
    uint8_t params[2];
};

struct PerfList {
    uint16_t speed;
    int16_t length;
    PerfEntry* entries;
};

struct Instrument {
    char name[kNameBytes];
    uint8_t volume;
    uint8_t waveLength;
    uint8_t filterLowerLimit;
    uint8_t filterUpperLimit;
    uint8_t filterSpeed;
    uint8_t squareLowerLimit;
    uint8_t squareUpperLimit;
    uint8_t squareSpeed;
    uint8_t vibratoDelay;
    uint8_t vibratoSpeed;
    uint8_t vibratoDepth;
    uint8_t hardCutRelease;
    uint8_t hardCutFrames;
    Envelope envelope;
    PerfList perfList;
};
