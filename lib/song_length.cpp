// How long a song plays before it comes back to a step it has already played. The measurement runs
// the player's own replay (skipping, so it is cheap), taking keyframes on the way when it measures
// the song that plays, and then puts playback back exactly where it was.
#include <cstring>

#include "lib/keyframes.h"
#include "lib/player.h"
#include "lib/tick_driver.h"

namespace {

// Index of the step about to be processed in the played-steps flags, or -1 outside the song.
int64_t StepKey(const Tune& tune) {
    if (tune.positionIndex < 0 || tune.positionIndex >= tune.positionCount) return -1;
    if (tune.stepIndex < 0 || tune.stepIndex >= static_cast<int16_t>(kMaxTrackLength)) return -1;
    return int64_t{tune.positionIndex} * kMaxTrackLength + tune.stepIndex;
}

ahx_length Measure(ahx_player* player, uint32_t loops) {
    const Tune& tune = *player->tune;
    // A song without positions plays nothing at all; there is nothing to measure.
    if (tune.positionCount == 0) return ahx_length{0, 1};

    const uint64_t framesPerTick = player->framesPerTick;
    const uint64_t capFrames = uint64_t{AHX_LENGTH_CAP_SECONDS} * tune.mixFrequency;
    const uint64_t maxTicks = (capFrames + framesPerTick - 1) / framesPerTick;
    uint8_t* played = player->playedSteps;
    const size_t flagBytes = size_t{tune.positionCount} * kMaxTrackLength;
    std::memset(played, 0, flagBytes);

    uint32_t endsSeen = 0;
    // With tempo 0 the counters stand still and the same step is processed on every tick;
    // that is the song being stuck, not the song coming back to a step.
    bool countersMoved = true;
    for (uint64_t tick = 0; tick < maxTicks; ++tick) {
        if (tune.stepWait <= 0 && countersMoved) {
            const int64_t key = StepKey(tune);
            if (key >= 0) {
                if (played[key] != 0) {
                    if (++endsSeen == loops) return ahx_length{tick * framesPerTick, 1};
                    // The next pass starts here: only steps played again within it count.
                    std::memset(played, 0, flagBytes);
                }
                played[key] = 1;
            }
        }
        SkipFrames(player, framesPerTick);
        countersMoved = tune.tempo > 0;
    }
    return ahx_length{capFrames, 0};
}

}  // namespace

ahx_result ahx_measure_song(ahx_player* player, uint32_t song, uint32_t loops, ahx_length* length) {
    if (player == nullptr || length == nullptr || loops == 0) return AHX_ERROR_INVALID_ARGUMENT;
    if (song > player->tune->subsongCount) return AHX_ERROR_NO_SUCH_SONG;
    SaveInterrupted(player);
    const uint32_t playing = player->song;
    // From the song's start, without forgetting the keyframes of the song that plays.
    StartSubsong(player->tune, song);
    player->framesLeftInTick = 0;
    player->frame = 0;
    player->recordingKeyframes = song == playing;
    *length = Measure(player, loops);
    player->recordingKeyframes = true;
    RestoreInterrupted(player);
    return AHX_OK;
}
