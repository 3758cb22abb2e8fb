// Period-to-step conversion, the output setup, and the tick driver: when steps are processed and
// how the song moves between positions.
#include <algorithm>
#include <cmath>
#include <tuple>

#include "tests/replay/replay_fixture.h"

namespace {

TEST(ConvertPeriodToStep, StatedStepsAndGuards) {
    const struct { int16_t period; double rate; uint32_t step; } cases[] = {
        {113, 44100, 46645}, {428, 44100, 12315}, {856, 44100, 6157}, {1712, 44100, 3078}, {3424, 44100, 1539},
        // Guards: a ring period never computed, no rate (an infinite quotient), a quotient truncating to 0, no number.
        {0, 44100, 1}, {3424, 0, 1}, {3424, 1e12, 1}, {3424, NAN, 1},
    };
    for (const auto& c : cases) EXPECT_EQ(ConvertPeriodToStep(c.period, c.rate), c.step) << c.period << " " << c.rate;
}

TEST(SetupVoiceOutput, FillsTheBuffersAndStepsWhenFlagged) {
    int8_t source[kVoiceBufferSamples];
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) source[i] = static_cast<int8_t>(i * 3 + 1);
    auto voice = std::make_unique<Voice>();
    std::tie(voice->waveform, voice->waveLength, voice->waveSource, voice->waveformChanged) =
        std::tuple(kWaveSawtooth, 1, source, 1);
    std::tie(voice->audioPeriod, voice->periodChanged) = std::tuple(428, 1);
    voice->audioVolume = 0x0140;  // only the low 8 bits reach the mixer
    std::tie(voice->ringWave, voice->ringOn, voice->ringPeriod, voice->ringPeriodChanged) =
        std::tuple(source + 1, 1, 856, 1);
    SetupVoiceOutput(voice.get(), 44100.0);
    for (uint32_t i = 0; i < kVoiceBufferSamples; ++i) {  // 8 samples at wave length 1, repeated
        ASSERT_EQ(std::tuple(voice->voiceBuffer[i], voice->ringBuffer[i]), std::tuple(source[i % 8], source[i % 8 + 1]))
            << i;
    }
    EXPECT_EQ(voice->mixVolume, 0x40);
    // Without their flags, new periods (a transpose, ring vibrato) leave the steps alone.
    std::tie(voice->audioPeriod, voice->ringPeriod) = std::tuple(856, 1712);
    SetupVoiceOutput(voice.get(), 44100.0);
    EXPECT_EQ(std::tuple(voice->sampleStep, voice->ringStep), std::tuple(12315u, 6157u));
    voice->waveform = kWaveNoise;
    SetupVoiceOutput(voice.get(), 44100.0);
    EXPECT_TRUE(std::equal(source, source + kVoiceBufferSamples, voice->voiceBuffer)) << "noise: one whole window";
}

// Voice 0's steps carry notes without instruments, so its trackNote names the step played last.
class PlayTickTest : public ReplayTest {
public:
    // Voice 0 plays note 10p + s + 1 at step s of position p (track p + 1), two steps per
    // position, three positions, restart position 1, position 1 transposed by 3.
    void ThreePositions() {
        std::tie(tune->positionCount, tune->restartPosition, tune->trackLength) = std::tuple(3, 1, 2);
        for (uint8_t p = 0; p < 3; ++p) {
            positions[p].track[0] = static_cast<uint8_t>(p + 1);
            for (uint8_t s = 0; s < 2; ++s) tune->tracks[p + 1].steps[s] = MakeStep(10 * p + s + 1);
        }
        positions[1].transpose[0] = 3;
    }
    std::vector<int32_t> TrackNotes(uint32_t ticks, uint32_t every) {
        std::vector<int32_t> notes;
        for (uint32_t tick = 0; tick < ticks; ++tick) {
            PlayTick(tune.get());
            if (tick % every == 0) notes.push_back(VoiceAt(0).trackNote);
        }
        return notes;
    }
};

// Tempo 0 processes step 0 on every tick: its fine slide up by 2 lowers the offset by 2 more each time.
TEST_F(PlayTickTest, TempoZeroRepeatsTheStep) {
    StepOf(0) = MakeStep(10, 0, 0xF, 0, 0xE, 0x12);
    for (int32_t tick = 1; tick <= 50; ++tick) {
        PlayTick(tune.get());
        ASSERT_EQ(VoiceAt(0).periodOffset, -2 * tick) << tick;
        ASSERT_EQ(std::tuple(tune->stepIndex, tune->positionIndex), std::tuple(0, 0));
    }
}

// No positions at all (the list pointer is gone too, so any read would fault).
TEST_F(PlayTickTest, EmptyPositionListPlaysSilenceButStillRunsTheVoices) {
    AddInstrument();
    StepOf(0) = MakeStep(37, 1);
    tune->positionCount = 0;
    tune->positions = nullptr;
    for (int tick = 0; tick < 50; ++tick) {
        PlayTick(tune.get());
        ASSERT_EQ(VoiceAt(0).mixVolume, 0);
    }
    EXPECT_EQ(VoiceAt(0).trackNote, 0) << "no step was processed";
    // The frame update ran: a voice without notes sits at the lowest period limit.
    EXPECT_EQ(VoiceAt(0).audioPeriod, 113);
}

// Voice 0's note after every n-th tick; commands stand in step 0 of position 0 for voices 0 and 1.
// With tempo t, steps are processed on ticks 1, t + 1, 2t + 1, ...
const struct TimingRow { const char* name; Step voice0; uint32_t every; std::vector<int32_t> notes; Step voice1 = {}; }
    kTimingRows[] = {
    {"tempo 1: run through, then loop at the restart position", MakeStep(0, 0, 0xF, 1), 1, {1, 2, 11, 12, 21, 22, 11}},
    {"tempo 3, set in the step it times", MakeStep(0, 0, 0xF, 3), 1, {1, 1, 1, 2, 2, 2, 11}},
    {"a jump lands when its step ends, 9 ticks on", MakeStep(0, 0, 0xB, 2, 0xF, 9), 3, {1, 1, 1, 21}},
    {"jump exactly to positionCount restarts", MakeStep(0, 0, 0xB, 0x03), 6, {1, 11}},
    // 999 * 100 + 99 = 99999, which wraps to -31073 in 16 bits.
    {"negative target restarts", MakeStep(0, 0, 0x0, 0x09, 0xB, 0x99), 6, {1, 11, 12}, MakeStep(0, 0, 0xB, 0x99)},
    // Break sets next position 1 and step 1; the jump makes it 1 * 100 + 2, beyond the list.
    {"break then jump by a higher voice", MakeStep(0, 0, 0xD, 0x01), 6, {1, 12, 21}, MakeStep(0, 0, 0xB, 0x02)},
};

TABLE_TEST(TimingTest, PlayTickTest, kTimingRows, Notes) {
    const TimingRow& c = GetParam();
    ThreePositions();
    tune->tracks[1].steps[0] = c.voice0;
    tune->tracks[1].steps[0].note = 1;
    positions[0].track[1] = 4;
    tune->tracks[4].steps[0] = c.voice1;
    EXPECT_EQ(TrackNotes(c.every * static_cast<uint32_t>(c.notes.size()), c.every), c.notes);
}

// A break lands on its step; a jump from there starts the next position at step 0 again.
TEST_F(PlayTickTest, BreakThenJumpFromTheStepLandedOn) {
    ThreePositions();
    tune->tracks[1].steps[0] = MakeStep(1, 0, 0xD, 0x01);
    tune->tracks[2].steps[1] = MakeStep(12, 0, 0xB, 0x02);
    EXPECT_EQ(TrackNotes(18, 6), std::vector<int32_t>({1, 12, 21}));
}

// Each voice loads its track and transpose on a new position's first step tick, and the next position's track
// for the hard-cut look-ahead: after the last position that is position 0.
TEST_F(PlayTickTest, NewPositionLoadsTracksAndLooksAheadToPositionZero) {
    ThreePositions();
    const Voice& voice = VoiceAt(0);
    TrackNotes(13, 6);  // the first step tick of position 1
    EXPECT_EQ(std::tuple(voice.track, voice.transpose, voice.nextTrack), std::tuple(2, 3, 3));
    TrackNotes(12, 6);  // the first step tick of position 2
    EXPECT_EQ(std::tuple(voice.track, voice.nextTrack), std::tuple(3, 1)) << "position 0's, though play restarts at 1";
}

}  // namespace
