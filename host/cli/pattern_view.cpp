#include "pattern_view.h"

#include <cstdio>

namespace {

constexpr const char* kNoteLetters[12] = {"C-", "C#", "D-", "D#", "E-", "F-", "F#", "G-", "G#", "A-", "A#", "B-"};
constexpr int kNoteWidth = 3, kInstrumentWidth = 2, kCommandWidth = 3;

std::string Command(uint8_t command, uint8_t param) {
    if (command == 0 && param == 0) return "...";
    char text[8];
    std::snprintf(text, sizeof text, "%X%02X", command & 0xF, param);
    return text;
}

}  // namespace

std::string NoteName(uint8_t note) {
    if (note == 0) return "---";
    const int octave = (note - 1) / 12 + 1;
    if (octave > 9) return "???";  // only broken files hold notes this high
    return kNoteLetters[(note - 1) % 12] + std::to_string(octave);
}

int StepWidth(StepDetail detail, bool twoCommands) {
    switch (detail) {
        case StepDetail::kNote: return kNoteWidth;
        case StepDetail::kInstrument: return kNoteWidth + 1 + kInstrumentWidth;
        case StepDetail::kFirstCommand: return kNoteWidth + 1 + kInstrumentWidth + 1 + kCommandWidth;
        case StepDetail::kAllCommands:
            return StepWidth(StepDetail::kFirstCommand, twoCommands) + (twoCommands ? 1 + kCommandWidth : 0);
    }
    return kNoteWidth;
}

std::string FormatStep(const ahx_step& step, StepDetail detail, bool twoCommands) {
    std::string text = NoteName(step.note);
    if (detail == StepDetail::kNote) return text;
    char instrument[4] = "..";
    if (step.instrument != 0) std::snprintf(instrument, sizeof instrument, "%02u", step.instrument % 100u);
    text += ' ';
    text += instrument;
    if (detail == StepDetail::kInstrument) return text;
    text += ' ' + Command(step.command1, step.param1);
    if (detail == StepDetail::kAllCommands && twoCommands) text += ' ' + Command(step.command2, step.param2);
    return text;
}

StepDetail FitStepDetail(uint32_t channels, bool twoCommands, int width) {
    for (const StepDetail detail : {StepDetail::kAllCommands, StepDetail::kFirstCommand, StepDetail::kInstrument}) {
        if (kRowNumberWidth + static_cast<int>(channels) * (StepWidth(detail, twoCommands) + 1) <= width) return detail;
    }
    return StepDetail::kNote;
}
