// Step and performance-list commands, step processing and instrument start. Expected values are worked out by hand
// from each command's definition; periods come from the note table.
#include <tuple>
#include <utility>

#include "tests/replay/replay_fixture.h"

namespace {

using StepTest = ReplayTest;

// What a row reads back: fields of the voice, or of the song.
using Fields = std::vector<int64_t>;
using ReadFields = Fields (*)(const Tune&, const Voice&);
#define FIELDS(...) []([[maybe_unused]] const Tune& t, [[maybe_unused]] const Voice& v) { return Fields{__VA_ARGS__}; }
const ReadFields pan = FIELDS(v.storedPan, v.panGainLeft);
const ReadFields filter = FIELDS(v.filterPosition, v.filterOverride);
const ReadFields square = FIELDS(v.squareModOn, v.squareSign);
const ReadFields ring = FIELDS(v.ringWaveform, v.ringOn, v.ringFixed, v.ringNote);
const ReadFields volumes = FIELDS(v.noteVolume, v.perfVolume, v.masterVolume);
const ReadFields target = FIELDS(t.nextPositionIndex, t.nextStepIndex, t.positionChangePending);

// Step commands get both passes, as ProcessStep runs one command slot; list commands are marked.
const bool L = true;  // a performance-list command
const struct CommandRow { const char* name; bool list; std::vector<std::pair<uint8_t, uint8_t>> commands;
                          ReadFields read; Fields expected; } kCommandRows[] = {
    // Volume ranges, from note 30, list 10 and master 10: 0x00..0x40 note, 0x50..0x90 master of every
    // voice in use, 0xA0..0xE0 this voice's master; the gaps between do nothing. A leading 0xA0 sets
    // master 0 first, so a range end that would set 64 is told apart from one ignored.
    {"volume 0x40", !L, {{0xC, 0x40}}, volumes, {64, 10, 10}},
    {"volume 0x41 ignored", !L, {{0xC, 0x41}}, volumes, {30, 10, 10}},
    {"master for all 0x50", !L, {{0xC, 0x50}}, volumes, {30, 10, 0}},
    {"master for all 0x90", !L, {{0xC, 0xA0}, {0xC, 0x90}}, volumes, {30, 10, 64}},
    {"volume 0x91 ignored", !L, {{0xC, 0xA0}, {0xC, 0x91}}, volumes, {30, 10, 0}},
    {"own master 0xA0", !L, {{0xC, 0xA0}}, volumes, {30, 10, 0}},
    {"master for all reaches the four voices in use only", !L, {{0xC, 0x70}},
     FIELDS(v.masterVolume, t.voices[3].masterVolume, t.voices[4].masterVolume), {32, 32, 64}},
    {"own master 0xE0", !L, {{0xC, 0xA0}, {0xC, 0xE0}}, volumes, {30, 10, 64}},
    {"volume 0xE1 ignored", !L, {{0xC, 0xA0}, {0xC, 0xE1}}, volumes, {30, 10, 0}},
    // Filter: 0x01..0x3F an override, 0x41..0x7F a position (parameter - 64) at once, others nothing.
    {"filter 0x01 as override", !L, {{0x4, 0x01}}, filter, {5, 1}},
    {"filter 0x3F as override", !L, {{0x4, 0x3F}}, filter, {5, 63}},
    {"filter 0x40 ignored", !L, {{0x4, 0x40}}, filter, {5, 20}},
    {"filter 0x41 is position 1", !L, {{0x4, 0x41}}, filter, {1, 20}},
    {"filter 0x7F is position 63", !L, {{0x4, 0x7F}}, filter, {63, 20}},
    {"filter 0x80 ignored", !L, {{0x4, 0x80}}, filter, {5, 20}},
    {"filter 0x00 ignored", !L, {{0x4, 0x00}}, filter, {5, 20}},
    {"fine slide up wraps at 16 bits", !L, {{0xE, 0x11}}, FIELDS(v.periodOffset), {32767}},
    {"fine volume up stops at 64", !L, {{0xE, 0xAF}, {0xE, 0xAF}, {0xE, 0xAF}}, volumes, {64, 10, 10}},
    {"fine volume down stops at 0", !L, {{0xE, 0xBF}, {0xE, 0xBF}, {0xE, 0xBF}}, volumes, {0, 10, 10}},
    {"hold transpose", !L, {{0xE, 0xF1}}, FIELDS(v.heldTranspose), {-3}},
    {"jump: nibbles above nine still count", !L, {{0xB, 0x1F}}, target, {25, 0, 1}},
    {"jump: hundreds digit above 9 is ignored", !L, {{0x0, 0x0A}}, target, {0, 0, 0}},
    {"break beyond the track starts at 0", !L, {{0xD, 0x64}}, target, {2, 0, 1}},
    // 909 * 100 + 99 = 90999 does not fit 16 bits: 90999 - 65536 = 25463.
    {"second jump keeps 16 bits", !L, {{0x0, 0x09}, {0xB, 0x09}, {0xB, 0x99}}, target, {25463, 0, 1}},
    {"list: override wins once", L, {{0x0, 40}}, filter, {20, 0}},
    {"list: filter 64 keeps the override", L, {{0x0, 64}}, filter, {5, 20}},
    {"list: filter 0 leaves the waveform", L, {{0x0, 0}}, FIELDS(v.waveformChanged), {0}},
    {"list: filter 1 after the override", L, {{0x0, 40}, {0x0, 1}}, filter, {1, 0}},
    {"list: filter 64 after the override", L, {{0x0, 40}, {0x0, 64}}, filter, {20, 0}},
    {"list: modulation 0x00", L, {{0x4, 0x00}}, square, {1, 1}},
    {"list: modulation 0x0F", L, {{0x4, 0x0F}}, square, {1, -1}},
    {"list: modulation 0x01 twice", L, {{0x4, 0x01}, {0x4, 0x01}}, square, {0, 1}},
    {"list: modulation 0xF0", L, {{0x4, 0xF0}}, FIELDS(v.filterModOn, v.filterSign), {1, -1}},
    {"list: ring absolute 0x3C", L, {{0x7, 0x3C}}, ring, {0, 1, 1, 60}},
    {"list: ring relative 0x81", L, {{0x7, 0x81}}, ring, {0, 1, 0, 1}},
    // Ring notes: 1..60 absolute, 129..188 relative (minus 128), everything else off.
    {"list: ring off by 0", L, {{0x7, 0x3C}, {0x7, 0}}, ring, {0, 0, 0, 0}},
    {"list: ring off by 61", L, {{0x7, 0x3C}, {0x7, 61}}, ring, {0, 0, 0, 0}},
    {"list: ring off by 128", L, {{0x7, 0x3C}, {0x7, 128}}, ring, {0, 0, 0, 0}},
    {"list: ring relative 60 by 188", L, {{0x7, 188}}, ring, {0, 1, 0, 60}},
    {"list: ring off by 189", L, {{0x7, 0x3C}, {0x7, 189}}, ring, {0, 0, 0, 0}},
    {"list: sawtooth ring 188", L, {{0x8, 188}}, ring, {1, 1, 0, 60}},
    // Switching off leaves the ring waveform as it was.
    {"list: sawtooth ring off by 189", L, {{0x8, 1}, {0x8, 189}}, ring, {1, 0, 0, 0}},
    {"list: pan 0x80 is not stored", L, {{0x9, 0x80}}, pan, {128, 254}},
    {"list: perf volume 0x90", L, {{0xC, 0x90}}, FIELDS(v.perfVolume), {0x90 - 0x50}},
    {"list: volume 0x40", L, {{0xC, 0x40}}, volumes, {64, 10, 10}},
    {"list: volume 0x41 ignored", L, {{0xC, 0x41}}, volumes, {30, 10, 10}},
    {"list: perf volume 0x50", L, {{0xC, 0x50}}, volumes, {30, 0, 10}},
    {"list: volume 0x91 ignored", L, {{0xC, 0x91}}, volumes, {30, 10, 10}},
    {"list: own master 0xA0", L, {{0xC, 0xA0}}, volumes, {30, 10, 0}},
    {"list: own master 0xE0", L, {{0xC, 0xE0}}, volumes, {30, 10, 64}},
    {"list: volume 0xE1 ignored", L, {{0xC, 0xE1}}, volumes, {30, 10, 10}},
    // A step's square position (7, set by the step) makes the next list square command skip once.
    {"list: square after a step's", L, {{0x3, 0x40}}, FIELDS(v.squarePosition), {7}},
    {"list: square, second time", L, {{0x3, 0x40}, {0x3, 0x40}}, FIELDS(v.squarePosition), {0x40 >> 2}},
};
#undef FIELDS

TABLE_TEST(CommandTest, ReplayTest, kCommandRows, Sets) {
    const CommandRow& c = GetParam();
    tune->positionIndex = 1;
    Voice& voice = VoiceAt(0);
    std::tie(voice.noteVolume, voice.perfVolume, voice.masterVolume) = std::tuple(30, 10, 10);
    std::tie(voice.filterPosition, voice.filterOverride) = std::tuple(5, 20);
    std::tie(voice.periodOffset, voice.transpose, voice.waveLength, voice.storedPan) = std::tuple(-32768, -3, 3, 128);
    std::tie(voice.squarePosition, voice.squareSetByStep) = std::tuple(7, 1);
    for (const auto& [command, param] : c.commands) {
        if (c.list) ApplyPerfCommand(&voice, command, param);
        if (!c.list) ApplyStepCommandBeforeNote(tune.get(), &voice, command, param);
        if (!c.list) ApplyStepCommandAfterNote(tune.get(), &voice, command, param);
    }
    EXPECT_EQ(c.read(*tune, voice), c.expected);
}

TEST_F(StepTest, VersionZeroFilesHaveNoHold) {
    tune->formatVersion = 0;
    ApplyStepCommandAfterNote(tune.get(), &VoiceAt(0), 0xE, 0xF1);
    EXPECT_EQ(VoiceAt(0).heldTranspose, kNoHeldTranspose);
}

TEST_F(StepTest, InstrumentStart) {
    Instrument& instrument = AddInstrument();
    instrument.envelope = Envelope{4, 64, 8, 32, 5, 0, 10};
    // Limits the wrong way round; a pan gain as a list pan leaves it, vibrato left by an earlier instrument.
    std::tie(instrument.squareLowerLimit, instrument.squareUpperLimit) = std::tuple(0x30, 0x10);
    std::tie(instrument.filterLowerLimit, instrument.filterUpperLimit) = std::tuple(40, 20);
    Voice& voice = VoiceAt(0);
    std::tie(voice.storedPan, voice.panGainLeft, voice.trackNote) = std::tuple(255, 254, 25);
    std::tie(voice.vibratoOffset, voice.vibratoPosition) = std::tuple(77, 9);
    StepOf(0) = MakeStep(0, 1);
    Process(0);
    // Slopes 64 * 256 / 4 and (32 - 64) * 256 / 8, none for a stage of 0 ticks; square limits >> 2 at wave
    // length 3 and put in order, filter limits in order; the stored pan (fully right) again; the old note; vibrato
    // offset and position back to 0.
    EXPECT_EQ(std::vector<int32_t>({voice.attackDelta, voice.decayDelta, voice.releaseDelta, voice.squareLower,
                                    voice.squareUpper, voice.filterLower, voice.filterUpper,
                                    static_cast<int32_t>(voice.panGainLeft), voice.trackNote, voice.vibratoOffset,
                                    voice.vibratoPosition}),
              std::vector<int32_t>({4096, -1024, 0, 0x10 >> 2, 0x30 >> 2, 20, 40, 0, 25, 0, 0}));
    // A step square position is scaled by the wave length of the instrument started with it.
    AddInstrument().waveLength = 2;
    StepOf(0) = MakeStep(0, 2, 0x9, 0x20);
    Process(0);
    EXPECT_EQ(voice.squarePosition, 0x20 >> 3);
}

int32_t Difference(int to, int from) { return int32_t{PeriodTable[to]} - PeriodTable[from]; }
const int16_t kOld = 777;
const int32_t kUp = Difference(30, 20);

// From note 20, target 777 and speed 9, a held transpose of 4: the step with instrument 1 (or none).
const struct PortamentoRow { const char* name; Step step; uint16_t oldNote; int16_t offset; int32_t target, speed; }
    kPortamentoRows[] = {
    {"note, instrument and 3", MakeStep(30, 1, 0x3, 0x08), 20, 55, kUp, 8},
    {"no note keeps the target", MakeStep(0, 0, 0x3, 0x00), 20, 55, kOld, 9},
    {"3 twice: target from 1, speed from 2", MakeStep(30, 0, 0x3, 4, 0x3, 6), 20, 0, kUp, 6},
    {"5 is a portamento too", MakeStep(30, 0, 0x5, 0x21), 20, 0, kUp, 0x21},
    {"portamento in slot 2", MakeStep(30, 0, 0x0, 0x00, 0x3, 2), 20, 0, kUp, 2},
    {"offset already there", MakeStep(30, 0, 0x3, 0), 20, static_cast<int16_t>(kUp), kOld, 9},
    {"notes beyond the table read its end", MakeStep(1, 0, 0x3, 0), 63, 0, Difference(1, 60), 9},
};

TABLE_TEST(PortamentoTest, ReplayTest, kPortamentoRows, Targets) {
    const PortamentoRow& c = GetParam();
    AddInstrument();
    Voice& voice = VoiceAt(0);
    std::tie(voice.trackNote, voice.periodOffset) = std::tuple(c.oldNote, c.offset);
    std::tie(voice.portamentoTarget, voice.slideSpeed, voice.heldTranspose) = std::tuple(kOld, 9, 4);
    StepOf(0) = c.step;
    Process(0);
    EXPECT_EQ(std::tuple(voice.portamentoTarget, voice.slideSpeed), std::tuple(c.target, c.speed));
    EXPECT_EQ(std::tuple(voice.trackNote, voice.slideOn, voice.tonePortamento), std::tuple(c.oldNote, 1, 1))
        << "the target note is not played, the portamento is on";
    EXPECT_EQ(voice.heldTranspose, c.step.note ? kNoHeldTranspose : 4) << "a note ends a hold";
}

// A delay still pending when its step was cut short (a later voice lowered the tempo) must not
// make every following tick replay the next step.
TEST_F(StepTest, StepPlayedNowDropsAStaleDelay) {
    AddInstrument();
    StepOf(0, 0) = MakeStep(5, 0, 0xE, 0xD4);
    StepOf(0, 1) = MakeStep(7, 1);
    VoiceAt(0).volumeSlideUp = 3;
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).volumeSlideUp, 0) << "a deferred step still stops a volume slide at once";
    tune->tempo = 2;
    Frame(0);
    tune->stepIndex = 1;
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).noteDelayOn, 0);
    VoiceAt(0).perfIndex = 5;
    for (int tick = 0; tick < 6; ++tick) Frame(0);
    EXPECT_EQ(VoiceAt(0).perfIndex, 5) << "the instrument was started again";
}

}  // namespace
