#pragma once
// Helpers for the tests that play built modules: loading at a rate, rendering, pitch measurement.
#include <cstdint>
#include <memory>
#include <vector>

#include "builder/module_builder.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "replay/replay.h"
#include "waves/wave_bank.h"

namespace render_test {

struct TuneDeleter {
    void operator()(Tune* tune) const { FreeTune(tune); }
};
using TunePtr = std::unique_ptr<Tune, TuneDeleter>;

struct Frame {
    int16_t left;
    int16_t right;
};

inline void BuildTablesOnce() {
    static const bool built = (BuildWaveTables(), true);
    (void)built;
}

// stereoMode (0..4) only matters to THX files.
inline TunePtr Load(const ModuleDescription& description, uint32_t mixFrequency = 44100, int32_t stereoMode = 0) {
    BuildTablesOnce();
    const std::vector<uint8_t> bytes = BuildModule(description);
    return TunePtr(LoadTune(bytes.data(), static_cast<uint32_t>(bytes.size()), stereoMode, mixFrequency));
}

// Renders whole fiftieths of a second, as the sound stream does.
inline std::vector<Frame> Render(Tune* tune, uint32_t decodeCount) {
    const uint32_t framesPerDecode = FramesPerDecode(tune);
    std::vector<Frame> frames(static_cast<size_t>(framesPerDecode) * decodeCount);
    for (uint32_t d = 0; d < decodeCount; ++d) {
        Frame* first = frames.data() + static_cast<size_t>(d) * framesPerDecode;
        DecodeFrame(tune, &first->left, &first->right, sizeof(Frame));
    }
    return frames;
}

// Frequency of the left channel over frames [begin, end): whole cycles between its first and last
// rising zero crossing, divided by the time between them.
inline double MeasureFrequency(const std::vector<Frame>& frames, size_t begin, size_t end, uint32_t mixFrequency) {
    size_t first = 0;
    size_t last = 0;
    uint32_t crossings = 0;
    for (size_t i = begin + 1; i < end; ++i) {
        if (!(frames[i - 1].left < 0 && frames[i].left >= 0)) continue;
        if (crossings == 0) first = i;
        last = i;
        ++crossings;
    }
    // Fewer than two crossings hold no whole cycle.
    if (crossings < 2) return 0.0;
    return (crossings - 1) * static_cast<double>(mixFrequency) / static_cast<double>(last - first);
}

// Clock cycles per second of the replay's period unit.
constexpr double kPeriodClockHz = 3546897.0;

// An instrument that holds a full-volume triangle of 32 samples at the step's note for 5 s.
inline BuiltInstrument HeldTriangle() {
    BuiltInstrument instrument;
    instrument.name = "Triangle";
    instrument.volume = 64;
    instrument.waveLength = 3;
    instrument.envelope.attackFrames = 1;
    instrument.envelope.attackVolume = 64;
    instrument.envelope.decayFrames = 1;
    instrument.envelope.decayVolume = 64;
    instrument.envelope.sustainFrames = 255;
    BuiltPerfEntry entry;
    entry.waveform = 1;  // triangle
    entry.note = 1;      // relative 1: the step's own note
    instrument.perfList = {entry};
    return instrument;
}

// Four HVL channels; voice 0 plays track 1 at position 0, the others the empty track 0.
inline ModuleDescription OneVoiceSong(BuiltStep firstStep) {
    ModuleDescription d;
    d.name = "One voice";
    d.trackLength = 64;
    d.positions.resize(1);
    d.positions[0].track[0] = 1;
    d.tracks = {{}, {firstStep}};
    d.instruments = {HeldTriangle()};
    return d;
}

}  // namespace render_test
