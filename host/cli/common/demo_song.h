#pragma once
// The demo song bundled into the tool, generated at build time from demo/demo.hvl.
#include <cstdint>

extern const uint8_t kDemoSongBytes[];
extern const uint32_t kDemoSongByteCount;
