// Checking a module: the loader's findings in the public form, and the songs that never repeat.
#include "lib/enum_number.h"
#include "lib/player.h"
#include "loader/module_findings.h"

namespace {

struct KindEntry {
    FindingKind engine;
    ahx_finding_kind kind;
    const char* text;
    const char* name;  // stable: programs match it
};

constexpr KindEntry kKinds[] = {
    {FindingKind::kRefused, AHX_FINDING_REFUSED, "refused", "refused"},
    {FindingKind::kRestartBeyondEnd, AHX_FINDING_RESTART_BEYOND_END, "restart position beyond the positions",
     "restart-beyond-end"},
    {FindingKind::kSubsongBeyondEnd, AHX_FINDING_SUBSONG_BEYOND_END, "subsong starts beyond the positions",
     "subsong-beyond-end"},
    {FindingKind::kStereoModeOutOfRange, AHX_FINDING_STEREO_MODE, "stereo mode out of range",
     "stereo-mode-out-of-range"},
    {FindingKind::kWaveLengthOutOfRange, AHX_FINDING_WAVE_LENGTH, "wave length out of range",
     "wave-length-out-of-range"},
    {FindingKind::kPerfWaveformOutOfRange, AHX_FINDING_PERF_WAVEFORM, "performance-list waveform out of range",
     "waveform-out-of-range"},
    {FindingKind::kTrackNotStored, AHX_FINDING_TRACK_NOT_STORED, "track not stored in the file", "track-not-stored"},
    {FindingKind::kInstrumentNotDefined, AHX_FINDING_INSTRUMENT_NOT_DEFINED, "instrument not defined",
     "instrument-not-defined"},
    {FindingKind::kNoteOutOfRange, AHX_FINDING_NOTE_OUT_OF_RANGE, "note out of range", "note-out-of-range"},
    {FindingKind::kJumpBeyondEnd, AHX_FINDING_JUMP_BEYOND_END, "position jump beyond the positions",
     "jump-beyond-end"},
    {FindingKind::kTempoZero, AHX_FINDING_TEMPO_ZERO, "tempo 0 stops the song", "tempo-zero"},
    {FindingKind::kNameUnterminated, AHX_FINDING_NAME_UNTERMINATED, "name without a terminator",
     "name-unterminated"},
    {FindingKind::kNameTooLong, AHX_FINDING_NAME_TOO_LONG, "name too long", "name-too-long"},
    {FindingKind::kNamesMissing, AHX_FINDING_NAMES_MISSING, "names missing", "names-missing"},
    {FindingKind::kTrailingBytes, AHX_FINDING_TRAILING_BYTES, "bytes after the last section", "trailing-bytes"},
};
// Found by playing, not by the loader: no engine kind maps onto it.
constexpr KindEntry kNeverRepeats = {FindingKind::kRefused, AHX_FINDING_SONG_NEVER_REPEATS,
                                     "song never comes back to a played step", "song-never-repeats"};

static_assert(static_cast<int>(FileSection::kEnd) == AHX_SECTION_END, "file sections in the same order");

const KindEntry* EntryOf(int number) {
    if (number == kNeverRepeats.kind) return &kNeverRepeats;
    for (const KindEntry& entry : kKinds) {
        if (entry.kind == number) return &entry;
    }
    return nullptr;
}

ahx_finding_kind PublicKind(FindingKind kind) {
    for (const KindEntry& entry : kKinds) {
        if (entry.engine == kind) return entry.kind;
    }
    return AHX_FINDING_REFUSED;
}

struct Forward {
    ahx_finding_callback report;
    void* context;
};

ahx_finding EmptyFinding(ahx_finding_kind kind, ahx_section section) {
    return ahx_finding{kind,        AHX_OK,      section,     AHX_NOWHERE, AHX_NOWHERE, AHX_NOWHERE, AHX_NOWHERE,
                       AHX_NOWHERE, AHX_NOWHERE, AHX_NOWHERE, AHX_NOWHERE, 0,           0};
}

void ForwardFinding(void* context, const ModuleFinding& found) {
    const Forward& forward = *static_cast<const Forward*>(context);
    if (forward.report == nullptr) return;  // the caller wants only the result
    ahx_finding finding = EmptyFinding(PublicKind(found.kind), static_cast<ahx_section>(found.section));
    finding.refusal = ResultOf(found.refusal);
    finding.offset = found.offset;
    // The engine numbers subsongs from 1 in its list, as songs are numbered.
    finding.song = found.subsong;
    finding.position = found.position;
    finding.channel = found.channel;
    finding.track = found.track;
    finding.row = found.row;
    finding.instrument = found.instrument;
    finding.entry = found.entry;
    finding.found = found.found;
    finding.used = found.used;
    forward.report(forward.context, &finding);
}

// Every song played through once; those that never come back to a played step are findings.
void CheckSongs(const void* data, size_t size, const Forward& forward) {
    ahx_player* player = nullptr;
    if (ahx_open(data, size, nullptr, &player) != AHX_OK) return;  // out of memory: nothing to play
    for (uint32_t song = 0; song <= player->info.subsongs; ++song) {
        ahx_song_summary summary{};
        ahx_summarise_song(player, song, &summary);
        if (summary.end == AHX_SONG_LOOPS) continue;
        ahx_finding finding = EmptyFinding(AHX_FINDING_SONG_NEVER_REPEATS, AHX_SECTION_SONG);
        finding.song = song;
        if (summary.end == AHX_SONG_STOPS) {
            finding.position = summary.position;
            finding.row = summary.row;
        }
        forward.report(forward.context, &finding);
    }
    ahx_close(player);
}

}  // namespace

ahx_result ahx_check(const void* data, size_t size, ahx_finding_callback report, void* context) {
    if (data == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    Forward forward{report, context};
    const FindingSink sink{ForwardFinding, &forward};
    const LoadStatus status = CheckModule(static_cast<const uint8_t*>(data), ModuleByteCount(size), sink);
    if (status != LoadStatus::kLoaded) return ResultOf(status);
    if (report != nullptr) CheckSongs(data, size, forward);
    return AHX_OK;
}

const char* ahx_finding_text(ahx_finding_kind kind) {
    const KindEntry* entry = EntryOf(NumberOf(kind));
    return entry != nullptr ? entry->text : "unknown finding";
}

const char* ahx_finding_name(ahx_finding_kind kind) {
    const KindEntry* entry = EntryOf(NumberOf(kind));
    return entry != nullptr ? entry->name : "unknown";
}
