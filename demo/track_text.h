#pragma once
// A compact, readable text form for tracks, so that the demo songs read like tracker patterns.
//
// One token per step, separated by blanks or line breaks:
//   .            an empty step
//   A-4  C#3     a note (C, C#, D ... B with octave 1..5; C-1 is note 1)
//   ---          no note (to carry an instrument or commands alone)
//   A-4@5        note with instrument 5
//   A-4@5!F06    ... and a command: one hex digit for the command, two for its parameter;
//                a second "!..." fills the second command slot (HVL only)
#include <cstdint>
#include <string_view>
#include <vector>

#include "builder/module_builder.h"

using TrackSteps = std::vector<BuiltStep>;

// Parses a track written as above; a malformed token stops the program with a message.
TrackSteps ParseTrack(std::string_view text);
// Note number of "A-4"; C-1 is 1, B-5 is 60.
uint8_t NoteNumber(std::string_view name);
