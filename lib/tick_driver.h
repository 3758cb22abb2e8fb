#pragma once
// Runs the replay one tick at a time under the frames a caller asks for, so that any request size
// and any seek land on exactly the frames a whole render would give. Internal to lib/.
#include <cstdint>

#include "lib/player.h"

// How a tick is run: for listening, or for skipping (no buffer copies; nothing will be mixed).
enum class TickMode { kPlay, kSkip };

// Frames of the current tick that can go out now (at most framesWanted), starting a tick first when
// the last one is done.
uint32_t NextRunFrames(ahx_player* player, uint64_t framesWanted, TickMode mode);
// Counts runFrames as gone out.
void FinishRun(ahx_player* player, uint32_t runFrames);
// Moves on by frameCount frames without mixing; the voice buffers are left for RebuildVoiceBuffers.
// True when a tick was skipped (the buffers are then out of date).
bool SkipFrames(ahx_player* player, uint64_t frameCount);
// Makes every voice's buffers what the last tick would have left in them.
void RebuildVoiceBuffers(ahx_player* player);
