// How a song goes on: how long it plays before it comes back to a step it has already played, or
// whether it stops on one, and which channels it uses on the way. The walk runs the player's own
// replay (skipping, so it is cheap), taking keyframes on the way when it walks the song that plays,
// and then puts playback back exactly where it was.
#include <cstring>

#include "lib/keyframes.h"
#include "lib/player.h"
#include "lib/tick_driver.h"

namespace {

// A note delay armed before the song stood still can still fire and change the tempo; none is
// longer than this many ticks.
constexpr uint32_t kLongestNoteDelayTicks = 15;

// Index of the step about to be processed in the played-steps flags, or -1 outside the song.
int64_t StepKey(const Tune& tune) {
    if (tune.positionIndex < 0 || tune.positionIndex >= tune.positionCount) return -1;
    if (tune.stepIndex < 0 || tune.stepIndex >= static_cast<int16_t>(kMaxTrackLength)) return -1;
    return int64_t{tune.positionIndex} * kMaxTrackLength + tune.stepIndex;
}

// Channels whose step at the current position and row has a note.
uint32_t ChannelsWithNotes(const Tune& tune) {
    uint32_t channels = 0;
    const Position& position = tune.positions[tune.positionIndex];
    for (uint32_t c = 0; c < VoicesInUse(&tune); ++c) {
        if (tune.tracks[position.track[c]].steps[tune.stepIndex].note != 0) channels |= 1u << c;
    }
    return channels;
}

struct SongWalk {
    ahx_song_end end;
    uint64_t frames;  // LOOPS and STOPS: until then; CUT: the cap
    int16_t position;
    int16_t row;
    uint32_t channelsUsed;
};

// Plays the song the player was put at the start of, counters only, until it has come back to a
// played step `loops` times, stood still for good, or reached the cap.
SongWalk Walk(ahx_player* player, uint32_t loops) {
    const Tune& tune = *player->tune;
    const uint64_t framesPerTick = player->framesPerTick;
    const uint64_t capFrames = uint64_t{AHX_LENGTH_CAP_SECONDS} * tune.mixFrequency;
    // A song without positions plays nothing at all; it is over before it begins.
    if (tune.positionCount == 0) return SongWalk{AHX_SONG_LOOPS, 0, 0, 0, 0};

    const uint64_t maxTicks = (capFrames + framesPerTick - 1) / framesPerTick;
    uint8_t* played = player->playedSteps;
    const size_t flagBytes = size_t{tune.positionCount} * kMaxTrackLength;
    std::memset(played, 0, flagBytes);

    uint32_t endsSeen = 0;
    uint32_t channelsUsed = 0;
    // With tempo 0 the counters stand still and the same step is processed on every tick;
    // that is the song being stuck, not the song coming back to a step.
    bool countersMoved = true;
    uint32_t stillTicks = 0;
    SongWalk stop{AHX_SONG_STOPS, 0, 0, 0, 0};
    for (uint64_t tick = 0; tick < maxTicks; ++tick) {
        const int64_t key = tune.stepWait <= 0 ? StepKey(tune) : -1;
        if (key >= 0 && countersMoved) {
            if (played[key] != 0) {
                if (++endsSeen == loops) {
                    return SongWalk{AHX_SONG_LOOPS, tick * framesPerTick, tune.positionIndex, tune.stepIndex,
                                    channelsUsed};
                }
                // The next pass starts here: only steps played again within it count.
                std::memset(played, 0, flagBytes);
            }
            played[key] = 1;
        }
        if (key >= 0) channelsUsed |= ChannelsWithNotes(tune);
        if (key >= 0 && stillTicks == 0) stop = SongWalk{AHX_SONG_STOPS, tick * framesPerTick, tune.positionIndex,
                                                         tune.stepIndex, 0};
        SkipFrames(player, framesPerTick);
        countersMoved = tune.tempo > 0;
        stillTicks = countersMoved ? 0 : stillTicks + 1;
        if (stillTicks > kLongestNoteDelayTicks) {
            stop.channelsUsed = channelsUsed;
            return stop;
        }
    }
    return SongWalk{AHX_SONG_CUT, capFrames, 0, 0, channelsUsed};
}

// Walks song from its start and puts playback back as it was.
SongWalk WalkSong(ahx_player* player, uint32_t song, uint32_t loops) {
    SaveInterrupted(player);
    const uint32_t playing = player->song;
    // From the song's start, without forgetting the keyframes of the song that plays.
    StartSubsong(player->tune, song);
    player->framesLeftInTick = 0;
    player->frame = 0;
    player->recordingKeyframes = song == playing;
    const SongWalk walk = Walk(player, loops);
    player->recordingKeyframes = true;
    RestoreInterrupted(player);
    return walk;
}

}  // namespace

ahx_result ahx_measure_song(ahx_player* player, uint32_t song, uint32_t loops, ahx_length* length) {
    if (player == nullptr || length == nullptr || loops == 0) return AHX_ERROR_INVALID_ARGUMENT;
    if (song > player->tune->subsongCount) return AHX_ERROR_NO_SUCH_SONG;
    const SongWalk walk = WalkSong(player, song, loops);
    // A song that stops is over where it stops: what follows is one step held for good. Only a
    // song that neither loops nor stops is cut at the cap.
    const uint64_t capFrames = uint64_t{AHX_LENGTH_CAP_SECONDS} * player->tune->mixFrequency;
    *length = walk.end == AHX_SONG_CUT ? ahx_length{capFrames, 0, AHX_SONG_CUT} : ahx_length{walk.frames, 1, walk.end};
    return AHX_OK;
}

ahx_result ahx_summarise_song(ahx_player* player, uint32_t song, ahx_song_summary* summary) {
    if (player == nullptr || summary == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    if (song > player->tune->subsongCount) return AHX_ERROR_NO_SUCH_SONG;
    const SongWalk walk = WalkSong(player, song, 1);
    *summary = ahx_song_summary{walk.end, walk.frames, static_cast<uint32_t>(walk.position),
                                static_cast<uint32_t>(walk.row), walk.channelsUsed};
    return AHX_OK;
}
