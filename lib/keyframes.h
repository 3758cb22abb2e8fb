#pragma once
// Snapshots of the replay taken as a song plays or is measured, so that a seek starts from the
// nearest one instead of the song's beginning. Internal to lib/.
#include <cstddef>
#include <cstdint>

#include "lib/player.h"

// One snapshot every this many seconds of the song, up to the length cap.
constexpr uint32_t kKeyframeSeconds = 10;
// The last slot holds the playback a length measurement interrupts.
constexpr uint32_t kKeyframeSlots = AHX_LENGTH_CAP_SECONDS / kKeyframeSeconds + 1;
constexpr uint32_t kInterruptedSlot = kKeyframeSlots - 1;

// Bytes of one snapshot of a tune with channelCount voices.
size_t KeyframeBytes(uint32_t channelCount);
// At the start of a tick: takes the snapshot due at this frame, if there is one and it is not taken.
void RecordKeyframe(ahx_player* player);
// Forgets every snapshot (the song changed).
void ForgetKeyframes(ahx_player* player);
// Puts the player at the latest snapshot at or before frame when that is nearer to frame than where
// it is now; false when none is.
bool RestoreNearestKeyframe(ahx_player* player, uint64_t frame);
// Saves and restores the whole playback around a length measurement.
void SaveInterrupted(ahx_player* player);
void RestoreInterrupted(ahx_player* player);
