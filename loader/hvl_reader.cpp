// Parses an HVL module: 16-byte header, then subsongs, positions, tracks with a one-byte short form
// for empty steps, instruments with 5-byte performance-list entries, and a name table.
#include "loader/module_reading.h"

namespace {

constexpr uint32_t kHvlHeaderBytes = 16;
constexpr uint8_t kEmptyStepByte = 0x3F;  // '?': an empty step in one byte
constexpr uint32_t kFullStepBytes = 5;
constexpr uint32_t kPerfEntryBytes = 5;

ModuleHeader DecodeHvlHeader(ByteCursor* cursor, int32_t /*stereoMode: HVL files carry their own*/) {
    ModuleHeader header{};
    SkipBytes(cursor, 3);  // magic, checked by LoadTune
    header.version = ReadByte(cursor);
    header.formatVersion = header.version;
    header.nameTableOffset = ReadWord(cursor);
    DecodeTrackFlags(cursor, &header);
    header.restartOffset = static_cast<uint8_t>(cursor->offset);  // shares its first byte with the channels
    const uint8_t channelByte = ReadByte(cursor);
    header.channelCount = static_cast<uint16_t>((channelByte >> 2) + 4);
    header.restartPosition = static_cast<uint16_t>(((channelByte & 3) << 8) | ReadByte(cursor));
    header.trackLength = ReadByte(cursor);
    header.trackCount = ReadByte(cursor);
    header.instrumentCount = ReadByte(cursor);
    header.subsongCount = ReadByte(cursor);
    header.mixGain = ReadByte(cursor) * 256u / 100u;
    header.stereoModeOffset = static_cast<uint8_t>(cursor->offset);
    header.stereoMode = ReadByte(cursor);
    return header;
}

void SkipTracks(ByteCursor* cursor, const ModuleHeader& header) {
    const uint32_t stepCount = StoredTrackCount(header) * header.trackLength;
    for (uint32_t s = 0; s < stepCount && !cursor->ranOut; ++s) {
        if (ReadByte(cursor) != kEmptyStepByte) SkipBytes(cursor, kFullStepBytes - 1);
    }
}

void DecodeStep(ByteCursor* cursor, Step* step) {
    const uint8_t note = ReadByte(cursor);
    if (note == kEmptyStepByte) return;  // the zero-filled step already is empty
    step->note = note;
    step->instrument = ReadByte(cursor);
    const uint8_t commands = ReadByte(cursor);
    step->command1 = commands >> 4;
    step->command2 = commands & 0x0F;
    step->param1 = ReadByte(cursor);
    step->param2 = ReadByte(cursor);
}

void DecodePerfEntry(ByteCursor* cursor, PerfEntry* entry, uint8_t /*version*/) {
    const uint8_t b0 = ReadByte(cursor);
    const uint8_t b1 = ReadByte(cursor);
    const uint8_t b2 = ReadByte(cursor);
    entry->commands[0] = b0 & 0x0F;
    entry->commands[1] = (b1 >> 3) & 0x0F;
    entry->waveform = b1 & 7;
    entry->fixed = (b2 >> 6) & 1;
    entry->note = b2 & 0x3F;
    entry->params[0] = ReadByte(cursor);
    entry->params[1] = ReadByte(cursor);
}

}  // namespace

const ModuleLayout kHvlLayout = {
    ModuleFormat::kHvl, kHvlHeaderBytes, kPerfEntryBytes, DecodeHvlHeader, SkipTracks, DecodeStep, DecodePerfEntry,
};
