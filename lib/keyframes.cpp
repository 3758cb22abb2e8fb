// A snapshot is the Tune's playback fields, the player's tick position and every voice in use,
// without the voice and ring buffers: those follow from the rest (RebuildVoiceBuffers), which keeps
// a snapshot of 16 voices under 6 KiB.
#include "lib/keyframes.h"

#include <cstring>

#include "lib/tick_driver.h"

namespace {

struct KeyframeHeader {
    bool taken;
    uint64_t frame;
    uint32_t framesLeftInTick;
    int16_t heardPosition;
    int16_t heardRow;
    int16_t heardTick;
    int16_t nextPositionIndex;
    int16_t tempo;
    int16_t positionIndex;
    int16_t stepWait;
    int16_t stepIndex;
    uint16_t nextStepIndex;
    uint8_t positionLoadPending;
    uint8_t positionChangePending;
};

// A voice is kept as two spans around its 640-sample buffer; the ring buffer is its last field.
constexpr size_t kHeadBytes = offsetof(Voice, voiceBuffer);
constexpr size_t kMiddleStart = offsetof(Voice, voiceBuffer) + sizeof(Voice::voiceBuffer);
constexpr size_t kMiddleBytes = offsetof(Voice, ringBuffer) - kMiddleStart;
constexpr size_t kKeptVoiceBytes = kHeadBytes + kMiddleBytes;
static_assert(offsetof(Voice, ringBuffer) + sizeof(Voice::ringBuffer) + alignof(Voice) > sizeof(Voice),
              "the ring buffer is the voice's last field");

uint8_t* Slot(const ahx_player* player, uint32_t index) {
    return player->keyframes + size_t{index} * player->keyframeBytes;
}

KeyframeHeader* HeaderOf(uint8_t* slot) { return reinterpret_cast<KeyframeHeader*>(slot); }

uint32_t VoiceCount(const ahx_player* player) { return player->info.channels; }

uint64_t FramesApart(const ahx_player* player) { return uint64_t{kKeyframeSeconds} * player->info.sample_rate; }

void Save(const ahx_player* player, uint8_t* slot) {
    const Tune& tune = *player->tune;
    KeyframeHeader* header = HeaderOf(slot);
    *header = KeyframeHeader{true,           player->frame,        player->framesLeftInTick, player->heardPosition,
                             player->heardRow, player->heardTick,  tune.nextPositionIndex,   tune.tempo,
                             tune.positionIndex, tune.stepWait,    tune.stepIndex,           tune.nextStepIndex,
                             tune.positionLoadPending, tune.positionChangePending};
    uint8_t* voices = slot + sizeof(KeyframeHeader);
    for (uint32_t v = 0; v < VoiceCount(player); ++v) {
        const uint8_t* voice = reinterpret_cast<const uint8_t*>(&tune.voices[v]);
        std::memcpy(voices, voice, kHeadBytes);
        std::memcpy(voices + kHeadBytes, voice + kMiddleStart, kMiddleBytes);
        voices += kKeptVoiceBytes;
    }
}

void Restore(ahx_player* player, uint8_t* slot) {
    Tune& tune = *player->tune;
    const KeyframeHeader& header = *HeaderOf(slot);
    player->frame = header.frame;
    player->framesLeftInTick = header.framesLeftInTick;
    player->heardPosition = header.heardPosition;
    player->heardRow = header.heardRow;
    player->heardTick = header.heardTick;
    tune.nextPositionIndex = header.nextPositionIndex;
    tune.tempo = header.tempo;
    tune.positionIndex = header.positionIndex;
    tune.stepWait = header.stepWait;
    tune.stepIndex = header.stepIndex;
    tune.nextStepIndex = header.nextStepIndex;
    tune.positionLoadPending = header.positionLoadPending;
    tune.positionChangePending = header.positionChangePending;
    const uint8_t* voices = slot + sizeof(KeyframeHeader);
    for (uint32_t v = 0; v < VoiceCount(player); ++v) {
        uint8_t* voice = reinterpret_cast<uint8_t*>(&tune.voices[v]);
        std::memcpy(voice, voices, kHeadBytes);
        std::memcpy(voice + kMiddleStart, voices + kHeadBytes, kMiddleBytes);
        voices += kKeptVoiceBytes;
    }
    RebuildVoiceBuffers(player);
}

}  // namespace

size_t KeyframeBytes(uint32_t channelCount) {
    const size_t bytes = sizeof(KeyframeHeader) + size_t{channelCount} * kKeptVoiceBytes;
    // Each slot starts aligned for its header.
    return (bytes + alignof(KeyframeHeader) - 1) / alignof(KeyframeHeader) * alignof(KeyframeHeader);
}

void RecordKeyframe(ahx_player* player) {
    if (!player->recordingKeyframes) return;  // measuring another song
    const uint64_t index = player->frame / FramesApart(player);
    if (index == 0 || index >= kInterruptedSlot) return;  // the start needs none; past the cap, none is kept
    uint8_t* slot = Slot(player, static_cast<uint32_t>(index - 1));
    if (!HeaderOf(slot)->taken) Save(player, slot);
}

void ForgetKeyframes(ahx_player* player) {
    for (uint32_t i = 0; i < kInterruptedSlot; ++i) HeaderOf(Slot(player, i))->taken = false;
}

bool RestoreNearestKeyframe(ahx_player* player, uint64_t frame) {
    const uint64_t due = frame / FramesApart(player);
    for (uint64_t index = due < kInterruptedSlot ? due : kInterruptedSlot; index >= 1; --index) {
        uint8_t* slot = Slot(player, static_cast<uint32_t>(index - 1));
        const KeyframeHeader& header = *HeaderOf(slot);
        if (!header.taken || header.frame > frame) continue;  // not taken yet, or a tick past the target
        // Going on from where the player is costs less than from an earlier snapshot.
        if (header.frame <= player->frame && player->frame <= frame) return false;
        Restore(player, slot);
        return true;
    }
    return false;
}

void SaveInterrupted(ahx_player* player) { Save(player, Slot(player, kInterruptedSlot)); }

void RestoreInterrupted(ahx_player* player) { Restore(player, Slot(player, kInterruptedSlot)); }
