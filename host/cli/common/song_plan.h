#pragma once
// Where a song starts and ends for render and play, from --start, --seconds and --loops.
#include <cstdint>

#include "ahx/ahx.h"
#include "common/song_options.h"

struct SongPlan {
    uint64_t startFrame = 0;   // counted from the song's start
    uint64_t endFrame = 0;
    bool endsByItself = true;  // false: the song did not come back to a played step within the cap
    uint64_t passFrames = 0;   // how much later each further time through ends (with passes only)
};

uint64_t FramesOf(double seconds, uint32_t sampleRate);

// Measures song on player, which it leaves where it was. passes: also work out passFrames, for
// looping on; a song that never comes back to a played step repeats its capped length.
SongPlan PlanSong(ahx_player* player, uint32_t song, const SongOptions& options, uint32_t sampleRate, bool passes);
