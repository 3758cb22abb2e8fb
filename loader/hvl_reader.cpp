// Parses an HVL module: 16-byte header, then subsongs, positions, tracks with a one-byte short form
// for empty steps, instruments with 5-byte performance-list entries, and a name table.
#include "loader/module_reading.h"

namespace {

constexpr uint32_t kHvlHeaderBytes = 16;
constexpr uint8_t kEmptyStepByte = 0x3F;  // '?': an empty step in one byte
constexpr uint32_t kFullStepBytes = 5;
constexpr uint32_t kPerfEntryBytes = 5;
constexpr uint32_t kHighestStereoMode = 4;

ModuleHeader DecodeHvlHeader(ByteCursor* cursor) {
    ModuleHeader header{};
    SkipBytes(cursor, 3);  // magic, checked by LoadTune
    header.version = ReadByte(cursor);
    header.nameTableOffset = ReadWord(cursor);
    DecodeTrackFlags(cursor, &header);
    const uint8_t channelByte = ReadByte(cursor);
    header.channelCount = static_cast<uint16_t>((channelByte >> 2) + 4);
    header.restartPosition = static_cast<uint16_t>(((channelByte & 3) << 8) | ReadByte(cursor));
    header.trackLength = ReadByte(cursor);
    header.trackCount = ReadByte(cursor);
    header.instrumentCount = ReadByte(cursor);
    header.subsongCount = ReadByte(cursor);
    header.mixGain = ReadByte(cursor) * 256u / 100u;
    const uint8_t stereoMode = ReadByte(cursor);
    // A mode without a stereo table entry plays as mode 0, centred.
    header.stereoMode = stereoMode <= kHighestStereoMode ? stereoMode : 0;
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

void ReadTracks(ByteCursor* cursor, Tune* tune, const ModuleHeader& header) {
    for (uint32_t t = header.track0Omitted; t <= header.trackCount; ++t) {
        for (uint32_t s = 0; s < header.trackLength; ++s) DecodeStep(cursor, &tune->tracks[t].steps[s]);
    }
}

void DecodePerfEntry(ByteCursor* cursor, PerfEntry* entry, uint8_t /*version*/) {
    const uint8_t b0 = ReadByte(cursor);
    const uint8_t b1 = ReadByte(cursor);
    const uint8_t b2 = ReadByte(cursor);
    entry->commands[0] = b0 & 0x0F;
    entry->commands[1] = (b1 >> 3) & 0x0F;
    entry->waveform = StoredPerfWaveform(b1 & 7);
    entry->fixed = (b2 >> 6) & 1;
    entry->note = b2 & 0x3F;
    entry->params[0] = ReadByte(cursor);
    entry->params[1] = ReadByte(cursor);
}

}  // namespace

Tune* ReadHvlTune(const uint8_t* bytes, uint32_t byteCount, uint32_t mixFrequency) {
    ByteCursor cursor = CursorAt(bytes, byteCount, 0);
    const ModuleHeader header = DecodeHvlHeader(&cursor);
    if (!HeaderWithinLimits(header)) return nullptr;  // more than the model holds

    // Walk the sections first: they must all fit before anything is allocated. A short header
    // has already set the sticky ranOut flag, so one check after the walk covers it too.
    SkipRecords(&cursor, header.subsongCount, 2);
    SkipRecords(&cursor, header.positionCount, 2u * header.channelCount);
    SkipTracks(&cursor, header);
    const uint32_t perfEntryCount = WalkInstruments(&cursor, header.instrumentCount, kPerfEntryBytes);
    if (cursor.ranOut) return nullptr;  // the file ends inside its header or sections

    PerfEntry* perfEntries = nullptr;
    Tune* tune = AllocateTune(header, perfEntryCount, &perfEntries);
    if (tune == nullptr) return nullptr;  // out of memory
    FillHeaderFields(tune, header, mixFrequency);
    tune->formatVersion = header.version;
    ReadNames(bytes, byteCount, header.nameTableOffset, tune);

    cursor = CursorAt(bytes, byteCount, kHvlHeaderBytes);
    ReadSubsongs(&cursor, tune);
    ReadPositions(&cursor, tune);
    ReadTracks(&cursor, tune, header);
    ReadInstruments(&cursor, tune, perfEntries, DecodePerfEntry, header.version);
    StartSubsong(tune, 0);
    return tune;
}
