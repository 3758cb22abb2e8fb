#include "waves/compute/compute_wave_tables.h"

void GenerateTriangle(int8_t* destination, uint32_t length) {
    const int32_t quarter = static_cast<int32_t>(length / 4);
    const int32_t delta = 128 / quarter;
    for (int32_t i = 0; i < quarter; ++i) destination[i] = static_cast<int8_t>(i * delta);
    destination[quarter] = 127;
    for (int32_t i = 1; i < quarter; ++i) destination[quarter + i] = static_cast<int8_t>(128 - i * delta);
    // The second half mirrors the first; the peak 127 mirrors to -128, not -127.
    for (int32_t j = 0; j < 2 * quarter; ++j) {
        int32_t mirrored = destination[j] == 127 ? -128 : -destination[j];
        destination[2 * quarter + j] = static_cast<int8_t>(mirrored);
    }
}

void GenerateSawtooth(int8_t* destination, uint32_t length) {
    const int32_t delta = 256 / static_cast<int32_t>(length - 1);
    for (int32_t i = 0; i < static_cast<int32_t>(length); ++i) {
        destination[i] = static_cast<int8_t>(-128 + i * delta);
    }
}

void GenerateSquares(int8_t* destination) {
    for (uint32_t width = 1; width <= kSquareWidthCount; ++width) {
        const uint32_t lowSamples = kSquareSamples - 2 * width;
        for (uint32_t i = 0; i < kSquareSamples; ++i) *destination++ = i < lowSamples ? -128 : 127;
    }
}

namespace {
uint32_t RotateRight(uint32_t x, int bits) { return (x >> bits) | (x << (32 - bits)); }
uint32_t RotateLeft(uint32_t x, int bits) { return (x << bits) | (x >> (32 - bits)); }
}  // namespace

void GenerateNoise(int8_t* destination, uint32_t sampleCount) {
    // Fixed seed on every build, so that every process plays identical noise.
    uint32_t state = 0x41595321u;
    for (uint32_t i = 0; i < sampleCount; ++i) {
        destination[i] = (state & 0x100u) ? int8_t{127} : static_cast<int8_t>(state & 0xFFu);
        const uint32_t a = RotateRight(state, 5) ^ 0x9Au;
        const uint32_t r = RotateLeft(a, 2);
        const uint32_t low = (((a & 0xFFFFu) + (r & 0xFFFFu)) & 0xFFFFu) ^ (r & 0xFFFFu);
        state = RotateRight((r & 0xFFFF0000u) | low, 3);
    }
}
