#include "song_length.h"

#include <algorithm>
#include <vector>

#include "mixer/mixer.h"
#include "replay/replay.h"

namespace {

// Index of the step about to be processed in the played-steps table, or -1 outside the song.
int64_t StepKey(const Tune& tune) {
    if (tune.positionIndex < 0 || tune.positionIndex >= tune.positionCount) return -1;
    if (tune.stepIndex < 0 || tune.stepIndex >= static_cast<int16_t>(kMaxTrackLength)) return -1;
    return int64_t{tune.positionIndex} * kMaxTrackLength + tune.stepIndex;
}

}  // namespace

SongLength MeasureSong(const ModuleFile& module, uint32_t song, int32_t stereoMode, uint32_t mixFrequency,
                       uint32_t loops) {
    TunePtr tune = LoadSong(module, song, stereoMode, mixFrequency);
    // A song without positions plays nothing at all; there is nothing to measure.
    if (tune->positionCount == 0) return SongLength{0, true};

    const uint64_t framesPerTick = FramesPerDecode(tune.get()) / tune->speedMultiplier;
    const uint64_t capFrames = uint64_t{kLengthCapSeconds} * mixFrequency;
    const uint64_t maxTicks = (capFrames + framesPerTick - 1) / framesPerTick;

    std::vector<bool> played(size_t{tune->positionCount} * kMaxTrackLength, false);
    uint32_t endsSeen = 0;
    // With tempo 0 the counters stand still and the same step is processed on every tick;
    // that is the song being stuck, not the song coming back to a step.
    bool countersMoved = true;
    for (uint64_t tick = 0; tick < maxTicks; ++tick) {
        if (tune->stepWait <= 0 && countersMoved) {
            const int64_t key = StepKey(*tune);
            if (key >= 0) {
                if (played[static_cast<size_t>(key)]) {
                    if (++endsSeen == loops) return SongLength{tick * framesPerTick, true};
                    // The next pass starts here: only steps played again within it count.
                    std::fill(played.begin(), played.end(), false);
                }
                played[static_cast<size_t>(key)] = true;
            }
        }
        PlayTick(tune.get());
        countersMoved = tune->tempo > 0;
    }
    return SongLength{capFrames, false};
}
