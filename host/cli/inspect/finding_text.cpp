#include "inspect/finding_text.h"

#include <sstream>
#include <utility>

#include "common/module_file.h"
#include "common/song_number.h"
#include "common/text_output.h"

namespace {

constexpr uint32_t kCapMinutes = AHX_LENGTH_CAP_SECONDS / 60;

// Which of a finding's values mean something, and so are in its JSON.
struct KindValues {
    ahx_finding_kind kind;
    bool hasFound;
    bool hasUsed;
};

constexpr KindValues kKindValues[] = {
    {AHX_FINDING_RESTART_BEYOND_END, true, true},   {AHX_FINDING_SUBSONG_BEYOND_END, true, true},
    {AHX_FINDING_STEREO_MODE, true, true},          {AHX_FINDING_WAVE_LENGTH, true, true},
    {AHX_FINDING_PERF_WAVEFORM, true, true},        {AHX_FINDING_TRACK_NOT_STORED, true, false},
    {AHX_FINDING_INSTRUMENT_NOT_DEFINED, true, false}, {AHX_FINDING_NOTE_OUT_OF_RANGE, true, false},
    {AHX_FINDING_JUMP_BEYOND_END, true, true},      {AHX_FINDING_NAME_TOO_LONG, true, true},
    {AHX_FINDING_TRAILING_BYTES, true, false},
};

KindValues ValuesOf(ahx_finding_kind kind) {
    for (const auto& entry : kKindValues) {
        if (entry.kind == kind) return entry;
    }
    return {kind, false, false};
}

const char* SectionName(ahx_section section) {
    switch (section) {
        case AHX_SECTION_HEADER: return "header";
        case AHX_SECTION_SUBSONGS: return "subsongs";
        case AHX_SECTION_POSITIONS: return "positions";
        case AHX_SECTION_TRACKS: return "tracks";
        case AHX_SECTION_INSTRUMENTS: return "instruments";
        case AHX_SECTION_NAMES: return "names";
        case AHX_SECTION_END: return "end";
        case AHX_SECTION_SONG: return "song";
    }
    return "unknown";
}

std::string NameOf(uint32_t instrument) {
    return instrument == 0 ? "the title" : "the name of instrument " + std::to_string(instrument);
}

}  // namespace

std::string FindingMessage(const ahx_finding& f, const ahx_probe_info& header) {
    const std::string found = std::to_string(f.found), used = std::to_string(f.used);
    switch (f.kind) {
        case AHX_FINDING_REFUSED: {
            ahx_probe_info limits = header;
            limits.found = static_cast<uint32_t>(f.found);
            limits.limit = static_cast<uint32_t>(f.used);
            return "refused: " + RefusalReason(limits, f.refusal);
        }
        case AHX_FINDING_RESTART_BEYOND_END:
            return "restart position " + found + " is beyond the positions; the song restarts at " + used;
        case AHX_FINDING_SUBSONG_BEYOND_END:
            return "the song starts at position " + found + ", beyond the positions; it starts at 0";
        case AHX_FINDING_STEREO_MODE: return "stereo mode " + found + " is not 0 to " + std::to_string(AHX_HIGHEST_STEREO_MODE) + "; it plays as " + used;
        case AHX_FINDING_WAVE_LENGTH: return "wave length " + found + " is not 0 to 5; it plays as " + used;
        case AHX_FINDING_PERF_WAVEFORM:
            return "waveform " + found + " is not 1 to 4; the entry keeps the waveform it has";
        case AHX_FINDING_TRACK_NOT_STORED: return "track " + found + " is not stored in the file; it plays as empty steps";
        case AHX_FINDING_INSTRUMENT_NOT_DEFINED:
            return "instrument " + found + " is not defined; the step starts no instrument";
        case AHX_FINDING_NOTE_OUT_OF_RANGE: return "note " + found + " is above the highest note, 60";
        case AHX_FINDING_JUMP_BEYOND_END:
            // The player keeps the target in 16 bits: a jump's number on top of the hundreds an
            // earlier command 0 set (or an earlier jump left) can wrap below zero.
            if (f.found < 0) {
                return "position jump (command B, on top of the hundreds that earlier 0 or B commands in the row "
                       "set) passes 32767 and wraps to " + found + ", outside the positions; play goes on at position " +
                       used;
            }
            return "jump to position " + found + " is beyond the positions; play goes on at position " + used;
        case AHX_FINDING_TEMPO_ZERO: return "tempo 0 stops the song here for good";
        case AHX_FINDING_SONG_NEVER_REPEATS:
            return "never comes back to a played step within " + std::to_string(kCapMinutes) + " minutes" +
                   (f.position != AHX_NOWHERE ? "; it stops at position " + std::to_string(f.position) + ", row " +
                                                    std::to_string(f.row)
                                              : "");
        case AHX_FINDING_NAME_UNTERMINATED: return NameOf(f.instrument) + " runs into the end of the file unterminated";
        case AHX_FINDING_NAME_TOO_LONG:
            return NameOf(f.instrument) + " is " + found + " bytes long; the first " + used + " are kept";
        case AHX_FINDING_NAMES_MISSING:
            return "the name table ends before " + NameOf(f.instrument) + "; it and the rest are empty";
        case AHX_FINDING_TRAILING_BYTES: return found + " bytes after the last section";
    }
    return ahx_finding_text(f.kind);
}

std::string FindingPlace(const ahx_finding& f) {
    std::ostringstream place;
    place << (f.section == AHX_SECTION_SONG ? "song " + std::to_string(SongNumber(f.song)) : SectionName(f.section));
    if (f.offset != AHX_NOWHERE) place << ", offset 0x" << std::hex << f.offset << std::dec;
    const std::pair<const char*, uint32_t> parts[] = {
        {"song", f.section == AHX_SECTION_SONG || f.song == AHX_NOWHERE ? AHX_NOWHERE : SongNumber(f.song)},
        {"position", f.section == AHX_SECTION_SONG ? AHX_NOWHERE : f.position},
        {"channel", f.channel == AHX_NOWHERE ? AHX_NOWHERE : f.channel + 1},
        {"track", f.track},
        {"row", f.section == AHX_SECTION_SONG ? AHX_NOWHERE : f.row},
        // Name findings name their instrument in the message, the title being instrument 0.
        {"instrument", f.section == AHX_SECTION_NAMES ? AHX_NOWHERE : f.instrument},
        {"entry", f.entry},
    };
    for (const auto& [name, value] : parts) {
        if (value != AHX_NOWHERE) place << ", " << name << ' ' << value;
    }
    return place.str();
}

std::string FindingJson(const ahx_finding& f, const ahx_probe_info& header) {
    std::ostringstream out;
    const KindValues kind = ValuesOf(f.kind);
    out << "{\"kind\":\"" << ahx_finding_name(f.kind) << "\",\"section\":\"" << SectionName(f.section) << '"';
    const std::pair<const char*, uint32_t> parts[] = {
        {"offset", f.offset},     {"song", f.song == AHX_NOWHERE ? AHX_NOWHERE : SongNumber(f.song)},
        {"position", f.position}, {"row", f.row},
        {"channel", f.channel == AHX_NOWHERE ? AHX_NOWHERE : f.channel + 1}, {"track", f.track},
        {"instrument", f.instrument}, {"entry", f.entry},
    };
    for (const auto& [name, value] : parts) {
        if (value != AHX_NOWHERE) out << ",\"" << name << "\":" << value;
    }
    if (kind.hasFound) out << ",\"found\":" << f.found;
    if (kind.hasUsed) out << ",\"used\":" << f.used;
    // A refusal on a limit says what the header declares and the most there may be.
    if (f.kind == AHX_FINDING_REFUSED && f.found != 0) out << ",\"found\":" << f.found << ",\"limit\":" << f.used;
    out << ",\"message\":" << JsonString(FindingMessage(f, header)) << '}';
    return out.str();
}

