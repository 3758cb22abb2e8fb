// Per-tick voice update: envelope, volume slide, period slides, vibrato, cuts, final period and
// volume. Expected sequences are worked out by hand, tick by tick, from the definitions.
#include <cmath>

#include "replay/vibrato_table.h"
#include "tests/replay/replay_fixture.h"

namespace {

using VoiceFrameTest = ReplayTest;

const auto kEnvelope = [](const Voice& v) { return v.envelopeVolume; };
const auto kNoteVolume = [](const Voice& v) { return static_cast<int32_t>(v.noteVolume); };

TEST_F(VoiceFrameTest, EnvelopeStagesSnapToTheirLevels) {
    // Attack 64 over 3 ticks (16384 / 3 = 5461 per tick), decay to 32 over 2, sustain 2, release to 0 over 2.
    AddInstrument().envelope = Envelope{3, 64, 2, 32, 2, 2, 0};
    StepOf(0) = MakeStep(25, 1);
    EXPECT_EQ(PerTick(10, kEnvelope),
              (std::vector<int32_t>{5461, 10922, 16384, 12288, 8192, 8192, 8192, 4096, 0, 0}));
}

TEST_F(VoiceFrameTest, AudioVolumeShifts) {
    struct Case {
        int32_t envelope;
        int16_t note, perf;
        uint8_t master;
        uint16_t expected;
    };
    const Case cases[] = {
        {10000, 50, 64, 64, 30},
        {16384, 64, 64, 64, 64},
        {255 * 256, 64, 64, 64, 255},
        // A negative product shifts logically after the first step: 0xFFFFFFFF * 64 >> 6, twice.
        {-256, 64, 64, 64, 0xFFFF},
    };
    for (const Case& c : cases) {
        Voice& voice = VoiceAt(0);
        voice.envelopeVolume = c.envelope;
        voice.noteVolume = c.note;
        voice.perfVolume = c.perf;
        voice.masterVolume = c.master;
        Frame(0);
        EXPECT_EQ(voice.audioVolume, c.expected) << c.envelope << " " << c.note;
    }
}

TEST_F(VoiceFrameTest, VolumeSlideStaysWithin0To64) {
    AddInstrument().volume = 62;
    StepOf(0) = MakeStep(25, 1, 0xA, 0x21);
    EXPECT_EQ(PerTick(3, kNoteVolume), (std::vector<int32_t>{63, 64, 64}));
    SetUp();
    AddInstrument().volume = 2;
    StepOf(0) = MakeStep(25, 1, 0xA, 0x03);
    EXPECT_EQ(PerTick(2, kNoteVolume), (std::vector<int32_t>{0, 0}));
}

TEST_F(VoiceFrameTest, PeriodSlides) {
    struct Case {
        const char* name;
        uint16_t tonePortamento;
        int16_t offset, target, speed;
        std::vector<int32_t> offsets;
        std::vector<int32_t> changed;
    };
    const Case cases[] = {
        {"portamento stops on the target", 1, 0, -5, 3, {-3, -5, -5}, {1, 1, 0}},
        {"portamento upward", 1, 0, 7, 3, {3, 6, 7}, {1, 1, 1}},
        {"plain slide wraps at 16 bits", 0, 32760, 0, 10, {-32766, -32756, -32746}, {1, 1, 1}},
    };
    for (const Case& c : cases) {
        SetUp();
        Voice& voice = VoiceAt(0);
        voice.slideOn = 1;
        voice.tonePortamento = c.tonePortamento;
        voice.periodOffset = c.offset;
        voice.portamentoTarget = c.target;
        voice.slideSpeed = c.speed;
        std::vector<int32_t> offsets, changed;
        for (size_t tick = 0; tick < c.offsets.size(); ++tick) {
            voice.periodChanged = 0;
            Frame(0);
            offsets.push_back(voice.periodOffset);
            changed.push_back(voice.periodChanged);
        }
        EXPECT_EQ(offsets, c.offsets) << c.name;
        EXPECT_EQ(changed, c.changed) << c.name;
    }
}

TEST_F(VoiceFrameTest, VibratoTableIsATruncatedSine) {
    for (uint32_t i = 0; i < kVibratoSteps; ++i) {
        EXPECT_EQ(VibratoTable[i], static_cast<int16_t>(255.0 * std::sin(2.0 * M_PI * i / 64.0))) << i;
    }
}

TEST_F(VoiceFrameTest, VibratoAfterItsDelay) {
    // Depth 15: (255 * 15) >> 7 = 29 at position 16 and floor(-3825 / 128) = -30 at position 48.
    Instrument& instrument = AddInstrument();
    instrument.vibratoDelay = 1;
    instrument.vibratoDepth = 15;
    instrument.vibratoSpeed = 16;
    StepOf(0) = MakeStep(25, 1);
    const auto offset = [](const Voice& v) { return static_cast<int32_t>(v.vibratoOffset); };
    EXPECT_EQ(PerTick(6, offset), (std::vector<int32_t>{0, 0, 29, 0, -30, 0}));
    // With no performance note (0) the voice sounds one note below the track note.
    EXPECT_EQ(VoiceAt(0).audioPeriod, static_cast<int16_t>(PeriodTable[24]));
}

TEST_F(VoiceFrameTest, AudioPeriod) {
    struct Case {
        const char* name;
        uint16_t perfNote;
        uint8_t fixed;
        uint16_t trackNote;
        int16_t transpose, held, periodOffset, vibrato, perfSlide;
        int16_t expected;
    };
    const Case cases[] = {
        {"note 1 is the track note", 1, 0, 37, 0, 1000, 0, 0, 0, 428},
        {"above the table reads note 60", 1, 0, 60, 5, 1000, 0, 0, 0, 113},
        {"below the table reads note 0", 1, 0, 1, -5, 1000, 0, 0, 0, 113},
        {"held transpose", 1, 0, 37, 0, 12, 0, 0, 0, static_cast<int16_t>(PeriodTable[49])},
        {"fixed note keeps vibrato only", 10, 1, 37, 3, 1000, 50, 3, 0, static_cast<int16_t>(PeriodTable[10] + 3)},
        {"all offsets", 1, 0, 37, 0, 1000, -20, 5, -3, 410},
        {"clamped to the longest period", 1, 0, 1, 0, 1000, 100, 0, 0, 3424},
        {"wraps before the clamp", 1, 0, 37, 0, 1000, 32000, 1000, 0, 113},
    };
    for (const Case& c : cases) {
        Voice& voice = VoiceAt(0);
        voice.perfNote = c.perfNote;
        voice.perfNoteFixed = c.fixed;
        voice.trackNote = c.trackNote;
        voice.transpose = c.transpose;
        voice.heldTranspose = c.held;
        voice.periodOffset = c.periodOffset;
        voice.vibratoOffset = c.vibrato;
        voice.perfSlideOffset = c.perfSlide;
        Frame(0);
        EXPECT_EQ(voice.audioPeriod, c.expected) << c.name;
    }
}

TEST_F(VoiceFrameTest, RingPeriodFollowsTheRingNote) {
    Voice& voice = VoiceAt(0);
    voice.trackNote = 20;
    voice.transpose = 2;
    voice.periodOffset = 10;
    voice.ringNote = 5;
    Frame(0);
    EXPECT_EQ(voice.ringPeriod, 0) << "no ring source yet";
    voice.ringOn = 1;
    Frame(0);
    EXPECT_EQ(voice.ringPeriod, PeriodTable[26] + 10);
    voice.ringFixed = 1;
    Frame(0);
    EXPECT_EQ(voice.ringPeriod, PeriodTable[5]);
}

// Hard cut 2 with release at tempo 6, next step naming an instrument: the cut falls on the fifth
// tick of the step and the release ends on the sixth.
TEST_F(VoiceFrameTest, HardCut) {
    struct Case {
        uint8_t release;
        int16_t tempo;
        std::vector<int32_t> envelope;
        std::vector<int32_t> noteVolume;
    };
    const Case cases[] = {
        {1, 6, {16384, 16384, 16384, 16384, 8192, 0}, {64, 64, 64, 64, 64, 64}},
        {0, 6, {16384, 16384, 16384, 16384, 16384, 16384}, {64, 64, 64, 64, 0, 0}},
        // Tempo below the cut length: the cut falls on every tick of the step.
        {0, 1, {16384}, {0}},
    };
    for (const Case& c : cases) {
        SetUp();
        Instrument& instrument = AddInstrument();
        instrument.envelope = Envelope{1, 64, 1, 64, 255, 1, 0};
        instrument.hardCutFrames = 2;
        instrument.hardCutRelease = c.release;
        tune->tempo = c.tempo;
        StepOf(0, 0) = MakeStep(25, 1);
        StepOf(0, 1) = MakeStep(0, 1);
        std::vector<int32_t> envelope, noteVolume;
        for (size_t tick = 0; tick < c.envelope.size(); ++tick) {
            tick == 0 ? StepTick(0) : Frame(0);
            envelope.push_back(VoiceAt(0).envelopeVolume);
            noteVolume.push_back(VoiceAt(0).noteVolume);
        }
        EXPECT_EQ(envelope, c.envelope) << int(c.release) << " " << c.tempo;
        EXPECT_EQ(noteVolume, c.noteVolume) << int(c.release) << " " << c.tempo;
    }
}

TEST_F(VoiceFrameTest, HardCutLooksIntoTheNextPositionOnTheLastStep) {
    const struct {
        int16_t stepIndex;
        bool instrumentInNextTrack;
        uint8_t expectedCut;
    } cases[] = {{3, true, 1}, {3, false, 0}, {2, true, 0}};
    for (const auto& c : cases) {
        SetUp();
        AddInstrument().hardCutFrames = 1;
        tune->trackLength = 4;
        tune->stepIndex = c.stepIndex;
        VoiceAt(0).nextTrack = 20;
        tune->tracks[20].steps[0].instrument = c.instrumentInNextTrack ? 1 : 0;
        StepOf(0, c.stepIndex) = MakeStep(25, 1);
        StepTick(0);
        EXPECT_EQ(VoiceAt(0).noteCutOn, c.expectedCut) << c.stepIndex;
    }
}

// Tempo 0 leaves no ticks for the release; it then takes one.
TEST_F(VoiceFrameTest, HardCutReleaseAtTempoZeroTakesOneTick) {
    Instrument& instrument = AddInstrument();
    instrument.envelope = Envelope{4, 64, 1, 64, 255, 1, 10};
    instrument.hardCutFrames = 3;
    instrument.hardCutRelease = 1;
    tune->tempo = 0;
    StepOf(0, 0) = MakeStep(25, 1);
    StepOf(0, 1) = MakeStep(0, 1);
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).envelopeVolume, 10 * 256);
}

TEST_F(VoiceFrameTest, NoteCutFallsOnTheXthTickAfterTheStep) {
    AddInstrument();
    StepOf(0) = MakeStep(25, 1, 0xE, 0xC3);
    EXPECT_EQ(PerTick(5, kNoteVolume), (std::vector<int32_t>{64, 64, 64, 0, 0}));
}

TEST_F(VoiceFrameTest, VoiceWithoutInstrumentIsSilent) {
    for (int tick = 0; tick < 4; ++tick) {
        StepTick(0);
        EXPECT_EQ(VoiceAt(0).audioVolume, 0);
    }
}

}  // namespace
