// One fiftieth of a second of output: speedMultiplier ticks, each followed by its share of frames.
#include <cstdint>

#include "loader/tune.h"
#include "mixer/mixer.h"
#include "replay/replay.h"

namespace {

uint32_t TicksPerDecode(const Tune* tune) {
    // The readers keep the multiplier at 1..4; a 0 would divide by zero below.
    return tune->speedMultiplier == 0 ? 1 : tune->speedMultiplier;
}

}  // namespace

uint32_t FramesPerTick(const Tune* tune) {
    return (tune->mixFrequency / kDecodesPerSecond) / TicksPerDecode(tune);
}

uint32_t FramesPerDecode(const Tune* tune) {
    return TicksPerDecode(tune) * FramesPerTick(tune);
}

void DecodeFrame(Tune* tune, void* left, void* right, uint32_t frameStrideBytes) {
    const uint32_t ticks = TicksPerDecode(tune);
    const uint32_t framesPerTick = FramesPerTick(tune);
    uint8_t* leftBytes = static_cast<uint8_t*>(left);
    uint8_t* rightBytes = static_cast<uint8_t*>(right);
    const uint64_t tickBytes = static_cast<uint64_t>(framesPerTick) * frameStrideBytes;
    for (uint32_t tick = 0; tick < ticks; ++tick) {
        PlayTick(tune);
        MixChunk(tune, framesPerTick, leftBytes, rightBytes, frameStrideBytes);
        leftBytes += tickBytes;
        rightBytes += tickBytes;
    }
}
