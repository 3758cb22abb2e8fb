// A snapshot is the player's tick position, the whole Tune but its track store, and every voice in
// use, all but its voice and ring buffers: the tracks never change while a song plays, the buffers
// follow from the rest (RebuildVoiceBuffers), which keeps a snapshot of 16 voices near 6 KiB.
// Everything else is copied as the records define it, so a field added to them is kept as well.
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
};

// The bytes of a record outside two of its members (the first one placed before the second).
struct KeptSpans {
    size_t start[3];
    size_t bytes[3];
    size_t total;
};

constexpr KeptSpans Around(size_t recordBytes, size_t firstAt, size_t firstBytes, size_t secondAt,
                           size_t secondBytes) {
    const size_t firstEnd = firstAt + firstBytes;
    const size_t secondEnd = secondAt + secondBytes;
    return {{0, firstEnd, secondEnd},
            {firstAt, secondAt - firstEnd, recordBytes - secondEnd},
            recordBytes - firstBytes - secondBytes};
}

constexpr KeptSpans kTuneSpans =
    Around(sizeof(Tune), offsetof(Tune, tracks), sizeof(Tune::tracks), offsetof(Tune, voices), sizeof(Tune::voices));
constexpr KeptSpans kVoiceSpans = Around(sizeof(Voice), offsetof(Voice, voiceBuffer), sizeof(Voice::voiceBuffer),
                                         offsetof(Voice, ringBuffer), sizeof(Voice::ringBuffer));
static_assert(offsetof(Tune, tracks) < offsetof(Tune, voices) &&
                  offsetof(Voice, voiceBuffer) < offsetof(Voice, ringBuffer),
              "the members left out are given in the order they are placed");

// Copies the kept spans of the record to the snapshot; returns where the snapshot goes on.
uint8_t* KeepSpans(const void* record, const KeptSpans& spans, uint8_t* snapshot) {
    for (int i = 0; i < 3; ++i) {
        std::memcpy(snapshot, static_cast<const uint8_t*>(record) + spans.start[i], spans.bytes[i]);
        snapshot += spans.bytes[i];
    }
    return snapshot;
}

const uint8_t* PutSpansBack(const uint8_t* snapshot, const KeptSpans& spans, void* record) {
    for (int i = 0; i < 3; ++i) {
        std::memcpy(static_cast<uint8_t*>(record) + spans.start[i], snapshot, spans.bytes[i]);
        snapshot += spans.bytes[i];
    }
    return snapshot;
}

uint8_t* Slot(const ahx_player* player, uint32_t index) {
    return player->keyframes + size_t{index} * player->keyframeBytes;
}

KeyframeHeader* HeaderOf(uint8_t* slot) { return reinterpret_cast<KeyframeHeader*>(slot); }

uint32_t VoiceCount(const ahx_player* player) { return player->info.channels; }

uint64_t FramesApart(const ahx_player* player) { return uint64_t{kKeyframeSeconds} * player->info.sample_rate; }

void Save(const ahx_player* player, uint8_t* slot) {
    *HeaderOf(slot) = KeyframeHeader{true, player->frame, player->framesLeftInTick, player->heardPosition,
                                     player->heardRow, player->heardTick};
    uint8_t* snapshot = KeepSpans(player->tune, kTuneSpans, slot + sizeof(KeyframeHeader));
    for (uint32_t v = 0; v < VoiceCount(player); ++v) {
        snapshot = KeepSpans(&player->tune->voices[v], kVoiceSpans, snapshot);
    }
}

void Restore(ahx_player* player, uint8_t* slot) {
    const KeyframeHeader& header = *HeaderOf(slot);
    player->frame = header.frame;
    player->framesLeftInTick = header.framesLeftInTick;
    player->heardPosition = header.heardPosition;
    player->heardRow = header.heardRow;
    player->heardTick = header.heardTick;
    const uint8_t* snapshot = PutSpansBack(slot + sizeof(KeyframeHeader), kTuneSpans, player->tune);
    for (uint32_t v = 0; v < VoiceCount(player); ++v) {
        snapshot = PutSpansBack(snapshot, kVoiceSpans, &player->tune->voices[v]);
    }
    RebuildVoiceBuffers(player);
}

}  // namespace

size_t KeyframeBytes(uint32_t channelCount) {
    const size_t bytes = sizeof(KeyframeHeader) + kTuneSpans.total + size_t{channelCount} * kVoiceSpans.total;
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
