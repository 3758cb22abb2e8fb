// The module readers, the Tune block, song start and a hostile-input sweep, each run on HVL and THX.
// Expected values are the ones the formats state or worked out by hand from their byte layouts.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "builder/module_builder.h"
#include "loader/tune.h"
#include "tests/support/engine_render.h"
#include "waves/wave_bank.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Ints = std::vector<int>;
using Names = std::vector<std::string>;
TunePtr LoadBuilt(const ModuleDescription& d, int32_t stereoMode = 0) { return LoadBytes(BuildModule(d), stereoMode); }
Bytes Prefix(const Bytes& bytes, size_t length) { return Bytes(bytes.begin(), bytes.begin() + long(length)); }
uint32_t NameTableOffset(const Bytes& bytes) { return (uint32_t{bytes[4]} << 8) | bytes[5]; }
Ints Fields(const Step& s) { return {s.note, s.instrument, s.command1, s.param1, s.command2, s.param2}; }
Ints Fields(const PerfEntry& e) {
    return {e.commands[0], e.commands[1], e.waveform, e.fixed, e.note, e.params[0], e.params[1]};
}

class LoaderTest : public ::testing::TestWithParam<ModuleFormat> {
protected:
    static void SetUpTestSuite() { BuildWaveTables(); }  // pans read the process-wide tables
    static bool Hvl() { return GetParam() == ModuleFormat::kHvl; }
    // Three positions, subsongs {1, 2}, two tracks of four steps (one full step each), instruments
    // "Lead" (two perf entries, the first with waveform 3) and "Bass" (none); song name "Small".
    static ModuleDescription Small() {
        ModuleDescription d;
        d.format = GetParam();
        d.name = "Small";
        d.trackLength = 4;
        d.subsongs = {1, 2};
        d.positions.resize(3);
        d.positions[1].track[1] = 1;
        d.positions[2].transpose[3] = -12;
        d.tracks = {{BuiltStep{13, 1, 0xC, 0x20, 0, 0}}, {{}, BuiltStep{25, 50, 3, 0x10, 0, 0}}};
        d.instruments.resize(2);
        d.instruments[0].name = "Lead";
        d.instruments[0].perfList = {BuiltPerfEntry{0, 3}, BuiltPerfEntry{0, 0, false, {5, 0}}};
        d.instruments[1].name = "Bass";
        return d;
    }
};
INSTANTIATE_TEST_SUITE_P(BothFormats, LoaderTest, ::testing::Values(ModuleFormat::kHvl, ModuleFormat::kAhx));

// Which versions, magics and counts are refused is the library's table (tests/library).
TEST_P(LoaderTest, HeaderFields) {
    ModuleDescription d = Small();
    std::tie(d.speedMultiplier, d.channelCount, d.positions[2].track[15]) = std::tuple(3, 16, 200);  // THX: 4 channels
    d.version = 0;
    const TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->formatVersion, 0);
    // Triangles, sawtooths and noise at the stated bank offsets; squares come from the voice.
    const int8_t* const* base = tune->waveformBase;
    EXPECT_EQ(Ints({tune->speedMultiplier, tune->channelCount, tune->positions[2].track[15],
                    int(base[0] - waveBank.samples), int(base[1] - waveBank.samples), base[2] == nullptr,
                    int(base[3] - waveBank.samples)}),
              Ints({3, Hvl() ? 16 : 4, Hvl() ? 200 : 0, 202120, 202372, 1, 206720}));
    // EF1 never acts in THX tunes, whatever their revision.
    d.version = 1;
    EXPECT_EQ(LoadBuilt(d)->formatVersion, Hvl() ? 1 : 0);
    EXPECT_TRUE(LoadTune(nullptr, 0, 0, 44100) == nullptr && ReadAhxTune(nullptr, 0, 0, 44100) == nullptr);
    FreeTune(nullptr);  // does nothing
}

// Restart is clamped to the last position, or 0 in an empty song, which loads with only the
// placeholder instrument. HVL keeps restart bits 9..8 next to the channel count (16 here): 512 and up need them.
TEST_P(LoaderTest, RestartStaysInsideThePositionList) {
    const uint16_t cases[][3] = {{40, 39, 39}, {40, 40, 39}, {20, 300, 19}, {400, 0x120, 288}, {5, 4, 4}, {0, 7, 0},
                                 {600, 512, 512}, {1000, 0x3E7, 999}, {1000, 0x3FF, 999}, {1000, 0x2FF, 767}};
    for (const auto& [positions, restart, stored] : cases) {
        ModuleDescription d = Small();
        d.positions.resize(positions);
        std::tie(d.restartPosition, d.channelCount) = std::tuple(restart, 16);
        d.instruments.clear();
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr) << positions;
        EXPECT_EQ(tune->restartPosition, stored) << positions << " " << restart;
    }
}

TEST_P(LoaderTest, OmittedTrackZeroAndTheZeroFilledTrackStore) {
    ModuleDescription d = Small();
    std::tie(d.omitTrack0, d.hvlLongEmptySteps) = std::tuple(true, true);  // HVL: empty steps as 5 zero bytes
    TunePtr tune = LoadBuilt(d);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->tracks[1].steps[1]), Ints({25, 50, 3, 0x10, 0, 0})) << "the first stored track is 1";
    // Track 0, steps past trackLength and tracks past trackCount are all empty steps.
    for (uint32_t t = 0; t < kMaxTracks; ++t) {
        for (uint32_t s = (t == 1 ? 4 : 0); s < kMaxTrackLength; ++s) {
            ASSERT_EQ(Fields(tune->tracks[t].steps[s]), Fields(Step{})) << t << ":" << s;
        }
    }
    d.tracks.resize(1);  // trackCount 0: no step bytes at all
    const Bytes bytes = BuildModule(d);
    // Header, 2 subsongs, 3 positions of 4 channels, instrument 1 (22 + 2 entries), instrument 2.
    EXPECT_EQ(NameTableOffset(bytes), Hvl() ? 16u + 4 + 24 + 32 + 22 : 14u + 4 + 24 + 30 + 22);
    tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(tune->instruments[1].perfList.entries[0].waveform, 3);
}

// A 200-byte song name keeps 127 bytes and a zero; a table offset at or past the end gives empty names.
TEST_P(LoaderTest, NamesStopAtTheEndOfTheFile) {
    ModuleDescription d = Small();
    d.name = std::string(200, 'x');
    const Bytes whole = BuildModule(d);
    const uint32_t table = NameTableOffset(whole), size = static_cast<uint32_t>(whole.size());
    const std::string kept(127, 'x');
    const std::tuple<uint32_t, uint32_t, Names> cases[] = {  // file bytes, table offset, names
        {size, table, {kept, "Lead", "Bass"}}, {size - 3, table, {kept, "Lead", "Ba"}},
        {table + 201, table, {kept, "", ""}},  {table + 2, table, {"xx", "", ""}},
        {size, size, {"", "", ""}},            {size, 0xFFFF, {"", "", ""}}};
    for (const auto& [fileBytes, tableOffset, names] : cases) {
        Bytes bytes = Prefix(whole, fileBytes);
        std::tie(bytes[4], bytes[5]) = std::tuple(uint8_t(tableOffset >> 8), uint8_t(tableOffset));
        TunePtr tune = LoadBytes(bytes);
        ASSERT_NE(tune, nullptr) << fileBytes;
        EXPECT_EQ(Names({tune->name, tune->instruments[1].name, tune->instruments[2].name}), names) << fileBytes;
    }
}

// Hand-made bytes patched into track 1 step 1 and instrument 2 (header and one perf entry). HVL step:
// note 200 and instrument 70 (kept as stored), commands 3 and 0xE; THX step 2D 5C 80: note 11,
// instrument 21, command 12, param 0x80. Perf entry: commands 0xA / code 6 (12) and 9 / code 7 (15),
// waveform 4, fixed, note 0x2A, params 0x12, 0x34; unread HVL bits set. Header: volume 64; 0xAD:
// filterSpeed bits 4..0 0x15, waveLength 5; envelope 1..7; three unread bytes; 0xC5: filterSpeed bit 5,
// filterLowerLimit 0x45; vibratoDelay 9; 0xD7: hardCutRelease 1, hardCutFrames 5, vibratoDepth 7;
// vibratoSpeed 10; square lower, upper, speed 11..13; 0xE9: filterUpperLimit 0x29 (bits 7, 6 unread);
// perf speed 14, length 1. Instrument 1 is built one past the limits: waveLength 6 is stored as 5, perf
// waveform 5 as 0; note 63 and envelope frame counts 0 stay (the replay engine guards their use).
TEST_P(LoaderTest, StepInstrumentAndPerfEntryBytes) {
    ModuleDescription d = Small();
    d.instruments[1].perfList.resize(1);
    std::tie(d.instruments[0].waveLength, d.instruments[0].perfList[0]) = std::tuple(6, BuiltPerfEntry{63, 5});
    d.instruments[0].envelope = BuiltEnvelope{0, 64, 0, 32, 0, 0, 0};
    Bytes bytes = BuildModule(d);
    const Bytes step = Hvl() ? Bytes{200, 70, 0x3E, 0x10, 0xF1} : Bytes{0x2D, 0x5C, 0x80};
    const Bytes entry = Hvl() ? Bytes{0xFA, 0xCC, 0xEA, 0x12, 0x34} : Bytes{0xFA, 0x6A, 0x12, 0x34};
    const Bytes head = {0x40, 0xAD, 1, 2, 3, 4, 5, 6, 7, 0xEE, 0xEE, 0xEE, 0xC5, 9, 0xD7, 10, 11, 12, 13, 0xE9, 14, 1};
    // Header, 2 subsongs, 3 positions, track 0 (one full step and three '?' / 4 steps of 3), step 0.
    std::copy(step.begin(), step.end(), bytes.begin() + (Hvl() ? 16 + 4 + 24 + 8 + 1 : 14 + 4 + 24 + 12 + 3));
    const auto at = bytes.begin() + (NameTableOffset(bytes) - entry.size());
    std::copy(entry.begin(), entry.end(), at);
    std::copy(head.begin(), head.end(), at - 22);
    TunePtr tune = LoadBytes(bytes);
    ASSERT_NE(tune, nullptr);
    EXPECT_EQ(Fields(tune->tracks[1].steps[1]),
              Hvl() ? Ints({200, 70, 3, 0x10, 0xE, 0xF1}) : Ints({11, 21, 12, 0x80, 0, 0}));
    EXPECT_EQ(Ints({tune->positions[1].track[1], tune->positions[2].transpose[3]}), Ints({1, -12}));
    const Instrument& i = tune->instruments[2];
    const Envelope& e = i.envelope;
    EXPECT_EQ(Ints({i.volume, i.waveLength, i.filterSpeed, i.filterLowerLimit, i.filterUpperLimit, e.attackFrames,
                    e.attackVolume, e.decayFrames, e.decayVolume, e.sustainFrames, e.releaseFrames, e.releaseVolume,
                    i.vibratoDelay, i.hardCutRelease, i.hardCutFrames, i.vibratoDepth, i.vibratoSpeed,
                    i.squareLowerLimit, i.squareUpperLimit, i.squareSpeed, i.perfList.speed, i.perfList.length}),
              Ints({64, 5, 0x35, 0x45, 0x29, 1, 2, 3, 4, 5, 6, 7, 9, 1, 5, 7, 10, 11, 12, 13, 14, 1}));
    EXPECT_EQ(Fields(i.perfList.entries[0]), Ints({Hvl() ? 0xA : 12, Hvl() ? 9 : 15, 4, 1, 0x2A, 0x12, 0x34}));
    const Instrument& lead = tune->instruments[1];
    EXPECT_EQ(Ints({lead.waveLength, lead.envelope.attackFrames, lead.envelope.releaseFrames}), Ints({5, 0, 0}));
    EXPECT_EQ(Fields(lead.perfList.entries[0]), Ints({0, 0, 0, 0, 63, 0, 0})) << "note 63 next to a clear fixed bit";
}

// HVL takes mode and gain percent from its header and ignores the argument; THX takes the mode from
// the argument (unknown ones play as 0) and its gain from the mode: 71, 72, 76, 85, 100 % of 256,
// truncated. Both formats share the pans of each mode.
TEST_P(LoaderTest, StereoModePansAndMixGain) {
    const int cases[][8] = {  // HVL?, header mode, gain percent, argument; stored mode, pans, mixGain
        {1, 0, 100, 4, 0, 128, 128, 256}, {1, 2, 255, 4, 2, 64, 193, 652},  {1, 4, 50, 0, 4, 0, 255, 128},
        {1, 5, 100, 4, 0, 128, 128, 256}, {1, 255, 0, 4, 0, 128, 128, 0},   {0, 0, 0, 0, 0, 128, 128, 181},
        {0, 0, 0, 1, 1, 96, 160, 184},    {0, 0, 0, 2, 2, 64, 193, 194},    {0, 0, 0, 3, 3, 32, 225, 217},
        {0, 0, 0, 4, 4, 0, 255, 256},     {0, 0, 0, 5, 0, 128, 128, 181},   {0, 0, 0, -1, 0, 128, 128, 181}};
    for (const auto& c : cases) {
        if (c[0] != Hvl()) continue;
        ModuleDescription d = Small();
        std::tie(d.stereoMode, d.mixGainPercent) = std::tuple(c[1], c[2]);
        TunePtr t = LoadBuilt(d, c[3]);
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(Ints({int(t->stereoMode), int(t->defaultPanLeft), int(t->defaultPanRight), int(t->mixGain)}),
                  Ints(c + 4, c + 8)) << c[1] << " " << c[3];
    }
}

// Songs 0 to subsongCount start from any played state: at position 0 or their subsong list entry
// (0 for a stored start not below positionCount), first step, tempo 6, every voice reset but keeping
// the pans song start gave it: each group of four voices, all 16, left, right, right, left (stereo
// mode 2: 64, 193). One more song is refused and changes nothing.
TEST_P(LoaderTest, StartSubsong) {
    ModuleDescription d = Small();
    d.positions.resize(10);
    d.subsongs = {4, 9, 2, 10, 0xFFFF};
    d.stereoMode = 2;
    TunePtr tune = LoadBuilt(d, 2);
    ASSERT_NE(tune, nullptr);
    Tune& t = *tune;
    const int start[] = {0, 4, 9, 2, 0, 0};
    for (uint32_t song = 0; song <= 5; ++song) {
        std::tie(t.positionIndex, t.tempo, t.stepIndex, t.stepWait, t.nextPositionIndex) = std::tuple(7, 3, 5, 2, 2);
        std::tie(t.positionLoadPending, t.positionChangePending, t.nextStepIndex) = std::tuple(0, 1, 3);
        for (Voice& voice : t.voices) std::memset(&voice, 0x5A, sizeof(Voice));
        ASSERT_EQ(StartSubsong(&t, song), 1u) << song;
        EXPECT_EQ(Ints({t.positionIndex, t.tempo, t.stepIndex, t.stepWait, t.positionLoadPending,
                        t.positionChangePending, t.nextPositionIndex, t.nextStepIndex}),
                  Ints({start[song], 6, 0, 0, 1, 0, 0, 0}));
        for (uint32_t v = 0; v < kMaxChannels; ++v) {
            const Voice& o = t.voices[v];
            const uint32_t pan = (v % 4 == 0 || v % 4 == 3) ? 64 : 193;
            EXPECT_EQ(Ints({o.heldTranspose, int(o.sampleStep), int(o.noiseSeed), o.voiceIndex, o.masterVolume,
                            o.instrument == nullptr}), Ints({1000, 1, 640, int(v), 64, 1})) << "voice " << v;
            EXPECT_EQ(std::vector<uint32_t>({o.storedPan, o.panGainLeft, o.panGainRight}),
                      std::vector<uint32_t>({pan, panTables.panLeft[pan], panTables.panRight[pan]})) << "voice " << v;
        }
    }
    const Bytes before(reinterpret_cast<const uint8_t*>(&t), reinterpret_cast<const uint8_t*>(&t + 1));
    EXPECT_EQ(StartSubsong(&t, 6), 0u);
    EXPECT_EQ(std::memcmp(before.data(), &t, sizeof(Tune)), 0) << "a refused song changes nothing";
}

// THX revision 0 keeps only the low digit of command 4's parameter, in either slot; 12 and 15 are
// never masked, nor is anything in HVL files (version 0 for revision 0, else 1).
TEST_P(LoaderTest, OnlyThxRevisionZeroMasksModulationParams) {
    const uint8_t cases[][7] = {  // revision, command, param, command, param, stored params
        {0, 4, 0x35, 4, 0xF1, 0x05, 0x01}, {1, 4, 0x35, 4, 0xF1, 0x35, 0xF1},   {2, 4, 0x35, 0, 0x35, 0x35, 0x35},
        {0, 4, 0x05, 3, 0x35, 0x05, 0x35}, {0, 12, 0x35, 15, 0xF4, 0x35, 0xF4}, {0, 5, 0x35, 1, 0xFF, 0x35, 0xFF}};
    for (const auto& c : cases) {
        ModuleDescription d = Small();
        d.version = Hvl() ? std::min<uint8_t>(c[0], 1) : c[0];
        d.instruments[0].perfList[0] = BuiltPerfEntry{0, 0, false, {c[1], c[3]}, {c[2], c[4]}};
        TunePtr tune = LoadBuilt(d);
        ASSERT_NE(tune, nullptr);
        EXPECT_EQ(Fields(tune->instruments[1].perfList.entries[0]),
                  Ints({c[1], c[3], 0, 0, 0, c[Hvl() ? 2 : 5], c[Hvl() ? 4 : 6]}))
            << "revision " << int{c[0]} << ", commands " << int{c[1]} << " " << int{c[3]};
    }
}

bool WithinModelLimits(const Tune& t) {
    bool ok = t.channelCount >= 4 && t.channelCount <= 16 && t.positionCount <= 1000 && t.trackLength <= 64 &&
              t.instrumentCount <= 64 && t.stereoMode <= 4 && t.speedMultiplier >= 1 && t.speedMultiplier <= 4 &&
              (t.positionCount == 0 || t.restartPosition < t.positionCount) && t.name[kNameBytes - 1] == 0;
    for (uint32_t s = 0; s < t.subsongCount; ++s) ok = ok && t.subsongList[s] < std::max<uint32_t>(t.positionCount, 1);
    for (uint32_t i = 1; i <= t.instrumentCount; ++i) {
        const Instrument& in = t.instruments[i];
        ok = ok && in.waveLength <= 5 && in.perfList.length >= 0 && in.name[kNameBytes - 1] == 0;
        for (int32_t e = 0; e < in.perfList.length; ++e) ok = ok && in.perfList.entries[e].waveform <= 4;
    }
    return ok;
}

// Hostile input: every prefix of two built modules per format (newest version; version 0 without
// track 0, HVL empty steps as 5 zero bytes) and every value of every byte give null or a Tune inside
// the model's limits; under the sanitizer build, no reader touches memory outside the file or the
// block. Every section must fit: only cuts inside the name table may load.
TEST_P(LoaderTest, EveryPrefixAndEveryByteValue) {
    for (const bool oldest : {false, true}) {
        ModuleDescription d = Small();  // six HVL channels, a restart, three subsongs, a third perf entry
        std::tie(d.version, d.omitTrack0, d.hvlLongEmptySteps) = std::tuple(oldest ? 0 : Hvl() ? 1 : 2, oldest, oldest);
        std::tie(d.channelCount, d.restartPosition) = std::tuple(Hvl() ? 6 : 4, 2);
        d.subsongs = {1, 4, 3};
        d.positions.resize(5);
        d.instruments[1].perfList = {{}, {}, BuiltPerfEntry{0, 2, false, {0, 4}, {0, 0x5F}}};
        const Bytes bytes = BuildModule(d);
        for (size_t length = 0; length <= bytes.size(); ++length) {
            TunePtr tune = LoadBytes(Prefix(bytes, length));  // exactly this long, for the sanitizer
            ASSERT_EQ(tune != nullptr, length >= NameTableOffset(bytes)) << oldest << " length " << length;
            ASSERT_TRUE(tune == nullptr || WithinModelLimits(*tune)) << oldest << " length " << length;
        }
        // Every byte, not only the header: section lengths hide in instrument headers and steps too.
        for (size_t offset = 0; offset < bytes.size(); ++offset) {
            for (uint32_t value = 0; value < 256; ++value) {
                Bytes changed = bytes;
                changed[offset] = static_cast<uint8_t>(value);
                TunePtr tune = LoadBytes(changed);
                if (tune == nullptr) continue;
                ASSERT_TRUE(WithinModelLimits(*tune)) << oldest << " byte " << offset << " = " << value;
                for (uint32_t song = 0; song <= tune->subsongCount; ++song) StartSubsong(tune.get(), song);
            }
        }
    }
}

}  // namespace
