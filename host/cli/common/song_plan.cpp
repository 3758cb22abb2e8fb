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
    ahx_song_summary summary{};
    // When playing, a song held by a tempo of 0 ends there, however many times it was asked to
    // repeat, and has nothing to repeat when looped; the length measured runs on to the cap.
    if (passes && once.ends == 0 && ahx_summarise_song(player, song, &summary) == AHX_OK &&
        summary.end == AHX_SONG_STOPS) {
        plan.endsByItself = true;
        plan.endFrame = options.seconds ? plan.startFrame + FramesOf(*options.seconds, sampleRate) : summary.frames;
        return plan;
    }
    if (passes) {
        ahx_length further{};
        ahx_measure_song(player, song, options.loops + 1, &further);
        plan.passFrames = once.ends != 0 ? further.frames - once.frames : once.frames;
    }
    plan.endsByItself = options.seconds || once.ends != 0;
    plan.endFrame = options.seconds ? plan.startFrame + FramesOf(*options.seconds, sampleRate) : once.frames;
    return plan;
}
