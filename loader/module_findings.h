#pragma once
// What the readers notice on the way: values they mend, places that will not play as written, and
// the reason a module is refused, each with where it is. Loading ignores them; checking reports them.
#include <cstdint>

#include "loader/tune.h"

enum class FindingKind : uint8_t {
    kRefused,                 // refusal says why
    kRestartBeyondEnd,        // found: restart; used: the last position (0 without positions)
    kSubsongBeyondEnd,        // found: start position; used: 0
    kStereoModeOutOfRange,    // found: mode; used: 0
    kWaveLengthOutOfRange,    // found: wave length index; used: the longest
    kPerfWaveformOutOfRange,  // found: waveform; used: 0, keep the waveform
    kTrackNotStored,          // found: the track a position names; it plays as empty steps
    kInstrumentNotDefined,    // found: the instrument a step names; the step starts none
    kNoteOutOfRange,          // found: the note; the period table ends at kHighestNote
    kJumpBeyondEnd,           // found: the position a jump aims at; used: where play goes on
    kTempoZero,               // a step sets tempo 0: the song stops there for good
    kNameUnterminated,        // a name runs into the end of the file
    kNameTooLong,             // found: its length; used: the bytes kept
    kNamesMissing,            // the name table ends before this instrument's name (0: before the title)
    kTrailingBytes,           // found: bytes after the last section
};

// The parts of a module file, in the order the readers walk them.
enum class FileSection : uint8_t { kHeader, kSubsongs, kPositions, kTracks, kInstruments, kNames, kEnd };

// A location or value that does not apply to a finding.
constexpr uint32_t kNowhere = 0xFFFFFFFF;

struct ModuleFinding {
    FindingKind kind;
    LoadStatus refusal;  // kRefused only; kLoaded otherwise
    FileSection section;
    uint32_t offset;     // byte offset in the file
    // Numbered as the Tune numbers them; kNowhere where they do not apply.
    uint32_t subsong, position, channel, track, row, instrument, entry;
    int32_t found;
    int32_t used;
};

// Where the readers send findings; loading passes none.
struct FindingSink {
    void (*report)(void* context, const ModuleFinding& finding);
    void* context;
};

// A finding at offset with every location kNowhere, to be filled in by the caller.
inline ModuleFinding FindingAt(FindingKind kind, FileSection section, uint32_t offset) {
    return ModuleFinding{kind,     LoadStatus::kLoaded, section,  offset,   kNowhere, kNowhere, kNowhere,
                         kNowhere, kNowhere,            kNowhere, kNowhere, 0,        0};
}

inline void Report(const FindingSink* sink, const ModuleFinding& finding) {
    if (sink != nullptr) sink->report(sink->context, finding);
}

// Reads a module as LoadTune does and reports every finding to sink in file order, then what the
// song's commands do (jumps outside the song, tempo 0). The result is why it was refused, or kLoaded.
LoadStatus CheckModule(const uint8_t* bytes, uint32_t byteCount, const FindingSink& sink);
