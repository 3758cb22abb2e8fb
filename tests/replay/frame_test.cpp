// Per-tick voice update: envelope, slides, vibrato, cuts, note delay, performance list, square and filter
// modulation, sample sources, final period and volume. Expected values are worked out by hand, tick by tick.
#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

#include "replay/vibrato_table.h"
#include "tests/replay/replay_fixture.h"
#include "tests/support/sha256.h"

namespace {

using FrameTest = ReplayTest;
using SetInstrument = std::function<void(Instrument&)>;
using Levels = std::pair<int32_t, int32_t>;  // envelope level (envelopeVolume / 256), note volume

// Note 25 with instrument 1 (steady full volume, release level 10) and the row's commands, then a step naming
// instrument 1 again.
struct Commands { uint8_t command1 = 0, param1 = 0, command2 = 0, param2 = 0; };
class TickTest : public ReplayTest {
public:
    void Start(const SetInstrument& set, const Commands& c, int16_t tempo) {
        Instrument& instrument = AddInstrument();
        instrument.envelope = Envelope{1, 64, 1, 64, 255, 1, 10};
        set(instrument);
        tune->tempo = tempo;
        StepOf(0, 0) = MakeStep(25, 1, c.command1, c.param1, c.command2, c.param2);
        StepOf(0, 1) = MakeStep(0, 1);
    }
};

// Envelope E: attack 16384 / 3 = 5461 a tick (the third tick lands on 16384), decay (32 - 64) * 256 / 2 = -4096,
// sustain 2, release (10 - 32) * 256 / 2 = -2816 to 2560.
void EnvelopeE(Instrument& i) { i.envelope = Envelope{3, 64, 2, 32, 2, 2, 10}; }
SetInstrument HardCutE(int16_t frames) {
    return [=](Instrument& i) { EnvelopeE(i), i.hardCutFrames = frames, i.hardCutRelease = 1; };
}

const Read started = VOICE(v.instrument != nullptr), envelope = VOICE(v.envelopeVolume);
const struct TickRow { const char* name; SetInstrument set; Commands commands; Read read; std::vector<int32_t> values;
                       int16_t tempo = 6; } kTickRows[] = {
    {"volume slide up stops at 64", INSTRUMENT(i.volume = 62), {0xA, 0x21}, VOICE(v.noteVolume), {63, 64, 64}},
    {"volume slide down stops at 0", INSTRUMENT(i.volume = 2), {0xA, 0x03}, VOICE(v.noteVolume), {0, 0}},
    // Depth 15: (255 * 15) >> 7 = 29 at position 16 and floor(-3825 / 128) = -30 at 48.
    {"vibrato after delay 1", INSTRUMENT(i.vibratoDelay = 1, i.vibratoDepth = 15, i.vibratoSpeed = 16), {},
     VOICE(v.vibratoOffset), {0, 0, 29, 0, -30, 0}},
    // A delayed step (E D x, either slot) plays on the x-th tick, or at once when x is 0 or not below the tempo.
    {"note delay 3", INSTRUMENT(), {0xE, 0xD3}, started, {0, 0, 0, 1}},
    {"note delay 2 in slot 2", INSTRUMENT(), {0, 0, 0xE, 0xD2}, started, {0, 0, 1}},
    {"note delay 6", INSTRUMENT(), {0xE, 0xD6}, started, {1}},
    // A note cut armed by the step cancels the instrument's hard cut: its look-ahead then clears hardCutFrames.
    {"a note cut cancels the hard cut", INSTRUMENT(i.hardCutFrames = 2), {0xE, 0xC3}, VOICE(v.hardCutFrames),
     {0, 0, 0, 0, 0, 0}},
    // A hard cut of h ticks falls on tick 12 - h and releases from where the envelope is to 2560 over h ticks,
    // (2560 - volume) / h a tick, truncated toward zero.
    {"envelope E uncut", EnvelopeE, {}, envelope, {5461, 10922, 16384, 12288, 8192, 8192, 8192, 5376, 2560, 2560}, 12},
    // (2560 - 5461) / 11 = -263.
    {"hard cut in the attack", HardCutE(11), {}, envelope, {5461, 5198, 4935, 4672}, 12},
    // (2560 - 12288) / 8 = -1216.
    {"hard cut in the decay", HardCutE(8), {}, envelope, {5461, 10922, 16384, 12288, 11072, 9856}, 12},
    // (2560 - 8192) / 6 = -938.
    {"hard cut in the sustain", HardCutE(6), {}, envelope, {5461, 10922, 16384, 12288, 8192, 8192, 7254, 6316}, 12},
    // (2560 - 5376) / 4 = -704, and the last of the 4 ticks lands on 2560.
    {"hard cut in the release", HardCutE(4), {}, envelope,
     {5461, 10922, 16384, 12288, 8192, 8192, 8192, 5376, 4672, 3968, 3264, 2560, 2560}, 12},
};

TABLE_TEST(TickRowTest, TickTest, kTickRows, Values) {
    const TickRow& c = GetParam();
    Start(c.set, c.commands, c.tempo);
    EXPECT_EQ(PerTick(c.values.size(), c.read), c.values);
}

// Envelope level (envelopeVolume / 256) and note volume after each tick. Hard cut 2 at tempo 6 falls on the step's
// fifth tick and releases over the 2 left, (10 - 64) * 256 / 2 a tick. A note cut EC x without a hard cut falls on
// the x-th tick after the step tick, inside the step only, releasing over 1 tick.
const Levels full{64, 64}, silent{64, 0};
const struct CutRow { const char* name; SetInstrument set; Commands commands; std::vector<Levels> levels;
                      int16_t tempo = 6; } kCutRows[] = {
    {"hard cut with release", INSTRUMENT(i.hardCutFrames = 2, i.hardCutRelease = 1), {},
     {full, full, full, full, {37, 64}, {10, 64}}},
    {"hard cut", INSTRUMENT(i.hardCutFrames = 2), {}, {full, full, full, full, silent}},
    {"hard cut longer than the step falls on the step tick", INSTRUMENT(i.hardCutFrames = 2), {}, {silent}, 1},
    {"tempo 0 leaves no ticks for the release: it takes one", INSTRUMENT(i.hardCutFrames = 2, i.hardCutRelease = 1),
     {}, {{10, 64}}, 0},
    {"note cut", INSTRUMENT(), {0xE, 0xC3}, {full, full, full, silent, silent}},
    {"note cut 0", INSTRUMENT(), {0xE, 0xC0}, {full, full}},
    {"cut after the step", INSTRUMENT(), {0xE, 0xC6}, std::vector(7, full)},
    {"note cut, the instrument's release wins", INSTRUMENT(i.hardCutRelease = 1), {0xE, 0xC2},
     {full, full, {10, 64}, {10, 64}}},
    // Without a release a note cut only silences the note; envelope E goes on through its stages.
    {"note cut in the release", EnvelopeE, {0xE, 0xCB},
     {{21, 64}, {42, 64}, full, {48, 64}, {32, 64}, {32, 64}, {32, 64}, {21, 64}, {10, 64}, {10, 64}, {10, 64},
      {10, 0}}, 12},
};

TABLE_TEST(CutTest, TickTest, kCutRows, Levels) {
    const CutRow& c = GetParam();
    Start(c.set, c.commands, c.tempo);
    EXPECT_EQ(PerTick(c.levels.size(), [](const Voice& v) { return Levels{v.envelopeVolume / 256, v.noteVolume}; }),
              c.levels);
}

TEST(VibratoTable, IsTheSineOfAmplitude255Truncated) {
    for (uint32_t i = 0; i < kVibratoSteps; ++i) {
        EXPECT_EQ(VibratoTable[i], static_cast<int16_t>(255.0 * std::sin(2.0 * M_PI * i / 64.0))) << i;
    }
}

// The format's 61 note periods (0, 3424 ... 113) as little-endian 16-bit values, digested from the numbers
// the format lists, not from this table: the rows below read their periods from it.
TEST(PeriodTable, HoldsTheFormatsPeriods) {
    EXPECT_EQ(Sha256Hex(PeriodTable, sizeof PeriodTable),
              "d7dac928382655794a091d284079c272d9f9faa91deb6eae2d8792cd129a3ada");
}

// From track note 37 (period 428), relative performance note 1, all volumes full; plain ticks.
using SetVoice = std::function<void(Voice&)>;
const Read period = VOICE(v.audioPeriod), ring = VOICE(v.ringPeriod), offset = VOICE(v.periodOffset);
const auto portamento = [](int16_t target) -> SetVoice {
    return [=](Voice& v) { v.slideOn = v.tonePortamento = 1, v.portamentoTarget = target, v.slideSpeed = 3; };
};
const struct PeriodRow { const char* name; SetVoice set; Read read; std::vector<int32_t> values; } kPeriodRows[] = {
    {"portamento down stops on its target", portamento(-5), offset, {-3, -5, -5}},
    {"portamento up stops on its target", portamento(7), offset, {3, 6, 7}},
    {"a plain slide wraps at 16 bits", SET_VOICE(v.slideOn = 1, v.periodOffset = 32760, v.slideSpeed = 10), offset,
     {-32766, -32756, -32746}},
    {"performance note 0 sounds one below", SET_VOICE(v.perfNote = 0), period, {PeriodTable[36]}},
    {"above the table reads note 60", SET_VOICE(v.trackNote = 60, v.transpose = 5), period, {113}},
    {"below the table reads note 0", SET_VOICE(v.trackNote = 1, v.transpose = -5), period, {113}},
    {"held transpose", SET_VOICE(v.transpose = 5, v.heldTranspose = 12), period, {PeriodTable[49]}},
    {"fixed note keeps vibrato only",
     SET_VOICE(v.perfNote = 10, v.perfNoteFixed = 1, v.transpose = 3, v.periodOffset = 50, v.vibratoOffset = 3), period,
     {PeriodTable[10] + 3}},
    {"all offsets", SET_VOICE(v.periodOffset = -20, v.vibratoOffset = 5, v.perfSlideOffset = -3), period,
     {428 - 20 + 5 - 3}},
    {"clamped to the longest period", SET_VOICE(v.trackNote = 1, v.periodOffset = 100), period, {3424}},
    {"wraps before the clamp", SET_VOICE(v.periodOffset = 32000, v.vibratoOffset = 1000), period, {113}},
    {"no ring period without a ring source", SET_VOICE(v.ringNote = 5), ring, {0}},
    {"relative ring note", SET_VOICE(v.ringNote = 5, v.ringOn = 1, v.periodOffset = 10), ring, {PeriodTable[41] + 10}},
    {"fixed ring note", SET_VOICE(v.ringNote = 5, v.ringOn = v.ringFixed = 1, v.periodOffset = 10), ring,
     {PeriodTable[5]}},
    // 10000 >> 8 = 39; 39 * 50 >> 6 = 30; 30 * 32 >> 6 = 15; 15 * 16 >> 6 = 3.
    {"volume", SET_VOICE(v.envelopeVolume = 10000, v.noteVolume = 50, v.perfVolume = 32, v.masterVolume = 16),
     VOICE(v.audioVolume), {3}},
    // A negative product shifts logically after the first step: 0xFFFFFFFF * 64 >> 6, twice.
    {"negative envelope", SET_VOICE(v.envelopeVolume = -256), VOICE(v.audioVolume), {0xFFFF}},
};

TABLE_TEST(PeriodTest, ReplayTest, kPeriodRows, Values) {
    const PeriodRow& c = GetParam();
    Voice& voice = VoiceAt(0);
    std::tie(voice.trackNote, voice.perfNote, voice.envelopeVolume) = std::tuple(37, 1, 16384);
    voice.noteVolume = voice.perfVolume = 64;
    c.set(voice);
    EXPECT_EQ(PerTick(c.values.size(), c.read, false), c.values);
}

TEST_F(FrameTest, HardCutLooksAhead) {
    // The look-ahead reads the next position's first step (track nextTrack) on the last step only.
    const struct { int16_t stepIndex; uint8_t nextInstrument, cut; } lookAhead[] = {{3, 1, 1}, {3, 0, 0}, {2, 1, 0}};
    for (const auto& c : lookAhead) {
        SetUp();
        AddInstrument().hardCutFrames = 1;
        std::tie(tune->trackLength, tune->stepIndex) = std::tuple(4, c.stepIndex);
        VoiceAt(0).nextTrack = 20;
        tune->tracks[20].steps[0].instrument = c.nextInstrument;
        StepOf(0, c.stepIndex) = MakeStep(25, 1);
        StepTick(0);
        EXPECT_EQ(VoiceAt(0).noteCutOn, c.cut) << c.stepIndex;
    }
}

// Note 25 with instrument 1: the row's list, wave length 5 with square limits 10..13 at speed 1.
const auto speed = [](uint16_t speed) -> SetInstrument { return [=](Instrument& i) { i.perfList.speed = speed; }; };
const auto filter = [](uint8_t speed, uint8_t lower, uint8_t upper) -> SetInstrument {
    return [=](Instrument& i) { i.filterSpeed = speed, i.filterLowerLimit = lower, i.filterUpperLimit = upper; };
};
const Read index = VOICE(v.perfIndex), square = VOICE(v.squarePosition), filterAt = VOICE(v.filterPosition);
const PerfEntry slide{0, 0, 0, {0x1, 0}, {4, 0}};
const std::vector<PerfEntry> filterOn{{0, 1, 0, {0x4, 0}, {0x10, 0}}};
const struct ListRow { const char* name; std::vector<PerfEntry> list; Read read; std::vector<int32_t> values;
                       SetInstrument set = speed(1); } kListRows[] = {
    {"entry 0 on the step tick, then every second tick", {{}, {}, {}}, index, {1, 1, 2, 2, 3, 3}, speed(2)},
    {"a jump to 0 waits for the wait", {{}, {0, 0, 0, {0x5, 0}, {0, 0}}}, index, {1, 1, 0, 0, 1, 1}, speed(2)},
    {"speed 0 runs an entry every tick", {{0, 0, 0, {0xF, 0}, {0, 0}}, {}, {}}, index, {1, 2, 3}, speed(3)},
    {"a new speed sets the wait after it", {{0, 0, 0, {0xF, 0}, {3, 0}}, {}}, index, {1, 1, 1, 2}},
    {"after the last entry a slide runs until the wait expires", {slide}, VOICE(v.perfSlideOffset),
     {-4, -8, -12, -12, -12}, speed(2)},
    // A waveform resets the list slide, the slide command sets it again, the fixed note comes last.
    {"entry order", {slide, {12, 2, 1, {0x1, 0}, {4, 0}}}, period, {PeriodTable[24] - 4, PeriodTable[12] - 4}},
    {"waveform 6 names none, keeps the last", {{0, 2, 0, {0, 0}, {0, 0}}, {0, 6, 0, {0, 0}, {0, 0}}},
     VOICE(v.waveform), {1, 1}},
    {"square enters its range, then bounces", {{0, 3, 0, {0x3, 0x4}, {8, 0}}}, square,
     {9, 10, 11, 12, 13, 12, 11, 10, 11}},
    {"square from above comes down", {{0, 3, 0, {0x3, 0x4}, {16, 0}}}, square, {15, 14, 13, 12, 11}},
    // Starting on a limit counts as entering the range: no turn there, the next turn at the other.
    {"square starting on its lower limit", {{0, 3, 0, {0x3, 0x4}, {10, 0}}}, square, {11, 12, 13, 12, 11, 10, 11}},
    {"square starting on its upper limit", {{0, 3, 0, {0x3, 0x4}, {13, 0}}}, square, {12, 11, 10, 11}},
    {"square waits for the square waveform", {{0, 1, 0, {0x3, 0x4}, {8, 0}}}, square, {8, 8, 8}},
    // From 32 upward, turning at 40: below speed 3, 5 - speed units every tick; from 3, one every speed - 3.
    {"filter speed 2", filterOn, filterAt, {35, 38, 39}, filter(2, 20, 40)},
    {"filter speed 6, every 3rd tick", filterOn, filterAt, {33, 33, 33, 34}, filter(6, 20, 40)},
    {"filter limits beyond the bank stop at 63", filterOn, filterAt, {37, 42, 47, 52, 57, 62, 63, 63},
     filter(0, 100, 62)},
    // Downward (hi 15) four units a tick: the running position reaches the limit 0, which is stored as
    // 1; the next tick turns at 0 and climbs.
    {"filter down to limit 0 is stored as 1", {{0, 1, 0, {0x4, 0}, {0xF0, 0}}}, filterAt,
     {28, 24, 20, 16, 12, 8, 4, 1, 3}, filter(1, 0, 40)},
    // Starting on a limit (the instrument start puts the filter at 32): no turn there, and the start
    // sign follows the limit, whatever the switch asked for.
    {"filter starting on its lower limit", filterOn, filterAt, {33, 34, 35}, filter(3, 32, 40)},
    {"filter starting on its upper limit", filterOn, filterAt, {31, 30, 29}, filter(3, 20, 32)},
    // Sources: the set of the filter position, the waveform of the voice's length (2: offset 12, 5: 124).
    {"triangle at filter 10", {{0, 1, 0, {0x0, 0}, {10, 0}}}, VOICE(v.waveSource - WaveSetStart(10) - kTrianglesOffset),
     {12}, INSTRUMENT(i.waveLength = 2)},
    {"sawtooth at filter 63", {{0, 2, 0, {0x0, 0}, {63, 0}}}, VOICE(v.waveSource - WaveSetStart(63) - kSawtoothsOffset),
     {124}},
    {"ring sources are unfiltered", {{0, 1, 0, {0x8, 0x0}, {0x81, 10}}},
     VOICE(v.ringWave - WaveSetStart(32) - kSawtoothsOffset), {124}},
    // A new noise window every tick; the offsets from seed 640 are those the generator's definition lists.
    {"noise at filter 1", {{0, 4, 0, {0x0, 0}, {1, 0}}}, VOICE(v.waveSource - WaveSetStart(1) - kNoiseOffset),
     {128, 26, 1038, 1050, 1058}},
};

TABLE_TEST(ListTest, ReplayTest, kListRows, Values) {
    const ListRow& c = GetParam();
    StepOf(0) = MakeStep(25, 1);
    Instrument& instrument = AddInstrument(c.list);
    std::tie(instrument.waveLength, instrument.squareLowerLimit, instrument.squareUpperLimit, instrument.squareSpeed) =
        std::tuple(5, 10, 13, 1);
    c.set(instrument);
    EXPECT_EQ(PerTick(c.values.size(), c.read), c.values);
}

// A square of width w holds 128 - 2w low samples, then 2w high ones. Widths above 32 fold back to 64 - w (40: 24,
// 33: 31, 63: 1), 32 is half high, 0 and 64 play width 1. At wave length 3 width 16 of 32 samples taken every
// 4th: the last quarter is high.
TEST_F(FrameTest, SquareBuildFoldsAndResamples) {
    const struct { uint16_t waveLength; int16_t position; int32_t highs; } cases[] = {
        {5, 9, 18}, {5, 40, 2 * 24}, {5, 0, 2}, {5, 32, 64}, {5, 33, 62}, {5, 63, 2}, {5, 64, 2}, {3, 4, 8}};
    for (const auto& c : cases) {
        Voice& voice = VoiceAt(0);
        std::tie(voice.filterPosition, voice.waveLength, voice.squarePosition, voice.squareChanged) =
            std::tuple(32, c.waveLength, c.position, 1);
        Frame(0);
        EXPECT_EQ(std::count(voice.squareBuffer, voice.squareBuffer + (4u << c.waveLength), 127), c.highs)
            << c.waveLength << " " << c.position;
        EXPECT_EQ(voice.waveSource, voice.squareBuffer);
    }
    // A step square position on a voice that never started an instrument (filter position 0)
    // builds the unfiltered square; filter position 1 gives another.
    SetUp();
    StepOf(0) = MakeStep(0, 0, 0x9, 0x40);
    StepTick(0);
    const std::vector<int8_t> unfiltered(VoiceAt(0).squareBuffer, VoiceAt(0).squareBuffer + 16);
    for (const int16_t position : {32, 1}) {
        VoiceAt(0).filterPosition = position;
        Frame(0);
        EXPECT_EQ(std::equal(unfiltered.begin(), unfiltered.end(), VoiceAt(0).squareBuffer), position == 32);
    }
}

}  // namespace
