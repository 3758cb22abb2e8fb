#pragma once
// How long a song plays before it repeats itself, measured by running the replay.
#include <cstdint>

#include "module_file.h"

// Without an explicit length, nothing renders longer than this: a song stuck on tempo 0 never ends.
constexpr uint32_t kLengthCapSeconds = 600;

struct SongLength {
    uint64_t frames = 0;
    bool ends = true;  // false: the cap came first (a stuck song, or very many loops)
};

// Frames at mixFrequency until the song has come back to an already played (position, step)
// `loops` times (loops >= 1), or the cap.
SongLength MeasureSong(const ModuleFile& module, uint32_t song, int32_t stereoMode, uint32_t mixFrequency,
                       uint32_t loops);
