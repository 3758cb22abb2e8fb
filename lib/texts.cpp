// The texts every face shows the same way: why a module is refused, a step, a clock, a song.
#include "lib/enum_number.h"
#include "lib/text_writer.h"

namespace {

constexpr const char* kNoteLetters[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
constexpr uint32_t kNotesPerOctave = 12;
// Only broken files hold notes above octave 9; a second digit would break the columns.
constexpr uint32_t kHighestShownOctave = 9;

void AppendNote(TextWriter& writer, uint8_t note) {
    if (note == 0) return Append(writer, "---");
    const uint32_t octave = (note - 1u) / kNotesPerOctave + 1;
    if (octave > kHighestShownOctave) return Append(writer, "???");
    Append(writer, kNoteLetters[(note - 1u) % kNotesPerOctave]);
    AppendDecimal(writer, octave);
}

void AppendCommand(TextWriter& writer, uint8_t command, uint8_t param) {
    Append(writer, " ");
    if (command == 0 && param == 0) return Append(writer, "...");
    AppendHexDigit(writer, command);
    AppendHexDigit(writer, param >> 4);
    AppendHexDigit(writer, param);
}

// "HVL version 1", "AHX revision 2": AHX files call their version byte a revision.
void AppendFormatVersion(TextWriter& writer, const ahx_format& format, uint32_t version) {
    Append(writer, NumberOf(format) == AHX_FORMAT_AHX ? "AHX revision " : "HVL version ");
    AppendDecimal(writer, version);
}

}  // namespace

ahx_result ahx_describe_refusal(ahx_result refusal, const ahx_probe_info* info, char* text, size_t size) {
    if (text == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    TextWriter writer{text, size, 0};
    if (info == nullptr) {
        Append(writer, ResultText(NumberOf(refusal)));
        return Finish(writer);
    }
    switch (NumberOf(refusal)) {
        case AHX_ERROR_NOT_A_MODULE: Append(writer, "not a module (no THX or HVL header)"); break;
        case AHX_ERROR_TOO_LARGE: Append(writer, "not a module (larger than 16 MiB)"); break;
        case AHX_ERROR_UNSUPPORTED_VERSION:
            Append(writer, "unsupported ");
            AppendFormatVersion(writer, info->format, info->version);
            break;
        case AHX_ERROR_TOO_MANY_POSITIONS:
        case AHX_ERROR_TRACK_TOO_LONG:
        case AHX_ERROR_TOO_MANY_INSTRUMENTS:
        case AHX_ERROR_TOO_MANY_CHANNELS:
            Append(writer, ResultText(NumberOf(refusal)));
            Append(writer, ": ");
            AppendDecimal(writer, info->found);
            Append(writer, ", at most ");
            AppendDecimal(writer, info->limit);
            break;
        default: Append(writer, ResultText(NumberOf(refusal))); break;
    }
    return Finish(writer);
}

ahx_result ahx_format_step(const ahx_step* step, ahx_step_columns columns, char* text, size_t size) {
    const int shown = NumberOf(columns);
    if (step == nullptr || text == nullptr || shown < AHX_STEP_NOTE || shown > AHX_STEP_COMMANDS) {
        return AHX_ERROR_INVALID_ARGUMENT;
    }
    TextWriter writer{text, size, 0};
    AppendNote(writer, step->note);
    if (shown >= AHX_STEP_INSTRUMENT) {
        Append(writer, " ");
        if (step->instrument == 0) {
            Append(writer, "..");
        } else {
            AppendDecimal(writer, step->instrument % 100u, 2);
        }
    }
    if (shown >= AHX_STEP_COMMAND) AppendCommand(writer, step->command1, step->param1);
    if (shown >= AHX_STEP_COMMANDS) AppendCommand(writer, step->command2, step->param2);
    return Finish(writer);
}

ahx_result ahx_format_clock(uint64_t frames, uint32_t sample_rate, char* text, size_t size) {
    if (text == nullptr || sample_rate == 0) return AHX_ERROR_INVALID_ARGUMENT;
    // Whole seconds apart from the rest, so that no frame count overflows the multiply.
    const uint64_t centiseconds =
        frames / sample_rate * 100 + (frames % sample_rate * 100 + sample_rate / 2) / sample_rate;
    TextWriter writer{text, size, 0};
    AppendDecimal(writer, centiseconds / 6000);
    Append(writer, ":");
    AppendDecimal(writer, centiseconds / 100 % 60, 2);
    Append(writer, ".");
    AppendDecimal(writer, centiseconds % 100, 2);
    return Finish(writer);
}

ahx_result ahx_describe_song(const ahx_player* player, uint32_t song, char* text, size_t size) {
    const ahx_info* info = ahx_get_info(player);
    if (info == nullptr || text == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    if (song > info->subsongs) return AHX_ERROR_NO_SUCH_SONG;
    TextWriter writer{text, size, 0};
    AppendFormatVersion(writer, info->format, info->version);
    Append(writer, ", song ");
    AppendDecimal(writer, uint64_t{song} + 1);
    Append(writer, " of ");
    AppendDecimal(writer, uint64_t{info->subsongs} + 1);
    return Finish(writer);
}
