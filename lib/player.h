#pragma once
// The record behind an ahx_player handle, and what the library's files share. Internal to lib/.
#include <cstddef>
#include <cstdint>

#include "ahx/ahx.h"
#include "loader/tune.h"

struct ahx_player {
    Tune* tune;
    uint8_t* playedSteps;  // positionCount * kMaxTrackLength flags, for measuring song lengths
    uint8_t* keyframes;    // kKeyframeSlots snapshots of keyframeBytes each (lib/keyframes.h)
    uint32_t keyframeBytes;
    ahx_info info;
    uint32_t song;
    uint32_t audibleVoices;
    bool metering;
    bool recordingKeyframes;    // off while a length is measured for another song
    uint32_t framesPerTick;
    uint32_t framesLeftInTick;  // frames the current tick still has to mix; 0: the next frame starts a tick
    uint64_t frame;             // frames since the song started
    // The step heard during the current tick: the counters move on before its frames are mixed.
    int16_t heardPosition;
    int16_t heardRow;
    int16_t heardTick;
    uint16_t voicePeaks[kMaxChannels];  // of the last render call, 0..kVoicePeakFullScale
};

// The size of caller's data as the engine counts module bytes (32 bits): anything above the module
// limit counts as one byte over it, which the engine refuses as too large.
uint32_t ModuleByteCount(size_t size);
// Maps the engine's reason for refusing a module onto the public result.
ahx_result ResultOf(LoadStatus status);
// Puts the player at the first frame of song, which the caller has checked exists. Keyframes of
// another song are forgotten.
void RestartSong(ahx_player* player, uint32_t song);
