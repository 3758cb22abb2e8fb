// Per-tick voice update: envelope, slides, vibrato, cuts, note delay, final period and volume.
// Expected sequences are worked out by hand, tick by tick, from the definitions.
#include <cmath>

#include "replay/vibrato_table.h"
#include "tests/replay/replay_fixture.h"

namespace {

using FrameTest = ReplayTest;

TEST_F(FrameTest, PeriodSlides) {
    const struct { uint16_t portamento; int16_t offset, target, speed; std::vector<int32_t> offsets; } cases[] = {
        {1, 0, -5, 3, {-3, -5, -5}},  // a portamento stops on its target
        {1, 0, 7, 3, {3, 6, 7}},
        {0, 32760, 0, 10, {-32766, -32756, -32746}},  // a plain slide wraps at 16 bits
    };
    for (const auto& c : cases) {
        SetUp();
        Voice& voice = VoiceAt(0);
        voice.slideOn = 1;
        voice.tonePortamento = c.portamento;
        voice.periodOffset = c.offset;
        voice.portamentoTarget = c.target;
        voice.slideSpeed = c.speed;
        for (const int32_t offset : c.offsets) {
            Frame(0);
            EXPECT_EQ(voice.periodOffset, offset) << c.target;
        }
    }
}

// Note 25 with instrument 1 (steady full-volume envelope ending at level 10), then a step naming
// instrument 1 again. Hard cut 2 at tempo 6: the cut falls on the fifth tick of the step and the
// release over the remaining 2 ticks takes (10 - 64) * 256 / 2 per tick. A note cut EC x without a
// hard cut falls on the x-th tick after the step tick, inside the step only, and releases over 1 tick.
TEST_F(FrameTest, PerTickSequences) {
    const auto cut = VOICE(v.envelopeVolume / 256 * 100 + v.noteVolume);  // envelope level, note volume
    const auto started = VOICE(v.instrument != nullptr);
    const struct { const char* name; std::function<void(Instrument&)> set; Step step; int16_t tempo; Read read;
                   std::vector<int32_t> values; } cases[] = {
        // Attack 64 over 3 ticks (16384 / 3 = 5461 a tick), decay to 32 over 2, sustain 2, release to 0 over 2.
        {"envelope", [](Instrument& i) { i.envelope = Envelope{3, 64, 2, 32, 2, 2, 0}; }, MakeStep(25, 1), 6,
         VOICE(v.envelopeVolume), {5461, 10922, 16384, 12288, 8192, 8192, 8192, 4096, 0, 0}},
        {"volume slide up stops at 64", [](Instrument& i) { i.volume = 62; }, MakeStep(25, 1, 0xA, 0x21), 6,
         VOICE(v.noteVolume), {63, 64, 64}},
        {"volume slide down stops at 0", [](Instrument& i) { i.volume = 2; }, MakeStep(25, 1, 0xA, 0x03), 6,
         VOICE(v.noteVolume), {0, 0}},
        // Depth 15: (255 * 15) >> 7 = 29 at position 16 and floor(-3825 / 128) = -30 at 48.
        {"vibrato after delay 1", [](Instrument& i) { i.vibratoDelay = 1, i.vibratoDepth = 15, i.vibratoSpeed = 16; },
         MakeStep(25, 1), 6, VOICE(v.vibratoOffset), {0, 0, 29, 0, -30, 0}},
        {"hard cut with release", [](Instrument& i) { i.hardCutFrames = 2, i.hardCutRelease = 1; }, MakeStep(25, 1), 6,
         cut, {6464, 6464, 6464, 6464, 3764, 1064}},
        {"hard cut", [](Instrument& i) { i.hardCutFrames = 2; }, MakeStep(25, 1), 6, cut,
         {6464, 6464, 6464, 6464, 6400}},
        {"hard cut longer than the step falls on the step tick", [](Instrument& i) { i.hardCutFrames = 2; },
         MakeStep(25, 1), 1, cut, {6400}},
        {"tempo 0 leaves no ticks for the release: it takes one",
         [](Instrument& i) { i.hardCutFrames = 2, i.hardCutRelease = 1; }, MakeStep(25, 1), 0, cut, {1064}},
        {"note cut", [](Instrument&) {}, MakeStep(25, 1, 0xE, 0xC3), 6, cut, {6464, 6464, 6464, 6400, 6400}},
        {"note cut 0", [](Instrument&) {}, MakeStep(25, 1, 0xE, 0xC0), 6, cut, {6464, 6464}},
        {"cut after the step", [](Instrument&) {}, MakeStep(25, 1, 0xE, 0xC6), 6, cut, std::vector(7, 6464)},
        // A delayed step (E D x, either slot) plays on the x-th tick, or at once when x is 0 or not below the tempo.
        {"note delay 3", [](Instrument&) {}, MakeStep(25, 1, 0xE, 0xD3), 6, started, {0, 0, 0, 1}},
        {"note delay 2 in slot 2", [](Instrument&) {}, MakeStep(25, 1, 0, 0, 0xE, 0xD2), 6, started, {0, 0, 1}},
        {"note delay 6", [](Instrument&) {}, MakeStep(25, 1, 0xE, 0xD6), 6, started, {1}},
        {"note delay 0", [](Instrument&) {}, MakeStep(25, 1, 0xE, 0xD0), 6, started, {1}},
        {"note cut, the instrument's release wins", [](Instrument& i) { i.hardCutRelease = 1; },
         MakeStep(25, 1, 0xE, 0xC2), 6, cut, {6464, 6464, 1064, 1064}},
    };
    for (const auto& c : cases) {
        SetUp();
        Instrument& instrument = AddInstrument();
        instrument.envelope = Envelope{1, 64, 1, 64, 255, 1, 10};
        c.set(instrument);
        tune->tempo = c.tempo;
        StepOf(0, 0) = c.step;
        StepOf(0, 1) = MakeStep(0, 1);
        EXPECT_EQ(PerTick(c.values.size(), c.read), c.values) << c.name;
    }
    for (uint32_t i = 0; i < kVibratoSteps; ++i) {  // the vibrato table: 255 sin(2 pi i / 64), truncated
        EXPECT_EQ(VibratoTable[i], static_cast<int16_t>(255.0 * std::sin(2.0 * M_PI * i / 64.0))) << i;
    }
}

// From track note 37 (period 428), relative performance note 1, all volumes full.
TEST_F(FrameTest, FinalPeriodAndVolume) {
    using Set = std::function<void(Voice&)>;
    const auto period = VOICE(v.audioPeriod);
    const auto volume = VOICE(v.audioVolume);
    const auto ring = VOICE(v.ringPeriod);
    const struct { const char* name; Set set; Read read; int32_t expected; } cases[] = {
        {"performance note 0 sounds one below", [](Voice& v) { v.perfNote = 0; }, period, PeriodTable[36]},
        {"above the table reads note 60", [](Voice& v) { v.trackNote = 60, v.transpose = 5; }, period, 113},
        {"below the table reads note 0", [](Voice& v) { v.trackNote = 1, v.transpose = -5; }, period, 113},
        {"held transpose", [](Voice& v) { v.transpose = 5, v.heldTranspose = 12; }, period, PeriodTable[49]},
        {"fixed note keeps vibrato only", [](Voice& v) { v.perfNote = 10, v.perfNoteFixed = 1, v.transpose = 3,
                                                         v.periodOffset = 50, v.vibratoOffset = 3; },
         period, PeriodTable[10] + 3},
        {"all offsets", [](Voice& v) { v.periodOffset = -20, v.vibratoOffset = 5, v.perfSlideOffset = -3; }, period,
         428 - 20 + 5 - 3},
        {"clamped to the longest period", [](Voice& v) { v.trackNote = 1, v.periodOffset = 100; }, period, 3424},
        {"wraps before the clamp", [](Voice& v) { v.periodOffset = 32000, v.vibratoOffset = 1000; }, period, 113},
        {"no ring period without a ring source", [](Voice& v) { v.ringNote = 5; }, ring, 0},
        {"relative ring note", [](Voice& v) { v.ringNote = 5, v.ringOn = 1, v.periodOffset = 10; }, ring,
         PeriodTable[41] + 10},
        {"fixed ring note", [](Voice& v) { v.ringNote = 5, v.ringOn = v.ringFixed = 1, v.periodOffset = 10; }, ring,
         PeriodTable[5]},
        {"volume", [](Voice& v) { v.envelopeVolume = 10000, v.noteVolume = 50; }, volume, 30},  // 39 * 50 >> 6
        {"volume products", [](Voice& v) { v.perfVolume = 32, v.masterVolume = 16; }, volume, 8},  // 32, then 8
        // A negative product shifts logically after the first step: 0xFFFFFFFF * 64 >> 6, twice.
        {"negative envelope", [](Voice& v) { v.envelopeVolume = -256; }, volume, 0xFFFF},
    };
    for (const auto& c : cases) {
        SetUp();
        Voice& voice = VoiceAt(0);
        voice.trackNote = 37;
        voice.perfNote = 1;
        voice.envelopeVolume = 16384;
        voice.noteVolume = voice.perfVolume = 64;
        c.set(voice);
        Frame(0);
        EXPECT_EQ(c.read(voice), c.expected) << c.name;
    }
}

TEST_F(FrameTest, HardCutLooksAhead) {
    // The look-ahead reads the next position's first step (track nextTrack) on the last step only.
    const struct { int16_t stepIndex; uint8_t nextInstrument, cut; } lookAhead[] = {{3, 1, 1}, {3, 0, 0}, {2, 1, 0}};
    for (const auto& c : lookAhead) {
        SetUp();
        AddInstrument().hardCutFrames = 1;
        tune->trackLength = 4;
        tune->stepIndex = c.stepIndex;
        VoiceAt(0).nextTrack = 20;
        tune->tracks[20].steps[0].instrument = c.nextInstrument;
        StepOf(0, c.stepIndex) = MakeStep(25, 1);
        StepTick(0);
        EXPECT_EQ(VoiceAt(0).noteCutOn, c.cut) << c.stepIndex;
    }
}

}  // namespace
