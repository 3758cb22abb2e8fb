// Parses a THX module: 14-byte header, then subsongs, four-channel positions, 3-byte steps,
// instruments with 4-byte performance-list entries, and a name table. Stereo mode and gain come
// from the caller, not the file.
#include "loader/effect_commands.h"
#include "loader/module_reading.h"

namespace {

constexpr uint32_t kAhxHeaderBytes = 14;
constexpr uint32_t kAhxChannels = 4;
constexpr uint32_t kStepBytes = 3;
constexpr uint32_t kPerfEntryBytes = 4;

ModuleHeader DecodeAhxHeader(ByteCursor* cursor, int32_t stereoMode) {
    ModuleHeader header{};
    SkipBytes(cursor, 3);  // magic, checked by LoadTune
    header.version = ReadByte(cursor);
    header.formatVersion = 0;  // step command EF1 belongs to HVL files only
    header.nameTableOffset = ReadWord(cursor);
    DecodeTrackFlags(cursor, &header);
    header.restartOffset = static_cast<uint8_t>(cursor->offset);
    header.restartPosition = ReadWord(cursor);
    header.trackLength = ReadByte(cursor);
    header.trackCount = ReadByte(cursor);
    header.instrumentCount = ReadByte(cursor);
    header.subsongCount = ReadByte(cursor);
    header.channelCount = kAhxChannels;
    // A mode without a stereo table entry plays as mode 0, centred.
    const bool knownMode = stereoMode >= 0 && static_cast<uint32_t>(stereoMode) < kStereoModeCount;
    header.stereoMode = knownMode ? static_cast<uint32_t>(stereoMode) : 0;
    header.mixGain = AhxGainPercent[header.stereoMode] * 256u / 100u;
    return header;
}

void DecodeStep(ByteCursor* cursor, Step* step) {
    const uint8_t b0 = ReadByte(cursor);
    const uint8_t b1 = ReadByte(cursor);
    step->note = b0 >> 2;
    step->instrument = static_cast<uint8_t>(((b0 & 3) << 4) | (b1 >> 4));
    step->command1 = b1 & 0x0F;
    step->param1 = ReadByte(cursor);
}

void SkipTracks(ByteCursor* cursor, const ModuleHeader& header) {
    SkipRecords(cursor, StoredTrackCount(header) * header.trackLength, kStepBytes);
}

void DecodePerfEntry(ByteCursor* cursor, PerfEntry* entry, uint8_t revision) {
    const uint8_t b0 = ReadByte(cursor);
    const uint8_t b1 = ReadByte(cursor);
    entry->commands[0] = kPerfCommandForThxCode[(b0 >> 2) & 7];
    entry->commands[1] = kPerfCommandForThxCode[b0 >> 5];
    entry->waveform = static_cast<uint8_t>(((b0 & 3) << 1) | (b1 >> 7));
    entry->fixed = (b1 >> 6) & 1;
    entry->note = b1 & 0x3F;
    entry->params[0] = ReadByte(cursor);
    entry->params[1] = ReadByte(cursor);
    // Revision 0 files use only the low digit of a modulation switch.
    if (revision != 0) return;  // later revisions keep the whole parameter
    for (uint32_t c = 0; c < 2; ++c) {
        if (entry->commands[c] == kPerfModulation) entry->params[c] &= 0x0F;
    }
}

}  // namespace

const ModuleLayout kAhxLayout = {
    ModuleFormat::kAhx, kAhxHeaderBytes, kPerfEntryBytes, DecodeAhxHeader, SkipTracks, DecodeStep, DecodePerfEntry,
};

Tune* ReadAhxTune(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency) {
    if (bytes == nullptr) return nullptr;  // nothing to read
    return ReadModule(kAhxLayout, bytes, byteCount, stereoMode, mixFrequency, nullptr, nullptr);
}
