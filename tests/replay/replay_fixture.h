#pragma once
// A hand-made Tune for replay tests: tempo 6, two positions (voice v plays track v, then v + 16),
// four voices in use, all 16 in their reset state, and the test's own instruments.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <type_traits>
#include <vector>

#include "loader/tune.h"
#include "replay/replay.h"
#include "waves/wave_bank.h"

inline Step MakeStep(uint8_t note, uint8_t instrument = 0, uint8_t command1 = 0, uint8_t param1 = 0,
                     uint8_t command2 = 0, uint8_t param2 = 0) {
    return Step{note, instrument, command1, param1, command2, param2};
}

// A table row's test name: its name with each run of characters other than letters and digits made one '_'.
template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char c : std::string(info.param.name)) {
        if (std::isalnum(static_cast<unsigned char>(c))) name += c;
        else if (!name.empty() && name.back() != '_') name += '_';
    }
    return name;
}

namespace {
// Rows print as their names in test listings and failures.
template <typename Row, typename = decltype(Row::name)>
std::ostream& operator<<(std::ostream& out, const Row& row) { return out << row.name; }
}  // namespace

// A table of named rows run through one test: the fixture, its instantiation and the test's header.
#define TABLE_TEST(Fixture, Base, rows, Test)                                                                \
    class Fixture : public Base, public ::testing::WithParamInterface<std::decay_t<decltype(*rows)>> {};   \
    INSTANTIATE_TEST_SUITE_P(Rows, Fixture, ::testing::ValuesIn(rows), RowName<std::decay_t<decltype(*rows)>>); \
    TEST_P(Fixture, Test)

// Table cells: a reader of one value of a voice, and set-ups of an instrument or a voice.
using Read = std::function<int32_t(const Voice&)>;
#define VOICE(expression) [](const Voice& v) { return static_cast<int32_t>(expression); }
#define INSTRUMENT(...) []([[maybe_unused]] Instrument& i) { __VA_ARGS__; }
#define SET_VOICE(...) [](Voice& v) { __VA_ARGS__; }

class ReplayTest : public ::testing::Test {
public:
    void SetUp() override {
        [[maybe_unused]] static const bool built = (BuildWaveTables(), true);
        tune.reset(static_cast<Tune*>(std::calloc(1, sizeof(Tune))));
        instruments.assign(9, Instrument{});
        entries.assign(9 * 32, PerfEntry{});
        const int8_t* unfiltered = WaveSetStart(kUnfilteredSet + 1);
        tune->waveformBase[kWaveTriangle] = unfiltered + kTrianglesOffset;
        tune->waveformBase[kWaveSawtooth] = unfiltered + kSawtoothsOffset;
        tune->waveformBase[kWaveNoise] = unfiltered + kNoiseOffset;
        tune->positionCount = 2;
        tune->positions = positions;
        tune->positionLoadPending = 1;
        tune->trackLength = 64;
        tune->channelCount = 4;
        tune->instruments = instruments.data();
        tune->tempo = 6;
        tune->formatVersion = 1;
        for (uint32_t v = 0; v < kMaxChannels; ++v) {
            positions[0].track[v] = static_cast<uint8_t>(v);
            positions[1].track[v] = static_cast<uint8_t>(v + 16);
        }
        ResetVoices(tune.get());
    }

    // The next instrument: steady full-volume envelope, wave length 3, the given performance list.
    Instrument& AddInstrument(const std::vector<PerfEntry>& list = {}) {
        const uint32_t number = ++tune->instrumentCount;
        Instrument& instrument = instruments[number];
        instrument.volume = 64;
        instrument.waveLength = 3;
        instrument.envelope = Envelope{1, 64, 1, 64, 0, 1, 64};
        instrument.perfList = PerfList{1, 0, &entries[number * 32]};
        for (const PerfEntry& entry : list) entries[number * 32 + instrument.perfList.length++] = entry;
        return instrument;
    }

    Step& StepOf(uint32_t voice, uint32_t row = 0) {
        return tune->tracks[positions[tune->positionIndex].track[voice]].steps[row];
    }
    Voice& VoiceAt(uint32_t index) { return tune->voices[index]; }
    void Process(uint32_t voice) { ProcessStep(tune.get(), &VoiceAt(voice)); }
    void Frame(uint32_t voice) { UpdateVoiceFrame(tune.get(), &VoiceAt(voice)); }
    void StepTick(uint32_t voice) { Process(voice), Frame(voice); }

    // Voice 0's ticks, the first a step tick unless told otherwise, one value read after each.
    template <typename Reader>
    auto PerTick(size_t ticks, const Reader& read, bool stepFirst = true) {
        std::vector<decltype(read(VoiceAt(0)))> values;
        for (size_t tick = 0; tick < ticks; ++tick) {
            tick == 0 && stepFirst ? StepTick(0) : Frame(0);
            values.push_back(read(VoiceAt(0)));
        }
        return values;
    }

    std::unique_ptr<Tune, decltype(&std::free)> tune{nullptr, &std::free};
    Position positions[8] = {};
    std::vector<Instrument> instruments;
    std::vector<PerfEntry> entries;
};
