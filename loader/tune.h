#pragma once
// One parsed module with its playback state: a single allocation owned by its caller.
#include <cstdint>

#include "loader/module_format.h"
#include "loader/module_records.h"
// The one place the loader reaches into the replay (a test holds every other loader file to it): the
// tune holds its voices so that one allocation is the whole playback state, which the loader starts
// at a song and the library snapshots and frees as one.
#include "replay/voice.h"

// The rate the plug-in always plays at, and the default everywhere else.
constexpr uint32_t kStandardMixFrequency = 44100;

constexpr uint32_t kStereoModeCount = 5;
extern const uint32_t StereoPanLeft[kStereoModeCount];   // 128, 96, 64, 32, 0
extern const uint32_t StereoPanRight[kStereoModeCount];  // 128, 160, 193, 225, 255
extern const uint32_t AhxGainPercent[kStereoModeCount];  // 71, 72, 76, 85, 100

struct Tune {
    char name[kNameBytes];
    uint32_t mixFrequency;
    const int8_t* waveformBase[4];  // entry 2 (square) stays null: squares come from the voice
    uint16_t restartPosition;
    uint16_t positionCount;
    uint8_t speedMultiplier;
    uint8_t trackLength;
    uint8_t trackCount;
    uint8_t instrumentCount;
    uint8_t subsongCount;
    int16_t nextPositionIndex;
    int16_t tempo;
    int16_t positionIndex;
    int16_t stepWait;
    int16_t stepIndex;
    uint16_t nextStepIndex;
    uint8_t positionLoadPending;
    uint8_t positionChangePending;
    uint16_t* subsongList;
    uint16_t channelCount;
    Position* positions;
    Track tracks[kMaxTracks];
    Instrument* instruments;  // instrumentCount + 1 entries; entry 0 is a placeholder
    Voice voices[kMaxChannels];
    uint32_t stereoMode;
    uint32_t defaultPanLeft;
    uint32_t defaultPanRight;
    uint32_t mixGain;
    uint8_t formatVersion;
};

// Why a module does or does not load. The limits are the model's; see module_records.h.
enum class LoadStatus : uint8_t {
    kLoaded,
    kNotAModule,           // no "THX" or "HVL" magic
    kUnsupportedVersion,   // HVL version above 1, THX revision above 2
    kTruncated,            // the file ends inside its header or sections
    kTooManyPositions,
    kTrackTooLong,
    kTooManyInstruments,
    kTooManyChannels,
    kTooLarge,             // more than kMaxModuleBytes
    kOutOfMemory,
};

// What the header says, and whether it is a module this engine can read. For the limit statuses,
// foundValue is what the header declares and limitValue the most the model holds.
struct ModuleProbe {
    LoadStatus status;
    ModuleFormat format;
    uint8_t version;  // HVL version or THX revision byte
    uint32_t foundValue;
    uint32_t limitValue;
};

// Reads the header only: magic, version and the header's counts against the model's limits. The one
// check that loading, the plug-in's callers and the library's probe share; allocates nothing.
ModuleProbe ProbeModule(const uint8_t* bytes, uint32_t byteCount);
// Voices the replay and the mixer run: channelCount, which the readers keep within the 16 voices.
inline uint32_t VoicesInUse(const Tune* tune) {
    return tune->channelCount < kMaxChannels ? tune->channelCount : kMaxChannels;
}

// Parses an HVL or THX module held in memory. Returns a tune started on song 0, or null.
Tune* LoadTune(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency);
// LoadTune that also says why it failed (probe may be null).
Tune* LoadTuneWithProbe(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency,
                        ModuleProbe* probe);
// The THX half of LoadTune; the caller has checked magic and revision.
Tune* ReadAhxTune(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency);
void FreeTune(Tune* tune);
// 1 when song (0 = main, 1..subsongCount) was started; 0 leaves the tune unchanged.
uint32_t StartSubsong(Tune* tune, uint32_t song);
