#pragma once
// What the sound device's thread plays from: the song playing and the one queued after it. The
// main thread changes it only while it holds the device's lock; the device's thread reads and
// advances it in FillBuffer, which never allocates, frees or waits.
#include <cstddef>
#include <cstdint>

#include "ahx/ahx.h"
#include "common/stereo_width.h"

// Frames are interleaved stereo: left, then right.
constexpr size_t kSamplesPerFrame = 2;

struct DeckSlot {
    ahx_player* player = nullptr;  // owned by the main thread; null: empty slot
    uint64_t frame = 0;            // frames since the song started: where the player is
    uint64_t endFrame = 0;         // where the song stops, counted from its start
    uint64_t passFrames = 0;       // how much later each further time through ends, for looping
    float gain = 1;                // applied to every sample (play --normalise)
};

struct Deck {
    DeckSlot current;
    DeckSlot next;          // taken over the moment current ends, so songs follow without a gap
    bool paused = false;
    bool looping = false;   // current plays on past its end, one pass after another
    bool finished = false;  // current ended with nothing queued: the device gets silence
    int separationPercent = kUnchangedSeparation;
    uint64_t buffersFilled = 0;
    uint64_t advances = 0;  // times FillBuffer moved on to next by itself
};

// Fills frameCount interleaved stereo frames: the current song, then the queued one, then silence.
void FillBuffer(Deck& deck, int16_t* frames, size_t frameCount);

// Where a seek to frame lands: clamped to the slot's end, unless the deck loops, in which case the
// end moves on by whole passes until it lies beyond frame.
uint64_t SeekTarget(const Deck& deck, DeckSlot& slot, uint64_t frame);
