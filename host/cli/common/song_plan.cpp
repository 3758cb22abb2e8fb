#include "common/song_plan.h"

#include <cmath>

uint64_t FramesOf(double seconds, uint32_t sampleRate) {
    return static_cast<uint64_t>(std::llround(seconds * sampleRate));
}

SongPlan PlanSong(ahx_player* player, uint32_t song, const SongOptions& options, uint32_t sampleRate, bool passes) {
    SongPlan plan;
    plan.startFrame = FramesOf(options.startSeconds, sampleRate);
    ahx_length once{};
    if (!options.seconds || passes) ahx_measure_song(player, song, options.loops, &once);
    // A song held by a tempo of 0 measures to where it stops, however many times it was asked to
    // repeat, and has nothing to repeat when looped.
    if (passes && once.end != AHX_SONG_STOPS) {
        ahx_length further{};
        ahx_measure_song(player, song, options.loops + 1, &further);
        plan.passFrames = once.ends != 0 ? further.frames - once.frames : once.frames;
    }
    plan.endsByItself = options.seconds || once.ends != 0;
    plan.endFrame = options.seconds ? plan.startFrame + FramesOf(*options.seconds, sampleRate) : once.frames;
    return plan;
}
