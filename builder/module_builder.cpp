// Serialises a ModuleDescription into HVL or THX bytes. Every field is written as given, masked to
// its width in the file, so that tests can also make modules the readers must refuse or clamp.
#include "builder/module_builder.h"

#include <algorithm>

#include "loader/effect_commands.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kHvlEmptyStepByte = 0x3F;  // '?'
constexpr size_t kMaxWrittenPerfEntries = 255;  // the length byte holds no more

void PutWord(Bytes& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
    out.push_back(static_cast<uint8_t>(value & 0xFF));
}

void SetWord(Bytes& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>((value >> 8) & 0xFF);
    out[at + 1] = static_cast<uint8_t>(value & 0xFF);
}

bool IsEmptyStep(const BuiltStep& step) {
    return step.note == 0 && step.instrument == 0 && step.command1 == 0 && step.param1 == 0 &&
           step.command2 == 0 && step.param2 == 0;
}

// Byte 6 is shared by both headers: track-0 flag, speed and the high bits of the position count.
uint8_t TrackFlagsByte(const ModuleDescription& d) {
    const uint32_t positionCount = static_cast<uint32_t>(d.positions.size());
    return static_cast<uint8_t>((d.omitTrack0 ? 0x80 : 0x00) | (((d.speedMultiplier - 1) & 3) << 5) |
                                ((positionCount >> 8) & 0x0F));
}

uint8_t TrackCount(const ModuleDescription& d) {
    return static_cast<uint8_t>(d.tracks.empty() ? 0 : d.tracks.size() - 1);
}

size_t PerfEntriesWritten(const BuiltInstrument& instrument) {
    return std::min(instrument.perfList.size(), kMaxWrittenPerfEntries);
}

// The 22-byte instrument header both formats share.
void PutInstrumentHeader(Bytes& out, const BuiltInstrument& in) {
    const BuiltEnvelope& e = in.envelope;
    out.push_back(in.volume);
    out.push_back(static_cast<uint8_t>(((in.filterSpeed & 0x1F) << 3) | (in.waveLength & 7)));
    out.push_back(e.attackFrames);
    out.push_back(e.attackVolume);
    out.push_back(e.decayFrames);
    out.push_back(e.decayVolume);
    out.push_back(e.sustainFrames);
    out.push_back(e.releaseFrames);
    out.push_back(e.releaseVolume);
    out.push_back(0);
    out.push_back(0);
    out.push_back(0);
    out.push_back(static_cast<uint8_t>((((in.filterSpeed >> 5) & 1) << 7) | (in.filterLowerLimit & 0x7F)));
    out.push_back(in.vibratoDelay);
    out.push_back(static_cast<uint8_t>(((in.hardCutRelease & 1) << 7) | ((in.hardCutFrames & 7) << 4) |
                                       (in.vibratoDepth & 0x0F)));
    out.push_back(in.vibratoSpeed);
    out.push_back(in.squareLowerLimit);
    out.push_back(in.squareUpperLimit);
    out.push_back(in.squareSpeed);
    out.push_back(in.filterUpperLimit & 0x3F);
    out.push_back(in.perfSpeed);
    out.push_back(static_cast<uint8_t>(PerfEntriesWritten(in)));
}

void PutHvlPerfEntry(Bytes& out, const BuiltPerfEntry& entry) {
    out.push_back(entry.commands[0] & 0x0F);
    out.push_back(static_cast<uint8_t>(((entry.commands[1] & 0x0F) << 3) | (entry.waveform & 7)));
    out.push_back(static_cast<uint8_t>((entry.fixed ? 0x40 : 0x00) | (entry.note & 0x3F)));
    out.push_back(entry.params[0]);
    out.push_back(entry.params[1]);
}

// THX stores 3-bit command codes. Commands it has no code for are written as code 0 with
// parameter 0, which the replay treats as "no filter change", so such an entry does nothing.
struct ThxCommand {
    uint8_t code;
    uint8_t param;
};

ThxCommand ToThxCommand(uint8_t command, uint8_t param) {
    for (uint8_t code = 0; code < 8; ++code) {
        if (kPerfCommandForThxCode[code] == command) return {code, param};
    }
    return {0, 0};
}

void PutThxPerfEntry(Bytes& out, const BuiltPerfEntry& entry) {
    const ThxCommand first = ToThxCommand(entry.commands[0], entry.params[0]);
    const ThxCommand second = ToThxCommand(entry.commands[1], entry.params[1]);
    const uint8_t waveform = entry.waveform & 7;
    out.push_back(static_cast<uint8_t>((second.code << 5) | (first.code << 2) | (waveform >> 1)));
    out.push_back(static_cast<uint8_t>(((waveform & 1) << 7) | (entry.fixed ? 0x40 : 0x00) | (entry.note & 0x3F)));
    out.push_back(first.param);
    out.push_back(second.param);
}

// A step whose note is 0x3F is written as given; readers then take its first byte for the short form.
void PutHvlStep(Bytes& out, const BuiltStep& step, bool longEmptySteps) {
    if (IsEmptyStep(step) && !longEmptySteps) {
        out.push_back(kHvlEmptyStepByte);
        return;
    }
    out.push_back(step.note);
    out.push_back(step.instrument);
    out.push_back(static_cast<uint8_t>(((step.command1 & 0x0F) << 4) | (step.command2 & 0x0F)));
    out.push_back(step.param1);
    out.push_back(step.param2);
}

void PutThxStep(Bytes& out, const BuiltStep& step) {
    out.push_back(static_cast<uint8_t>(((step.note & 0x3F) << 2) | ((step.instrument >> 4) & 3)));
    out.push_back(static_cast<uint8_t>(((step.instrument & 0x0F) << 4) | (step.command1 & 0x0F)));
    out.push_back(step.param1);
}

// Tracks 0..trackCount, each exactly trackLength steps; steps a description leaves out are empty.
void PutTracks(Bytes& out, const ModuleDescription& d) {
    const size_t trackCount = static_cast<size_t>(TrackCount(d)) + 1;
    const BuiltStep empty;
    for (size_t t = d.omitTrack0 ? 1 : 0; t < trackCount; ++t) {
        for (size_t s = 0; s < d.trackLength; ++s) {
            const bool described = t < d.tracks.size() && s < d.tracks[t].size();
            const BuiltStep& step = described ? d.tracks[t][s] : empty;
            if (d.format == ModuleFormat::kHvl) {
                PutHvlStep(out, step, d.hvlLongEmptySteps);
            } else {
                PutThxStep(out, step);
            }
        }
    }
}

void PutInstruments(Bytes& out, const ModuleDescription& d) {
    for (const BuiltInstrument& instrument : d.instruments) {
        PutInstrumentHeader(out, instrument);
        for (size_t i = 0; i < PerfEntriesWritten(instrument); ++i) {
            if (d.format == ModuleFormat::kHvl) {
                PutHvlPerfEntry(out, instrument.perfList[i]);
            } else {
                PutThxPerfEntry(out, instrument.perfList[i]);
            }
        }
    }
}

void PutNameTable(Bytes& out, const ModuleDescription& d) {
    out.insert(out.end(), d.name.begin(), d.name.end());
    out.push_back(0);
    const size_t named = std::min(d.namedInstruments, d.instruments.size());
    for (size_t i = 0; i < named; ++i) {
        out.insert(out.end(), d.instruments[i].name.begin(), d.instruments[i].name.end());
        out.push_back(0);
    }
    if (!d.terminateLastName) out.pop_back();
}

// Header fields up to and including the subsong count; the name-table offset is patched later.
void PutHeader(Bytes& out, const ModuleDescription& d) {
    const bool hvl = d.format == ModuleFormat::kHvl;
    out.push_back(hvl ? 'H' : 'T');
    out.push_back(hvl ? 'V' : 'H');
    out.push_back(hvl ? 'L' : 'X');
    out.push_back(d.version);
    PutWord(out, 0);
    out.push_back(TrackFlagsByte(d));
    out.push_back(static_cast<uint8_t>(d.positions.size() & 0xFF));
    if (hvl) {
        out.push_back(static_cast<uint8_t>((((d.channelCount - 4) & 0x3F) << 2) | ((d.restartPosition >> 8) & 3)));
        out.push_back(static_cast<uint8_t>(d.restartPosition & 0xFF));
    } else {
        PutWord(out, d.restartPosition);
    }
    out.push_back(d.trackLength);
    out.push_back(TrackCount(d));
    out.push_back(static_cast<uint8_t>(d.instruments.size() & 0xFF));
    out.push_back(static_cast<uint8_t>(d.subsongs.size() & 0xFF));
    if (hvl) {
        out.push_back(d.mixGainPercent);
        out.push_back(d.stereoMode);
    }
}

void PutPositions(Bytes& out, const ModuleDescription& d) {
    const size_t channels = d.format == ModuleFormat::kHvl ? d.channelCount : 4;
    for (const BuiltPosition& position : d.positions) {
        for (size_t c = 0; c < channels; ++c) {
            // Channels beyond 16 exist only in malformed files; give them track 0, no transpose.
            out.push_back(c < 16 ? position.track[c] : 0);
            out.push_back(c < 16 ? static_cast<uint8_t>(position.transpose[c]) : 0);
        }
    }
}

}  // namespace

std::vector<uint8_t> BuildModule(const ModuleDescription& description) {
    Bytes out;
    PutHeader(out, description);
    for (uint16_t start : description.subsongs) PutWord(out, start);
    PutPositions(out, description);
    PutTracks(out, description);
    PutInstruments(out, description);
    // The offset field is 16 bits wide; a module longer than that keeps only the low bits.
    SetWord(out, 4, static_cast<uint32_t>(out.size()));
    PutNameTable(out, description);
    out.insert(out.end(), description.trailingBytes.begin(), description.trailingBytes.end());
    return out;
}
