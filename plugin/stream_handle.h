#pragma once
// One open sound stream: the file copy, the Tune parsed from it and one fiftieth of a second of
// rendered frames waiting to be delivered.
#include <cstdint>

#include "loader/tune.h"
#include "mixer/mixer.h"

constexpr uint32_t kOutputFrequency = kStandardMixFrequency;
constexpr uint32_t kFrameBytes = 4;  // left then right, signed 16-bit each
constexpr uint32_t kChunkFrames = kOutputFrequency / kDecodesPerSecond;
constexpr uint32_t kChunkBytes = kChunkFrames * kFrameBytes;  // 3528

struct StreamHandle {
    Tune* tune;          // owned
    uint8_t* fileData;   // owned; kept so that a rewind can parse it again
    uint32_t fileSize;
    uint32_t totalFrames;      // the stream's length
    uint32_t deliveredFrames;  // never above totalFrames
    uint32_t bufferedFrames;   // rendered frames not yet delivered
    uint32_t chunkReadFrame;   // first of the buffered frames inside chunk
    uint32_t subsong;
    alignas(4) uint8_t chunk[kChunkBytes];  // rendered frames, left sample first
};
