#pragma once
// What the HVL and THX readers share: the header values both decode, the one block that holds a
// Tune, the instrument header, names, subsongs and positions. Internal to loader/.
#include <cstdint>

#include "loader/byte_cursor.h"
#include "loader/module_findings.h"
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
    uint32_t stereoMode;  // as the HVL header has it; THX files take the caller's, already 0..4
    uint32_t mixGain;
    // Where the mended fields are, for findings.
    uint8_t restartOffset;
    uint8_t stereoModeOffset;
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
// The functions below report what they mend or notice to findings, which may be null.

// Stores the header values and what every reader sets alike (frequency, waveform bank, pans). A
// restart outside the position list becomes its last position, a stereo mode without pans 0.
void FillHeaderFields(Tune* tune, const ModuleHeader& header, uint32_t mixFrequency, const FindingSink* findings);
// Song and instrument names from the name table; never fails. Returns the offset just past it.
uint32_t ReadNames(const uint8_t* bytes, uint32_t byteCount, uint32_t nameTableOffset, Tune* tune,
                   const FindingSink* findings);
// Subsong starts outside the position list become 0.
void ReadSubsongs(ByteCursor* cursor, Tune* tune, const FindingSink* findings);
// Positions may name tracks the file does not store; those play as empty steps.
void ReadPositions(ByteCursor* cursor, Tune* tune, const FindingSink* findings);
// The 22-byte header of instrument `number`; waveLength above 5 is stored as 5. Leaves
// perfList.entries alone.
void DecodeInstrumentHeader(ByteCursor* cursor, Instrument* instrument, uint32_t number, const FindingSink* findings);

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
    // version is the file's version or revision byte. The waveform is left as the file has it.
    void (*decodePerfEntry)(ByteCursor* cursor, PerfEntry* entry, uint8_t version);
};

extern const ModuleLayout kHvlLayout;
extern const ModuleLayout kAhxLayout;
// The layout of a format ProbeModule recognised.
const ModuleLayout& LayoutOf(ModuleFormat format);

// Parses a module of the given layout whose magic and version the caller has checked: walks every
// section before allocating once, then fills the Tune and starts song 0. Null with *probe set
// (kTruncated, a limit, kOutOfMemory) when it cannot; a truncation is also reported to findings
// with the section the file ends in.
Tune* ReadModule(const ModuleLayout& layout, const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode,
                 uint32_t mixFrequency, ModuleProbe* probe, const FindingSink* findings);
