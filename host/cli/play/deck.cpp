#include "play/deck.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

void Silence(int16_t* frames, size_t frameCount) { std::memset(frames, 0, frameCount * kSamplesPerFrame * sizeof(int16_t)); }

// A looping song's end moves on by a pass each time it is reached; a song without passes (no
// positions) has nothing to repeat and ends.
void ExtendLoop(const Deck& deck, DeckSlot& slot, uint64_t frame) {
    if (!deck.looping || slot.passFrames == 0) return;
    while (slot.endFrame <= frame) slot.endFrame += slot.passFrames;
}

void ApplyGain(int16_t* samples, size_t sampleCount, float gain) {
    for (size_t i = 0; i < sampleCount; ++i) {
        samples[i] = static_cast<int16_t>(std::clamp(std::lrint(samples[i] * gain), -32768L, 32767L));
    }
}

}  // namespace

void FillBuffer(Deck& deck, int16_t* frames, size_t frameCount) {
    ++deck.buffersFilled;
    while (frameCount > 0) {
        if (deck.paused || deck.finished || deck.current.player == nullptr) return Silence(frames, frameCount);
        DeckSlot& slot = deck.current;
        ExtendLoop(deck, slot, slot.frame);
        if (slot.frame >= slot.endFrame) {
            if (deck.next.player == nullptr) {
                deck.finished = true;
                return Silence(frames, frameCount);
            }
            deck.current = deck.next;
            deck.next = DeckSlot{};
            ++deck.advances;
            continue;
        }
        const size_t runFrames = static_cast<size_t>(std::min<uint64_t>(frameCount, slot.endFrame - slot.frame));
        ahx_render_s16(slot.player, frames, runFrames);
        SetSeparation(frames, runFrames, deck.separationPercent);
        if (slot.gain != 1) ApplyGain(frames, runFrames * kSamplesPerFrame, slot.gain);
        slot.frame += runFrames;
        frames += runFrames * kSamplesPerFrame;
        frameCount -= runFrames;
    }
}

uint64_t SeekTarget(const Deck& deck, DeckSlot& slot, uint64_t frame) {
    ExtendLoop(deck, slot, frame);
    return std::min(frame, slot.endFrame);
}
