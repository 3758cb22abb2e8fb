#pragma once
// Steps laid out across a terminal: as much of each as its width allows, written as the library
// writes them ("C-3 01 A04 000").
#include <cstdint>
#include <string>

#include "ahx/ahx.h"

// The text of one step; always StepWidth(columns) characters.
std::string FormatStep(const ahx_step& step, ahx_step_columns columns);
int StepWidth(ahx_step_columns columns);
// The richest columns (the second command only for twoCommands) whose steps, each followed by one
// space, fit in `width` after the row number column; the barest when none does.
ahx_step_columns FitStepColumns(uint32_t channels, bool twoCommands, int width);

// Characters taken by the row number and its space, left of the channel columns.
constexpr int kRowNumberWidth = 3;
