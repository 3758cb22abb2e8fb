#include "play/terminal/pattern_view.h"

std::string FormatStep(const ahx_step& step, ahx_step_columns columns) {
    char text[AHX_TEXT_BYTES];
    return ahx_format_step(&step, columns, text, sizeof text) == AHX_OK ? text : "";
}

int StepWidth(ahx_step_columns columns) { return static_cast<int>(FormatStep(ahx_step{}, columns).size()); }

ahx_step_columns FitStepColumns(uint32_t channels, bool twoCommands, int width) {
    for (const ahx_step_columns columns : {twoCommands ? AHX_STEP_COMMANDS : AHX_STEP_COMMAND, AHX_STEP_COMMAND,
                                           AHX_STEP_INSTRUMENT}) {
        if (kRowNumberWidth + static_cast<int>(channels) * (StepWidth(columns) + 1) <= width) return columns;
    }
    return AHX_STEP_NOTE;
}
