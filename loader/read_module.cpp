// The one reading sequence both formats share: walk every section, allocate the Tune once, fill it.
#include "loader/module_reading.h"

namespace {

void ReportStep(const FindingSink* findings, FindingKind kind, uint32_t offset, uint32_t track, uint32_t row,
                int32_t found) {
    ModuleFinding finding = FindingAt(kind, FileSection::kTracks, offset);
    finding.track = track;
    finding.row = row;
    finding.found = found;
    Report(findings, finding);
}

void ReadTracks(ByteCursor* cursor, Tune* tune, const ModuleHeader& header, const ModuleLayout& layout,
                const FindingSink* findings) {
    // A left-out track 0 keeps the empty steps of the zero-filled block and takes no bytes.
    for (uint32_t t = header.track0Omitted; t <= header.trackCount; ++t) {
        for (uint32_t s = 0; s < header.trackLength; ++s) {
            const uint32_t offset = cursor->offset;
            Step& step = tune->tracks[t].steps[s];
            layout.decodeStep(cursor, &step);
            if (step.instrument > tune->instrumentCount) {
                ReportStep(findings, FindingKind::kInstrumentNotDefined, offset, t, s, step.instrument);
            }
            if (step.note > kHighestNote) ReportStep(findings, FindingKind::kNoteOutOfRange, offset, t, s, step.note);
        }
    }
}

// A performance-list waveform above 4 names no waveform and is stored as 0 (keep).
void MendPerfWaveform(PerfEntry* entry, uint32_t offset, uint32_t instrument, uint32_t index,
                      const FindingSink* findings) {
    if (entry->waveform <= kHighestPerfWaveform) return;  // a waveform, or keep
    ModuleFinding finding = FindingAt(FindingKind::kPerfWaveformOutOfRange, FileSection::kInstruments, offset);
    finding.instrument = instrument;
    finding.entry = index;
    finding.found = entry->waveform;
    finding.used = 0;
    Report(findings, finding);
    entry->waveform = 0;
}

// Instruments 1..instrumentCount: each header, then its entries, stored from firstEntry on.
void ReadInstruments(ByteCursor* cursor, Tune* tune, PerfEntry* firstEntry, const ModuleLayout& layout,
                     uint8_t version, const FindingSink* findings) {
    PerfEntry* nextEntry = firstEntry;
    for (uint32_t i = 1; i <= tune->instrumentCount; ++i) {
        Instrument& instrument = tune->instruments[i];
        DecodeInstrumentHeader(cursor, &instrument, i, findings);
        instrument.perfList.entries = nextEntry;
        for (int32_t e = 0; e < instrument.perfList.length; ++e) {
            const uint32_t offset = cursor->offset;
            layout.decodePerfEntry(cursor, nextEntry, version);
            MendPerfWaveform(nextEntry++, offset, i, static_cast<uint32_t>(e), findings);
        }
    }
}

Tune* Refuse(ModuleProbe* probe, ModuleProbe refusal) {
    if (probe != nullptr) *probe = refusal;
    return nullptr;
}

// The first section the walk ran out in, with the offset it starts at.
struct ShortSection {
    bool found = false;
    FileSection section = FileSection::kHeader;
    uint32_t offset = 0;
};

void NoteShortSection(ShortSection* shortSection, const ByteCursor& cursor, FileSection section, uint32_t start) {
    if (!cursor.ranOut || shortSection->found) return;  // still inside the file, or already noted
    *shortSection = ShortSection{true, section, start};
}

}  // namespace

Tune* ReadModule(const ModuleLayout& layout, const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode,
                 uint32_t mixFrequency, ModuleProbe* probe, const FindingSink* findings) {
    ByteCursor cursor = CursorAt(bytes, byteCount, 0);
    const ModuleHeader header = layout.decodeHeader(&cursor, stereoMode);
    ModuleProbe outcome = CheckHeaderLimits(header);
    outcome.format = layout.format;
    if (outcome.status != LoadStatus::kLoaded) return Refuse(probe, outcome);  // more than the model holds

    // Walk the sections first: they must all fit before anything is allocated. A short header
    // has already set the sticky ranOut flag, so one check after the walk covers it too.
    ShortSection shortSection;
    NoteShortSection(&shortSection, cursor, FileSection::kHeader, 0);
    uint32_t start = cursor.offset;
    SkipRecords(&cursor, header.subsongCount, 2);
    NoteShortSection(&shortSection, cursor, FileSection::kSubsongs, start);
    start = cursor.offset;
    SkipRecords(&cursor, header.positionCount, 2u * header.channelCount);
    NoteShortSection(&shortSection, cursor, FileSection::kPositions, start);
    start = cursor.offset;
    layout.skipTracks(&cursor, header);
    NoteShortSection(&shortSection, cursor, FileSection::kTracks, start);
    start = cursor.offset;
    const uint32_t perfEntryCount = WalkInstruments(&cursor, header.instrumentCount, layout.perfEntryBytes);
    NoteShortSection(&shortSection, cursor, FileSection::kInstruments, start);
    if (cursor.ranOut) {
        outcome.status = LoadStatus::kTruncated;
        ModuleFinding finding = FindingAt(FindingKind::kRefused, shortSection.section, shortSection.offset);
        finding.refusal = LoadStatus::kTruncated;
        Report(findings, finding);
        return Refuse(probe, outcome);  // the file ends inside its header or sections
    }

    PerfEntry* perfEntries = nullptr;
    Tune* tune = AllocateTune(header, perfEntryCount, &perfEntries);
    if (tune == nullptr) {
        outcome.status = LoadStatus::kOutOfMemory;
        return Refuse(probe, outcome);
    }
    FillHeaderFields(tune, header, mixFrequency, findings);

    cursor = CursorAt(bytes, byteCount, layout.headerBytes);
    ReadSubsongs(&cursor, tune, findings);
    ReadPositions(&cursor, tune, findings);
    ReadTracks(&cursor, tune, header, layout, findings);
    ReadInstruments(&cursor, tune, perfEntries, layout, header.version, findings);
    const uint32_t namesEnd = ReadNames(bytes, byteCount, header.nameTableOffset, tune, findings);
    // The name table usually comes last, but nothing stops it from lying elsewhere.
    const uint32_t dataEnd = namesEnd > cursor.offset ? namesEnd : cursor.offset;
    if (dataEnd < byteCount) {
        ModuleFinding finding = FindingAt(FindingKind::kTrailingBytes, FileSection::kEnd, dataEnd);
        finding.found = static_cast<int32_t>(byteCount - dataEnd);
        Report(findings, finding);
    }
    StartSubsong(tune, 0);
    if (probe != nullptr) *probe = outcome;
    return tune;
}
