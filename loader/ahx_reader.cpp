// Parses a THX module: 14-byte header, then subsongs, four-channel positions, 3-byte steps,
// instruments with 4-byte performance-list entries, and a name table. Stereo mode and gain come
// from the caller, not the file.
#include "loader/module_reading.h"

namespace {

constexpr uint32_t kAhxHeaderBytes = 14;
constexpr uint32_t kAhxChannels = 4;
constexpr uint32_t kStepBytes = 3;
constexpr uint32_t kPerfEntryBytes = 4;
constexpr uint8_t kModulationCommand = 4;

// The file's 3-bit performance-list command codes as command numbers.
constexpr uint8_t kPerfCommandForCode[8] = {0, 1, 2, 3, 4, 5, 12, 15};

ModuleHeader DecodeAhxHeader(ByteCursor* cursor, int32_t stereoMode) {
    ModuleHeader header{};
    SkipBytes(cursor, 3);  // magic, checked by LoadTune
    header.version = ReadByte(cursor);
    header.nameTableOffset = ReadWord(cursor);
    DecodeTrackFlags(cursor, &header);
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

void ReadTracks(ByteCursor* cursor, Tune* tune, const ModuleHeader& header) {
    for (uint32_t t = header.track0Omitted; t <= header.trackCount; ++t) {
        for (uint32_t s = 0; s < header.trackLength; ++s) DecodeStep(cursor, &tune->tracks[t].steps[s]);
    }
}

void DecodePerfEntry(ByteCursor* cursor, PerfEntry* entry, uint8_t revision) {
    const uint8_t b0 = ReadByte(cursor);
    const uint8_t b1 = ReadByte(cursor);
    entry->commands[0] = kPerfCommandForCode[(b0 >> 2) & 7];
    entry->commands[1] = kPerfCommandForCode[b0 >> 5];
    entry->waveform = StoredPerfWaveform(static_cast<uint8_t>(((b0 & 3) << 1) | (b1 >> 7)));
    entry->fixed = (b1 >> 6) & 1;
    entry->note = b1 & 0x3F;
    entry->params[0] = ReadByte(cursor);
    entry->params[1] = ReadByte(cursor);
    // Revision 0 files use only the low digit of a modulation switch.
    if (revision != 0) return;  // later revisions keep the whole parameter
    for (uint32_t c = 0; c < 2; ++c) {
        if (entry->commands[c] == kModulationCommand) entry->params[c] &= 0x0F;
    }
}

}  // namespace

Tune* ReadAhxTune(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency) {
    if (bytes == nullptr) return nullptr;  // nothing to read
    ByteCursor cursor = CursorAt(bytes, byteCount, 0);
    const ModuleHeader header = DecodeAhxHeader(&cursor, stereoMode);
    if (!HeaderWithinLimits(header)) return nullptr;  // more than the model holds

    // Walk the sections first: they must all fit before anything is allocated. A short header
    // has already set the sticky ranOut flag, so one check after the walk covers it too.
    SkipRecords(&cursor, header.subsongCount, 2);
    SkipRecords(&cursor, header.positionCount, 2 * kAhxChannels);
    SkipRecords(&cursor, StoredTrackCount(header) * header.trackLength, kStepBytes);
    const uint32_t perfEntryCount = WalkInstruments(&cursor, header.instrumentCount, kPerfEntryBytes);
    if (cursor.ranOut) return nullptr;  // the file ends inside its header or sections

    PerfEntry* perfEntries = nullptr;
    Tune* tune = AllocateTune(header, perfEntryCount, &perfEntries);
    if (tune == nullptr) return nullptr;  // out of memory
    FillHeaderFields(tune, header, mixFrequency);
    tune->formatVersion = 0;  // step command EF1 belongs to HVL files only
    ReadNames(bytes, byteCount, header.nameTableOffset, tune);

    cursor = CursorAt(bytes, byteCount, kAhxHeaderBytes);
    ReadSubsongs(&cursor, tune);
    ReadPositions(&cursor, tune);
    ReadTracks(&cursor, tune, header);
    ReadInstruments(&cursor, tune, perfEntries, DecodePerfEntry, header.version);
    StartSubsong(tune, 0);
    return tune;
}
