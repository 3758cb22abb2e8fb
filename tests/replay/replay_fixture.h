#pragma once
// A hand-made Tune for replay tests: one allocation like a loaded one, with the test's own
// positions, instruments and performance lists, and all 16 voices in their reset state.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <vector>

#include "loader/tune.h"
#include "replay/replay.h"
#include "waves/wave_bank.h"

inline Step MakeStep(uint8_t note = 0, uint8_t instrument = 0, uint8_t command1 = 0, uint8_t param1 = 0,
                     uint8_t command2 = 0, uint8_t param2 = 0) {
    return Step{note, instrument, command1, param1, command2, param2};
}

class ReplayTest : public ::testing::Test {
public:
    static constexpr uint32_t kPositions = 8;
    static constexpr uint32_t kInstruments = 8;
    static constexpr uint32_t kEntries = 32;

    static void SetUpTestSuite() {
        static bool built = false;
        if (!built) {
            BuildWaveTables();
            built = true;
        }
    }

    void SetUp() override {
        tune.reset(static_cast<Tune*>(std::calloc(1, sizeof(Tune))));
        Tune* t = tune.get();
        t->mixFrequency = 44100;
        const int8_t* unfiltered = WaveSetStart(kUnfilteredSet + 1);
        t->waveformBase[kWaveTriangle] = unfiltered + kTrianglesOffset;
        t->waveformBase[kWaveSawtooth] = unfiltered + kSawtoothsOffset;
        t->waveformBase[kWaveNoise] = unfiltered + kNoiseOffset;
        t->positionCount = 2;
        t->positions = positions;
        t->speedMultiplier = 1;
        t->trackLength = 64;
        t->channelCount = 4;
        t->instruments = instruments;
        t->tempo = 6;
        t->formatVersion = 1;
        for (uint32_t v = 0; v < kMaxChannels; ++v) {
            positions[0].track[v] = static_cast<uint8_t>(v);
            positions[1].track[v] = static_cast<uint8_t>(v + 16);
        }
        ResetVoices(t);
        for (Voice& voice : t->voices) {
            voice.storedPan = 128;
            voice.panGainLeft = panTables.panLeft[128];
            voice.panGainRight = panTables.panRight[128];
        }
    }

    // Instrument n (1-based) with a steady full-volume envelope and an empty performance list.
    Instrument& AddInstrument() {
        Tune* t = tune.get();
        const uint32_t number = ++t->instrumentCount;
        Instrument& instrument = instruments[number];
        instrument.volume = 64;
        instrument.waveLength = 3;
        instrument.envelope = Envelope{1, 64, 1, 64, 0, 1, 64};
        instrument.perfList = PerfList{1, 0, entries[number]};
        return instrument;
    }

    // Appends an entry to instrument n's performance list.
    PerfEntry& AddEntry(uint32_t number) {
        PerfList& list = instruments[number].perfList;
        return list.entries[list.length++];
    }

    Step& StepOf(uint32_t voice, uint32_t row = 0) {
        Tune* t = tune.get();
        return t->tracks[t->positions[t->positionIndex].track[voice]].steps[row];
    }
    Voice& VoiceAt(uint32_t index) { return tune->voices[index]; }
    // The tune's bytes, to show that something changed nothing.
    std::vector<uint8_t> Snapshot() const {
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(tune.get());
        return std::vector<uint8_t>(bytes, bytes + sizeof(Tune));
    }

    void Process(uint32_t voice) { ProcessStep(tune.get(), &VoiceAt(voice)); }
    void Frame(uint32_t voice) { UpdateVoiceFrame(tune.get(), &VoiceAt(voice)); }
    // A step tick for one voice: the step, then the tick's frame update.
    void StepTick(uint32_t voice) {
        Process(voice);
        Frame(voice);
    }

    // Instrument 1 with these performance-list entries, started by voice 0's first step at note 25.
    Instrument& StartWithList(std::initializer_list<PerfEntry> list, uint16_t speed = 1) {
        Instrument& instrument = AddInstrument();
        instrument.perfList.speed = speed;
        for (const PerfEntry& entry : list) {
            AddEntry(1) = entry;
        }
        StepOf(0) = MakeStep(25, 1);
        return instrument;
    }

    // Voice 0's step tick, then plain ticks: one value read after each. The output setup that
    // would clear periodChanged does not run, so it is cleared here.
    template <typename Read>
    std::vector<int32_t> PerTick(int ticks, Read read) {
        std::vector<int32_t> values;
        for (int tick = 0; tick < ticks; ++tick) {
            tick == 0 ? StepTick(0) : Frame(0);
            values.push_back(static_cast<int32_t>(read(VoiceAt(0))));
            VoiceAt(0).periodChanged = 0;
        }
        return values;
    }

    struct FreeTuneBlock {
        void operator()(Tune* t) const { std::free(t); }
    };
    std::unique_ptr<Tune, FreeTuneBlock> tune;
    Position positions[kPositions] = {};
    Instrument instruments[kInstruments + 1] = {};
    PerfEntry entries[kInstruments + 1][kEntries] = {};
};
