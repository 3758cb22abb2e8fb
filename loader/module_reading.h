#pragma once
// What the HVL and THX readers share: the header values both decode, the one block that holds a
// Tune, the instrument header, names, subsongs and positions. Internal to loader/.
#include <cstdint>

#include "loader/byte_cursor.h"
#include "loader/tune.h"

constexpr uint32_t kInstrumentHeaderBytes = 22;

// Header values after decoding, before they are stored in a Tune.
struct ModuleHeader {
    uint8_t version;
    uint8_t formatVersion;  // what the Tune keeps: the HVL version, 0 for THX files
    uint16_t nameTableOffset;
    uint8_t track0Omitted;
    uint8_t speedMultiplier;
    uint16_t positionCount;
    uint16_t channelCount;
    uint16_t restartPosition;
    uint8_t trackLength;
    uint8_t trackCount;
    uint8_t instrumentCount;
    uint8_t subsongCount;
    uint32_t stereoMode;  // already 0..4
    uint32_t mixGain;
};

// Header bytes 6 and 7, laid out alike in both formats: track-0 flag, speed, position count.
void DecodeTrackFlags(ByteCursor* cursor, ModuleHeader* header);
// The model's limits: positions, track length, instruments and channels. kLoaded when within them,
// else the status of the first one exceeded, with the value found and the limit.
ModuleProbe CheckHeaderLimits(const ModuleHeader& header);
// Tracks the file holds: trackCount + 1, or trackCount when track 0 is left out.
uint32_t StoredTrackCount(const ModuleHeader& header);
// Skips the instrument section and counts its performance-list entries.
uint32_t WalkInstruments(ByteCursor* cursor, uint32_t instrumentCount, uint32_t perfEntryBytes);

// Allocates the zero-filled block for these counts and points positions, instruments and the
// subsong list into it; *perfEntries receives the first PerfEntry. Null when memory runs out.
Tune* AllocateTune(const ModuleHeader& header, uint32_t perfEntryCount, PerfEntry** perfEntries);
// Stores the header values and what every reader sets alike (frequency, waveform bank, pans).
void FillHeaderFields(Tune* tune, const ModuleHeader& header, uint32_t mixFrequency);
// Song and instrument names from the name table; never fails.
void ReadNames(const uint8_t* bytes, uint32_t byteCount, uint32_t nameTableOffset, Tune* tune);
// Subsong starts outside the position list become 0.
void ReadSubsongs(ByteCursor* cursor, Tune* tune);
void ReadPositions(ByteCursor* cursor, Tune* tune);
// The 22-byte header; waveLength above 5 is stored as 5. Leaves perfList.entries alone.
void DecodeInstrumentHeader(ByteCursor* cursor, Instrument* instrument);
// A performance-list waveform above 4 names no waveform and is stored as 0 (keep).
uint8_t StoredPerfWaveform(uint8_t waveform);

// What tells the two formats apart; everything else about reading them is shared (ReadModule).
struct ModuleLayout {
    ModuleFormat format;
    uint32_t headerBytes;
    uint32_t perfEntryBytes;
    // Decodes the header; stereoMode is the caller's, used where the format has no stereo setting.
    ModuleHeader (*decodeHeader)(ByteCursor* cursor, int32_t stereoMode);
    // Moves past the stored tracks (steps may vary in size).
    void (*skipTracks)(ByteCursor* cursor, const ModuleHeader& header);
    void (*decodeStep)(ByteCursor* cursor, Step* step);
    // version is the file's version or revision byte.
    void (*decodePerfEntry)(ByteCursor* cursor, PerfEntry* entry, uint8_t version);
};

extern const ModuleLayout kHvlLayout;
extern const ModuleLayout kAhxLayout;

// Parses a module of the given layout whose magic and version the caller has checked: walks every
// section before allocating once, then fills the Tune and starts song 0. Null with *status set
// (kTruncated, a limit, kOutOfMemory) when it cannot.
Tune* ReadModule(const ModuleLayout& layout, const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode,
                 uint32_t mixFrequency, ModuleProbe* probe);
