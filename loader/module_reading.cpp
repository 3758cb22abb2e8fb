// Decoding shared by the HVL and THX readers.
#include "loader/module_reading.h"

#include "waves/wave_bank.h"

namespace {

// Copies one zero-terminated name and moves past its zero byte. At most kNameBytes - 1 bytes are
// kept so that every stored name is a terminated string; the rest of a longer name is skipped.
// The destination is already zero-filled. instrument is 0 for the song's title.
void CopyName(ByteCursor* names, char* destination, uint32_t instrument, const FindingSink* findings) {
    const uint32_t start = names->offset;
    uint32_t length = 0;
    bool terminated = false;
    while (BytesLeft(*names) > 0) {
        const uint8_t byte = ReadByte(names);
        if (byte == 0) {
            terminated = true;
            break;
        }
        if (length < kNameBytes - 1) destination[length] = static_cast<char>(byte);
        ++length;
    }
    ModuleFinding finding = FindingAt(FindingKind::kNameTooLong, FileSection::kNames, start);
    finding.instrument = instrument;
    if (length > kNameBytes - 1) {
        finding.found = static_cast<int32_t>(length);
        finding.used = static_cast<int32_t>(kNameBytes - 1);
        Report(findings, finding);
    }
    if (!terminated) {
        finding.kind = FindingKind::kNameUnterminated;
        finding.found = finding.used = 0;
        Report(findings, finding);
    }
}

}  // namespace

void DecodeTrackFlags(ByteCursor* cursor, ModuleHeader* header) {
    const uint8_t flags = ReadByte(cursor);
    header->track0Omitted = (flags >> 7) & 1;
    header->speedMultiplier = static_cast<uint8_t>(((flags >> 5) & 3) + 1);
    header->positionCount = static_cast<uint16_t>(((flags & 0x0F) << 8) | ReadByte(cursor));
}

ModuleProbe CheckHeaderLimits(const ModuleHeader& header) {
    const struct {
        LoadStatus status;
        uint32_t foundValue;
        uint32_t limitValue;
    } limits[] = {
        {LoadStatus::kTooManyPositions, header.positionCount, kMaxPositions},
        {LoadStatus::kTrackTooLong, header.trackLength, kMaxTrackLength},
        {LoadStatus::kTooManyInstruments, header.instrumentCount, kMaxInstruments},
        {LoadStatus::kTooManyChannels, header.channelCount, kMaxChannels},
    };
    for (const auto& limit : limits) {
        if (limit.foundValue > limit.limitValue) {
            return ModuleProbe{limit.status, ModuleFormat::kUnknown, header.version, limit.foundValue,
                               limit.limitValue};
        }
    }
    return ModuleProbe{LoadStatus::kLoaded, ModuleFormat::kUnknown, header.version, 0, 0};
}

uint32_t StoredTrackCount(const ModuleHeader& header) {
    return header.trackCount + 1u - header.track0Omitted;
}

uint32_t WalkInstruments(ByteCursor* cursor, uint32_t instrumentCount, uint32_t perfEntryBytes) {
    uint32_t perfEntryCount = 0;
    for (uint32_t i = 0; i < instrumentCount; ++i) {
        SkipBytes(cursor, kInstrumentHeaderBytes - 1);
        const uint8_t length = ReadByte(cursor);
        SkipRecords(cursor, length, perfEntryBytes);
        perfEntryCount += length;
    }
    return perfEntryCount;
}

void FillHeaderFields(Tune* tune, const ModuleHeader& header, uint32_t mixFrequency, const FindingSink* findings) {
    tune->mixFrequency = mixFrequency;
    const int8_t* unfiltered = WaveSetStart(kUnfilteredSet + 1);
    tune->waveformBase[kWaveTriangle] = unfiltered + kTrianglesOffset;
    tune->waveformBase[kWaveSawtooth] = unfiltered + kSawtoothsOffset;
    tune->waveformBase[kWaveNoise] = unfiltered + kNoiseOffset;

    tune->positionCount = header.positionCount;
    tune->speedMultiplier = header.speedMultiplier;
    tune->trackLength = header.trackLength;
    tune->trackCount = header.trackCount;
    tune->instrumentCount = header.instrumentCount;
    tune->subsongCount = header.subsongCount;
    tune->channelCount = header.channelCount;
    // The song must continue inside the position list; an empty list restarts at 0.
    tune->restartPosition = header.restartPosition;
    if (header.restartPosition >= header.positionCount && header.restartPosition != 0) {
        tune->restartPosition = header.positionCount == 0 ? 0 : static_cast<uint16_t>(header.positionCount - 1);
        ModuleFinding finding = FindingAt(FindingKind::kRestartBeyondEnd, FileSection::kHeader, header.restartOffset);
        finding.found = header.restartPosition;
        finding.used = tune->restartPosition;
        Report(findings, finding);
    }
    // A mode without a stereo table entry plays as mode 0, centred.
    tune->stereoMode = header.stereoMode < kStereoModeCount ? header.stereoMode : 0;
    if (tune->stereoMode != header.stereoMode) {
        ModuleFinding finding = FindingAt(FindingKind::kStereoModeOutOfRange, FileSection::kHeader,
                                          header.stereoModeOffset);
        finding.found = static_cast<int32_t>(header.stereoMode);
        finding.used = 0;
        Report(findings, finding);
    }
    tune->defaultPanLeft = StereoPanLeft[tune->stereoMode];
    tune->defaultPanRight = StereoPanRight[tune->stereoMode];
    tune->mixGain = header.mixGain;
    tune->formatVersion = header.formatVersion;
}

uint32_t ReadNames(const uint8_t* bytes, uint32_t byteCount, uint32_t nameTableOffset, Tune* tune,
                   const FindingSink* findings) {
    ByteCursor names = CursorAt(bytes, byteCount, nameTableOffset);
    for (uint32_t i = 0; i <= tune->instrumentCount; ++i) {
        if (BytesLeft(names) == 0) {
            ModuleFinding finding = FindingAt(FindingKind::kNamesMissing, FileSection::kNames, names.offset);
            finding.instrument = i;
            Report(findings, finding);
            break;  // the table ended early: the rest stay unnamed
        }
        CopyName(&names, i == 0 ? tune->name : tune->instruments[i].name, i, findings);
    }
    return names.offset;
}

void ReadSubsongs(ByteCursor* cursor, Tune* tune, const FindingSink* findings) {
    for (uint32_t i = 0; i < tune->subsongCount; ++i) {
        const uint32_t offset = cursor->offset;
        const uint16_t start = ReadWord(cursor);
        tune->subsongList[i] = start < tune->positionCount ? start : 0;
        if (tune->subsongList[i] != start) {
            ModuleFinding finding = FindingAt(FindingKind::kSubsongBeyondEnd, FileSection::kSubsongs, offset);
            finding.subsong = i + 1;
            finding.found = start;
            finding.used = 0;
            Report(findings, finding);
        }
    }
}

void ReadPositions(ByteCursor* cursor, Tune* tune, const FindingSink* findings) {
    for (uint32_t p = 0; p < tune->positionCount; ++p) {
        Position& position = tune->positions[p];
        for (uint32_t channel = 0; channel < tune->channelCount; ++channel) {
            const uint32_t offset = cursor->offset;
            position.track[channel] = ReadByte(cursor);
            position.transpose[channel] = static_cast<int8_t>(ReadByte(cursor));
            if (position.track[channel] > tune->trackCount) {
                ModuleFinding finding = FindingAt(FindingKind::kTrackNotStored, FileSection::kPositions, offset);
                finding.position = p;
                finding.channel = channel;
                finding.found = position.track[channel];
                Report(findings, finding);
            }
        }
    }
}

void DecodeInstrumentHeader(ByteCursor* cursor, Instrument* instrument, uint32_t number, const FindingSink* findings) {
    const uint32_t offset = cursor->offset;
    uint8_t b[kInstrumentHeaderBytes];
    for (uint8_t& byte : b) byte = ReadByte(cursor);

    instrument->volume = b[0];
    const uint8_t waveLength = b[1] & 7;
    instrument->waveLength = waveLength <= kHighestWaveLength ? waveLength : kHighestWaveLength;
    if (instrument->waveLength != waveLength) {
        ModuleFinding finding = FindingAt(FindingKind::kWaveLengthOutOfRange, FileSection::kInstruments, offset + 1);
        finding.instrument = number;
        finding.found = waveLength;
        finding.used = kHighestWaveLength;
        Report(findings, finding);
    }
    instrument->filterSpeed = static_cast<uint8_t>((b[1] >> 3) | ((b[12] >> 7) << 5));
    Envelope& envelope = instrument->envelope;
    envelope.attackFrames = b[2];
    envelope.attackVolume = b[3];
    envelope.decayFrames = b[4];
    envelope.decayVolume = b[5];
    envelope.sustainFrames = b[6];
    envelope.releaseFrames = b[7];
    envelope.releaseVolume = b[8];
    instrument->filterLowerLimit = b[12] & 0x7F;
    instrument->vibratoDelay = b[13];
    instrument->hardCutRelease = b[14] >> 7;
    instrument->hardCutFrames = (b[14] >> 4) & 7;
    instrument->vibratoDepth = b[14] & 0x0F;
    instrument->vibratoSpeed = b[15];
    instrument->squareLowerLimit = b[16];
    instrument->squareUpperLimit = b[17];
    instrument->squareSpeed = b[18];
    instrument->filterUpperLimit = b[19] & 0x3F;
    instrument->perfList.speed = b[20];
    instrument->perfList.length = b[21];
}
