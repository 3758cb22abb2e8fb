#pragma once
// Helpers for the reader tests: owning Tune pointers, loading built modules, comparing records.
#include <cstdint>
#include <memory>
#include <vector>

#include "builder/module_builder.h"
#include "loader/tune.h"
#include "waves/wave_bank.h"

struct TuneDeleter {
    void operator()(Tune* tune) const { FreeTune(tune); }
};
using TunePtr = std::unique_ptr<Tune, TuneDeleter>;

inline TunePtr LoadBytes(const std::vector<uint8_t>& bytes, int32_t stereoMode = 0) {
    return TunePtr(LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), stereoMode, 44100));
}

inline TunePtr LoadBuilt(const ModuleDescription& description, int32_t stereoMode = 0) {
    return LoadBytes(BuildModule(description), stereoMode);
}

inline std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t length) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
}

// Offset of the name table, as the header states it.
inline uint32_t NameTableOffset(const std::vector<uint8_t>& bytes) {
    return (uint32_t{bytes[4]} << 8) | bytes[5];
}

inline std::vector<int> Fields(const Step& s) {
    return {s.note, s.instrument, s.command1, s.param1, s.command2, s.param2};
}

inline std::vector<int> Fields(const PerfEntry& e) {
    return {e.commands[0], e.commands[1], e.waveform, e.fixed, e.note, e.params[0], e.params[1]};
}

// Pans read the process-wide tables; every suite that loads builds them once.
inline void EnsureWaveTables() {
    static const bool built = (BuildWaveTables(), true);
    (void)built;
}

// Three positions, two subsongs, two tracks of four steps, two instruments (two and no
// performance-list entries), names "Small", "Lead", "Bass".
inline ModuleDescription SmallModule(ModuleFormat format) {
    ModuleDescription d;
    d.format = format;
    d.name = "Small";
    d.trackLength = 4;
    d.positions.resize(3);
    d.positions[1].track[1] = 1;
    d.positions[2].transpose[3] = -12;
    d.subsongs = {1, 2};
    d.tracks = {{BuiltStep{13, 1, 0xC, 0x20, 0, 0}}, {{}, BuiltStep{25, 2, 3, 0x10, 0, 0}}};
    BuiltInstrument lead;
    lead.name = "Lead";
    lead.perfList.resize(2);
    lead.perfList[0].waveform = 3;
    lead.perfList[1].commands[0] = 5;
    BuiltInstrument bass;
    bass.name = "Bass";
    d.instruments = {lead, bass};
    return d;
}
