// Step processing and instrument start. Periods come from the note table; the rest is worked
// out by hand from the definitions.
#include <algorithm>

#include "tests/replay/replay_fixture.h"

namespace {

using ProcessStepTest = ReplayTest;

int32_t PeriodDifference(uint32_t toNote, uint32_t fromNote) {
    return static_cast<int32_t>(PeriodTable[toNote]) - static_cast<int32_t>(PeriodTable[fromNote]);
}

TEST_F(ProcessStepTest, InstrumentStart) {
    Instrument& instrument = AddInstrument();
    instrument.envelope = Envelope{4, 64, 8, 32, 5, 0, 10};
    instrument.squareLowerLimit = 0x30;  // limits the wrong way round
    instrument.squareUpperLimit = 0x10;
    instrument.filterLowerLimit = 40;
    instrument.filterUpperLimit = 20;
    Voice& voice = VoiceAt(0);
    voice.storedPan = 0;
    voice.periodOffset = 99;
    voice.masterVolume = 20;
    voice.trackNote = 25;
    StepOf(0) = MakeStep(0, 1);
    Process(0);
    EXPECT_EQ(voice.attackDelta, 64 * 256 / 4);
    EXPECT_EQ(voice.decayDelta, (32 - 64) * 256 / 8);
    EXPECT_EQ(voice.releaseDelta, 0) << "a stage of 0 ticks has no slope";
    EXPECT_EQ(voice.squareLower * 100 + voice.squareUpper, (0x10 >> 2) * 100 + (0x30 >> 2));
    EXPECT_EQ(voice.filterLower * 100 + voice.filterUpper, 2040);
    EXPECT_EQ(voice.panGainLeft, 254u) << "back to the stored pan";
    EXPECT_EQ(voice.periodOffset, 0);
    EXPECT_EQ(voice.masterVolume, 20);
    EXPECT_EQ(voice.trackNote, 25) << "an instrument alone restarts the previous note";

    // Slopes are stored in 16 bits: 255 * 256 = 65280 wraps to -256, and -65280 to 256.
    instrument.envelope = Envelope{1, 255, 1, 0, 0, 0, 0};
    Process(0);
    EXPECT_EQ(voice.attackDelta * 1000 + voice.decayDelta, -256 * 1000 + 256);

    StepOf(0) = MakeStep(0, 2);
    voice.instrument = nullptr;
    Process(0);
    EXPECT_EQ(voice.instrument, nullptr) << "instrument numbers beyond the tune are ignored";
}

TEST_F(ProcessStepTest, NoteAloneKeepsTheInstrumentRunning) {
    AddInstrument();
    StepOf(0, 0) = MakeStep(10, 1);
    StepOf(0, 1) = MakeStep(20, 0, 0xE, 0xF1);
    StepTick(0);
    Voice& voice = VoiceAt(0);
    voice.heldTranspose = 4;
    voice.transpose = 7;
    const int32_t envelope = voice.envelopeVolume;
    tune->stepIndex = 1;
    Process(0);
    EXPECT_EQ(voice.trackNote, 20);
    EXPECT_EQ(voice.periodChanged, 1);
    EXPECT_EQ(voice.heldTranspose, 7) << "the note clears the old hold, EF1 then holds anew";
    EXPECT_EQ(voice.envelopeVolume, envelope);
}

TEST_F(ProcessStepTest, TonePortamentoTargets) {
    struct Case {
        const char* name;
        Step step;
        uint16_t oldNote;
        int16_t periodOffset;
        int32_t target, speed;
    };
    const int16_t kOld = 777;
    const Case cases[] = {
        {"note, instrument and 3", MakeStep(30, 1, 0x3, 0x08), 20, 55, PeriodDifference(30, 20), 8},
        {"no note keeps the target", MakeStep(0, 0, 0x3, 0x00), 20, 55, kOld, 9},
        {"3 twice: target from 1, speed from 2", MakeStep(30, 0, 0x3, 4, 0x3, 6), 20, 0, PeriodDifference(30, 20), 6},
        {"5 is a portamento too", MakeStep(30, 0, 0x5, 0x21), 20, 0, PeriodDifference(30, 20), 0x21},
        {"portamento in slot 2", MakeStep(30, 0, 0x0, 0x00, 0x3, 2), 20, 0, PeriodDifference(30, 20), 2},
        {"offset already there", MakeStep(30, 0, 0x3, 0), 20, static_cast<int16_t>(PeriodDifference(30, 20)), kOld, 9},
        {"notes beyond the table read its end", MakeStep(1, 0, 0x3, 0), 63, 0, PeriodDifference(1, 60), 9},
    };
    for (const Case& c : cases) {
        SetUp();
        AddInstrument();
        Voice& voice = VoiceAt(0);
        voice.trackNote = c.oldNote;
        voice.periodOffset = c.periodOffset;
        voice.portamentoTarget = kOld;
        voice.slideSpeed = 9;
        StepOf(0) = c.step;
        Process(0);
        EXPECT_EQ(voice.portamentoTarget, c.target) << c.name;
        EXPECT_EQ(voice.slideSpeed, c.speed) << c.name;
        EXPECT_EQ(voice.trackNote, c.oldNote) << c.name << ": the target note is not played";
        EXPECT_EQ(voice.slideOn + voice.tonePortamento, 2) << c.name;
        EXPECT_EQ(voice.heldTranspose, kNoHeldTranspose) << c.name;
    }
}

TEST_F(ProcessStepTest, SquarePositionUsesTheNewInstrumentsWaveLength) {
    AddInstrument().waveLength = 2;
    StepOf(0) = MakeStep(0, 1, 0x9, 0x20);
    Process(0);
    EXPECT_EQ(VoiceAt(0).squarePosition, 0x20 >> 3);
    EXPECT_EQ(VoiceAt(0).squareChanged + VoiceAt(0).squareSetByStep, 2);
}

TEST_F(ProcessStepTest, NoteDelayPlaysTheStepOnTheXthTick) {
    const struct {
        Step step;
        int32_t tick;
    } cases[] = {
        {MakeStep(5, 1, 0xE, 0xD3), 3},
        {MakeStep(5, 1, 0x0, 0x00, 0xE, 0xD2), 2},
        {MakeStep(5, 1, 0xE, 0xD6), 0},
        {MakeStep(5, 1, 0xE, 0xD0), 0},
    };
    for (const auto& c : cases) {
        SetUp();
        AddInstrument();
        StepOf(0) = c.step;
        VoiceAt(0).volumeSlideUp = 3;
        const std::vector<int32_t> started = PerTick(6, [](const Voice& v) { return v.instrument != nullptr; });
        EXPECT_EQ(std::find(started.begin(), started.end(), 1) - started.begin(), c.tick) << int(c.step.param1);
        EXPECT_EQ(VoiceAt(0).volumeSlideUp, 0) << "a deferred step still stops a volume slide at once";
    }
}

// A delay still pending when its step was cut short (a later voice lowered the tempo) must not
// make every following tick replay the next step.
TEST_F(ProcessStepTest, StepPlayedNowDropsAStaleDelay) {
    AddInstrument();
    StepOf(0, 0) = MakeStep(5, 0, 0xE, 0xD4);
    StepOf(0, 1) = MakeStep(7, 1);
    StepTick(0);
    tune->tempo = 2;
    Frame(0);
    tune->stepIndex = 1;
    StepTick(0);
    EXPECT_EQ(VoiceAt(0).noteDelayOn, 0);
    VoiceAt(0).perfIndex = 5;
    for (int tick = 0; tick < 6; ++tick) {
        Frame(0);
    }
    EXPECT_EQ(VoiceAt(0).perfIndex, 5) << "the instrument was started again";
}

}  // namespace
