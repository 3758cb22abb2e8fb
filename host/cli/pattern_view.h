#pragma once
// Steps as a tracker shows them ("C-3 01 A04 000"), in as much detail as a terminal's width allows.
#include <cstdint>
#include <string>

#include "ahx/ahx.h"

// From the richest to the barest: what each channel's column holds.
enum class StepDetail { kAllCommands, kFirstCommand, kInstrument, kNote };

// "C-1" for note 1 up to "B-5" for note 60; "---" for no note.
std::string NoteName(uint8_t note);
// The text of one step; always StepWidth characters.
std::string FormatStep(const ahx_step& step, StepDetail detail, bool twoCommands);
int StepWidth(StepDetail detail, bool twoCommands);
// The richest detail whose columns (each followed by one space) fit in `width` after the row
// number column; the barest when none does.
StepDetail FitStepDetail(uint32_t channels, bool twoCommands, int width);

// Characters taken by the row number and its space, left of the channel columns.
constexpr int kRowNumberWidth = 3;
