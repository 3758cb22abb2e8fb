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
// The model's limits: positions, track length, instruments and channels.
bool HeaderWithinLimits(const ModuleHeader& header);
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
// Decodes one performance-list entry; version is the file's version or revision byte.
using PerfEntryDecoder = void (*)(ByteCursor* cursor, PerfEntry* entry, uint8_t version);
// Instruments 1..instrumentCount: each header, then its entries, stored from firstEntry on.
void ReadInstruments(ByteCursor* cursor, Tune* tune, PerfEntry* firstEntry, PerfEntryDecoder decodeEntry,
                     uint8_t version);

// The HVL half of LoadTune; the caller has checked magic and version.
Tune* ReadHvlTune(const uint8_t* bytes, uint32_t byteCount, uint32_t mixFrequency);
