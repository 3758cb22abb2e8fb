// The one reading sequence both formats share: walk every section, allocate the Tune once, fill it.
#include "loader/module_reading.h"

namespace {

void ReadTracks(ByteCursor* cursor, Tune* tune, const ModuleHeader& header, const ModuleLayout& layout) {
    // A left-out track 0 keeps the empty steps of the zero-filled block and takes no bytes.
    for (uint32_t t = header.track0Omitted; t <= header.trackCount; ++t) {
        for (uint32_t s = 0; s < header.trackLength; ++s) layout.decodeStep(cursor, &tune->tracks[t].steps[s]);
    }
}

// Instruments 1..instrumentCount: each header, then its entries, stored from firstEntry on.
void ReadInstruments(ByteCursor* cursor, Tune* tune, PerfEntry* firstEntry, const ModuleLayout& layout,
                     uint8_t version) {
    PerfEntry* nextEntry = firstEntry;
    for (uint32_t i = 1; i <= tune->instrumentCount; ++i) {
        Instrument& instrument = tune->instruments[i];
        DecodeInstrumentHeader(cursor, &instrument);
        instrument.perfList.entries = nextEntry;
        for (int32_t e = 0; e < instrument.perfList.length; ++e) {
            layout.decodePerfEntry(cursor, nextEntry++, version);
        }
    }
}

Tune* Refuse(ModuleProbe* probe, ModuleProbe refusal) {
    if (probe != nullptr) *probe = refusal;
    return nullptr;
}

}  // namespace

Tune* ReadModule(const ModuleLayout& layout, const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode,
                 uint32_t mixFrequency, ModuleProbe* probe) {
    ByteCursor cursor = CursorAt(bytes, byteCount, 0);
    const ModuleHeader header = layout.decodeHeader(&cursor, stereoMode);
    ModuleProbe outcome = CheckHeaderLimits(header);
    outcome.format = layout.format;
    if (outcome.status != LoadStatus::kLoaded) return Refuse(probe, outcome);  // more than the model holds

    // Walk the sections first: they must all fit before anything is allocated. A short header
    // has already set the sticky ranOut flag, so one check after the walk covers it too.
    SkipRecords(&cursor, header.subsongCount, 2);
    SkipRecords(&cursor, header.positionCount, 2u * header.channelCount);
    layout.skipTracks(&cursor, header);
    const uint32_t perfEntryCount = WalkInstruments(&cursor, header.instrumentCount, layout.perfEntryBytes);
    if (cursor.ranOut) {
        outcome.status = LoadStatus::kTruncated;
        return Refuse(probe, outcome);  // the file ends inside its header or sections
    }

    PerfEntry* perfEntries = nullptr;
    Tune* tune = AllocateTune(header, perfEntryCount, &perfEntries);
    if (tune == nullptr) {
        outcome.status = LoadStatus::kOutOfMemory;
        return Refuse(probe, outcome);
    }
    FillHeaderFields(tune, header, mixFrequency);
    ReadNames(bytes, byteCount, header.nameTableOffset, tune);

    cursor = CursorAt(bytes, byteCount, layout.headerBytes);
    ReadSubsongs(&cursor, tune);
    ReadPositions(&cursor, tune);
    ReadTracks(&cursor, tune, header, layout);
    ReadInstruments(&cursor, tune, perfEntries, layout, header.version);
    StartSubsong(tune, 0);
    if (probe != nullptr) *probe = outcome;
    return tune;
}
