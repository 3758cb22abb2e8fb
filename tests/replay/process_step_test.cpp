// Step processing and instrument start. Periods come from the note table; the rest is worked
// out by hand from the definitions.
#include "tests/replay/replay_fixture.h"

namespace {

using ProcessStepTest = ReplayTest;

int32_t PeriodDifference(uint32_t toNote, uint32_t fromNote) {
    return static_cast<int32_t>(PeriodTable[toNote]) - static_cast<int32_t>(PeriodTable[fromNote]);
}

TEST_F(ProcessStepTest, InstrumentStartLoadsTheVoice) {
    Instrument& instrument = AddInstrument();
    instrument.volume = 50;
    instrument.waveLength = 3;
    instrument.envelope = Envelope{4, 64, 8, 32, 5, 0, 10};
    instrument.squareLowerLimit = 0x30;  // limits given the wrong way round
    instrument.squareUpperLimit = 0x10;
    instrument.filterLowerLimit = 40;
    instrument.filterUpperLimit = 20;
    instrument.vibratoDelay = 3;
    instrument.perfList.speed = 7;
    Voice& voice = VoiceAt(0);
    voice.storedPan = 0;
    voice.panGainLeft = 7;
    voice.periodOffset = 99;
    voice.ringOn = 1;
    voice.masterVolume = 20;
    voice.trackNote = 25;

    StepOf(0) = MakeStep(0, 1, 0, 0, 0, 0);
    Process(0);
    EXPECT_EQ(voice.instrument, &instruments[1]);
    EXPECT_EQ(voice.attackDelta, 64 * 256 / 4);
    EXPECT_EQ(voice.decayDelta, (32 - 64) * 256 / 8);
    EXPECT_EQ(voice.releaseDelta, 0) << "a stage of 0 ticks has no slope";
    EXPECT_EQ(voice.sustainFrames, 5);
    EXPECT_EQ(voice.noteVolume, 50);
    EXPECT_EQ(voice.squareLower, 0x10 >> 2);
    EXPECT_EQ(voice.squareUpper, 0x30 >> 2);
    EXPECT_EQ(voice.filterLower, 20);
    EXPECT_EQ(voice.filterUpper, 40);
    EXPECT_EQ(voice.filterPosition, 32);
    EXPECT_EQ(voice.vibratoDelay, 3);
    EXPECT_EQ(voice.perfSpeed, 7);
    EXPECT_EQ(voice.perfWait, 0);
    EXPECT_EQ(voice.panGainLeft, 254u) << "back to the stored pan";
    EXPECT_EQ(voice.periodOffset, 0);
    EXPECT_EQ(voice.ringOn, 0);
    EXPECT_EQ(voice.masterVolume, 20);
    EXPECT_EQ(voice.trackNote, 25) << "an instrument alone restarts the previous note";
    EXPECT_EQ(voice.periodChanged, 0);
}

TEST_F(ProcessStepTest, EnvelopeSlopeKeepsSixteenBits) {
    AddInstrument().envelope = Envelope{1, 255, 1, 0, 0, 0, 0};
    StepOf(0) = MakeStep(0, 1);
    Process(0);
    EXPECT_EQ(VoiceAt(0).attackDelta, 65280 - 65536);
    EXPECT_EQ(VoiceAt(0).decayDelta, -255 * 256 + 65536);
}

TEST_F(ProcessStepTest, InstrumentNumbersBeyondTheTuneAreIgnored) {
    AddInstrument();
    StepOf(0) = MakeStep(0, 2);
    Process(0);
    EXPECT_EQ(VoiceAt(0).instrument, nullptr);
}

TEST_F(ProcessStepTest, NoteAloneKeepsTheInstrumentRunning) {
    AddInstrument();
    StepOf(0, 0) = MakeStep(10, 1);
    StepOf(0, 1) = MakeStep(20, 0);
    StepTick(0);
    Voice& voice = VoiceAt(0);
    voice.heldTranspose = 4;
    const int32_t envelope = voice.envelopeVolume;
    tune->stepIndex = 1;
    Process(0);
    EXPECT_EQ(voice.trackNote, 20);
    EXPECT_EQ(voice.periodChanged, 1);
    EXPECT_EQ(voice.heldTranspose, kNoHeldTranspose);
    EXPECT_EQ(voice.envelopeVolume, envelope);
}

struct PortamentoCase {
    const char* name;
    Step step;
    uint16_t oldNote;
    int16_t periodOffset;
    int32_t target;
    int32_t speed;
    uint16_t trackNote;
};

TEST_F(ProcessStepTest, TonePortamentoTargets) {
    const int16_t kOldTarget = 777;
    const PortamentoCase cases[] = {
        {"note with instrument and 3", MakeStep(30, 1, 0x3, 0x08), 20, 55, PeriodDifference(30, 20), 8, 20},
        {"no note keeps the target", MakeStep(0, 0, 0x3, 0x00), 20, 55, kOldTarget, 9, 20},
        {"3 in both slots: target from 1, speed from 2", MakeStep(30, 0, 0x3, 0x04, 0x3, 0x06), 20, 0,
         PeriodDifference(30, 20), 6, 20},
        {"5 is a portamento too", MakeStep(30, 0, 0x5, 0x21), 20, 0, PeriodDifference(30, 20), 0x21, 20},
        {"portamento in slot 2", MakeStep(30, 0, 0x0, 0x00, 0x3, 0x02), 20, 0, PeriodDifference(30, 20), 2, 20},
        {"offset already there", MakeStep(30, 0, 0x3, 0x00), 20, static_cast<int16_t>(PeriodDifference(30, 20)), kOldTarget, 9,
         20},
        {"notes beyond the table read its end", MakeStep(1, 0, 0x3, 0x00), 63, 0, PeriodDifference(1, 60), 9, 63},
    };
    for (const PortamentoCase& c : cases) {
        SetUp();
        AddInstrument();
        Voice& voice = VoiceAt(0);
        voice.trackNote = c.oldNote;
        voice.periodOffset = c.periodOffset;
        voice.portamentoTarget = kOldTarget;
        voice.slideSpeed = 9;
        StepOf(0) = c.step;
        Process(0);
        EXPECT_EQ(voice.portamentoTarget, c.target) << c.name;
        EXPECT_EQ(voice.slideSpeed, c.speed) << c.name;
        EXPECT_EQ(voice.trackNote, c.trackNote) << c.name;
        EXPECT_EQ(voice.slideOn, 1) << c.name;
        EXPECT_EQ(voice.tonePortamento, 1) << c.name;
        EXPECT_EQ(voice.heldTranspose, kNoHeldTranspose) << c.name;
    }
}

TEST_F(ProcessStepTest, PortamentoWithVolumeSlideSetsBoth) {
    StepOf(0) = MakeStep(0, 0, 0x5, 0x21);
    Process(0);
    EXPECT_EQ(VoiceAt(0).volumeSlideUp, 2);
    EXPECT_EQ(VoiceAt(0).volumeSlideDown, 1);
    EXPECT_EQ(VoiceAt(0).slideSpeed, 0x21);
}

TEST_F(ProcessStepTest, SquarePositionUsesTheNewInstrumentsWaveLength) {
    AddInstrument().waveLength = 2;
    StepOf(0) = MakeStep(0, 1, 0x9, 0x20);
    Process(0);
    EXPECT_EQ(VoiceAt(0).squarePosition, 0x20 >> 3);
    EXPECT_EQ(VoiceAt(0).squareChanged, 1);
    EXPECT_EQ(VoiceAt(0).squareSetByStep, 1);
}

// Ticks counted from the step tick (0) until the step's instrument starts; -1 if never.
int32_t TickOfInstrumentStart(ReplayTest& test, Voice& voice, int32_t ticks) {
    for (int32_t tick = 0; tick < ticks; ++tick) {
        if (tick == 0) {
            test.StepTick(0);
        } else {
            test.Frame(0);
        }
        if (voice.instrument != nullptr) {
            return tick;
        }
    }
    return -1;
}

TEST_F(ProcessStepTest, NoteDelay) {
    struct Case {
        Step step;
        int32_t tick;
    };
    const Case cases[] = {
        {MakeStep(5, 1, 0xE, 0xD3), 3},
        {MakeStep(5, 1, 0x0, 0x00, 0xE, 0xD2), 2},
        {MakeStep(5, 1, 0xE, 0xD6), 0},
        {MakeStep(5, 1, 0xE, 0xD0), 0},
    };
    for (const Case& c : cases) {
        SetUp();
        AddInstrument();
        StepOf(0) = c.step;
        EXPECT_EQ(TickOfInstrumentStart(*this, VoiceAt(0), 6), c.tick) << int(c.step.param1);
    }
}

TEST_F(ProcessStepTest, DeferredStepStopsAVolumeSlideAtOnce) {
    VoiceAt(0).volumeSlideUp = 3;
    StepOf(0) = MakeStep(0, 0, 0xE, 0xD2);
    Process(0);
    EXPECT_EQ(VoiceAt(0).noteDelayOn, 1);
    EXPECT_EQ(VoiceAt(0).volumeSlideUp, 0);
}

// A delay left pending when its step was cut short (a later voice lowered the tempo) must not
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
