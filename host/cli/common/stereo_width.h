#pragma once
// --separation, which render and play share: the final mix made narrower or wider.
#include <cstddef>
#include <cstdint>

// 100 keeps the module's own panning.
inline constexpr int kUnchangedSeparation = 100;
inline constexpr int kWidestSeparation = 200;

// The stereo width change of --separation on interleaved frames, in place; see kRenderHelp.
void SetSeparation(int16_t* frames, size_t frameCount, int percent);
