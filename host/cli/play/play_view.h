#pragma once
// What a display of `ahx play` shows, copied out of the session at one moment.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ahx/ahx.h"

// What a display shows, copied out under the lock.
struct PlayView {
    std::string fileName;
    size_t fileNumber = 0;  // from 1
    size_t fileCount = 0;
    std::string title;       // UTF-8, as stored otherwise
    std::string format;      // "HVL version 1"
    bool twoCommands = false;
    uint32_t channels = 0;
    uint32_t song = 0;
    uint32_t subsongs = 0;
    uint64_t frame = 0;
    uint64_t endFrame = 0;
    bool endsByItself = true;
    uint32_t sampleRate = 0;
    uint32_t position = 0;
    uint32_t positions = 0;
    uint32_t row = 0;
    uint32_t trackLength = 0;
    uint32_t tempo = 0;
    uint32_t speedHz = 0;
    bool paused = false;
    bool looping = false;
    uint32_t audible = 0;  // bit c for channel c + 1
    std::array<float, AHX_MAX_CHANNELS> levels{};
    // Steps of the current position's tracks, rows firstRow on; rows outside the track are absent.
    uint32_t firstRow = 0;
    std::vector<std::array<ahx_step, AHX_MAX_CHANNELS>> steps;
};
