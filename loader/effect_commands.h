#pragma once
// Effect command numbers, one hexadecimal digit each, as steps and performance lists carry them.
#include <cstdint>

// Step commands.
constexpr uint8_t kStepPositionHundreds = 0x0;  // prepares the hundreds of a following position jump
constexpr uint8_t kStepPortamentoUp = 0x1;
constexpr uint8_t kStepPortamentoDown = 0x2;
constexpr uint8_t kStepTonePortamento = 0x3;
constexpr uint8_t kStepFilter = 0x4;
constexpr uint8_t kStepTonePortamentoVolumeSlide = 0x5;
constexpr uint8_t kStepPan = 0x7;
constexpr uint8_t kStepSquarePosition = 0x9;
constexpr uint8_t kStepVolumeSlide = 0xA;
constexpr uint8_t kStepPositionJump = 0xB;
constexpr uint8_t kStepVolume = 0xC;
constexpr uint8_t kStepTrackBreak = 0xD;
constexpr uint8_t kStepExtended = 0xE;
constexpr uint8_t kStepTempo = 0xF;

// Position numbers in commands B and D are written as two decimal digits; nibbles above 9 still count.
inline int32_t DecimalParam(uint8_t param) { return (param >> 4) * 10 + (param & 0x0F); }

// Sub-commands of kStepExtended, in the parameter's high digit.
constexpr uint8_t kExtendedFineSlideUp = 0x1;
constexpr uint8_t kExtendedFineSlideDown = 0x2;
constexpr uint8_t kExtendedVibratoDepth = 0x4;
constexpr uint8_t kExtendedFineVolumeUp = 0xA;
constexpr uint8_t kExtendedFineVolumeDown = 0xB;
constexpr uint8_t kExtendedNoteCut = 0xC;
constexpr uint8_t kExtendedNoteDelay = 0xD;
constexpr uint8_t kExtendedHoldTranspose = 0xF;

// Performance-list commands.
constexpr uint8_t kPerfFilterPosition = 0x0;
constexpr uint8_t kPerfSlideUp = 0x1;
constexpr uint8_t kPerfSlideDown = 0x2;
constexpr uint8_t kPerfSquarePosition = 0x3;
constexpr uint8_t kPerfModulation = 0x4;
constexpr uint8_t kPerfJump = 0x5;
constexpr uint8_t kPerfRingTriangle = 0x7;
constexpr uint8_t kPerfRingSawtooth = 0x8;
constexpr uint8_t kPerfPan = 0x9;
constexpr uint8_t kPerfVolume = 0xC;
constexpr uint8_t kPerfSpeed = 0xF;

// THX files store performance-list commands as 3-bit codes; these are the commands they stand for.
constexpr uint8_t kPerfCommandForThxCode[8] = {
    kPerfFilterPosition, kPerfSlideUp, kPerfSlideDown, kPerfSquarePosition,
    kPerfModulation,     kPerfJump,    kPerfVolume,    kPerfSpeed,
};
