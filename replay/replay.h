#pragma once
// The replay engine: one tick advances a whole tune and prepares every voice for mixing.
#include <cstdint>

#include "loader/tune.h"

void PlayTick(Tune* tune);
// PlayTick without the buffer copies, for skipping output that nobody hears. The copies depend only
// on the voice's state at the tick that makes them, so one RefillVoiceBuffers after the last skipped
// tick leaves the voices exactly as PlayTick would have.
void SkipTick(Tune* tune);
void RefillVoiceBuffers(Tune* tune);
void ProcessStep(Tune* tune, Voice* voice);
void StartInstrument(Tune* tune, Voice* voice, uint32_t instrumentNumber);
void ApplyStepCommandBeforeNote(Tune* tune, Voice* voice, uint8_t command, uint8_t param);
void ApplyStepCommandAfterNote(Tune* tune, Voice* voice, uint8_t command, uint8_t param);
void ApplyPerfCommand(Voice* voice, uint8_t command, uint8_t param);
void UpdateVoiceFrame(Tune* tune, Voice* voice);
void SetupVoiceOutput(Voice* voice, double mixFrequency);
// The two halves of SetupVoiceOutput: volume, steps and sources; then the buffer copies.
void SetVoiceSteps(Voice* voice, double mixFrequency);
void FillVoiceBuffers(Voice* voice);
// 16.16 step through a voice buffer for a period at an output rate; never 0.
uint32_t ConvertPeriodToStep(int16_t period, double mixFrequency);
