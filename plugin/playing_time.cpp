#include "plugin/playing_time.h"

#include "plugin/stream_handle.h"

int32_t playingTimeMs = kDefaultPlayingTimeMs;

uint32_t StreamLengthFrames(int32_t playingMs) {
    const int64_t wholeSeconds = playingMs / 1000;
    if (wholeSeconds <= 0) return 0;  // negative times mean an empty stream, not a wrapped one
    const int64_t frames = wholeSeconds * int64_t{kOutputFrequency};
    if (frames > int64_t{UINT32_MAX}) return UINT32_MAX;  // longer than 32 bits can count
    return static_cast<uint32_t>(frames);
}
