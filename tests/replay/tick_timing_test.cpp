// When the tick driver processes steps: first tick, tempo, tempo 0, unused voices, empty songs.
// Steps carry notes without instruments, so a voice's trackNote shows which step ran last.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "tests/mixer/render_support.h"

namespace {

using render_test::Load;

constexpr uint8_t kTempoCommand = 0xF;
constexpr uint8_t kExtendedCommand = 0xE;
constexpr uint8_t kFirstNote = 10;

// One position; voice 0 plays notes 10, 11, 12, ... at steps 0, 1, 2, ...; step 0 sets the tempo.
ModuleDescription CountingSong(uint8_t tempo, uint8_t stepCount) {
    ModuleDescription d;
    d.name = "Counting";
    d.trackLength = stepCount;
    d.positions.resize(1);
    d.positions[0].track[0] = 1;
    d.tracks.resize(2);
    for (uint8_t s = 0; s < stepCount; ++s) d.tracks[1].push_back(BuiltStep{static_cast<uint8_t>(kFirstNote + s)});
    d.tracks[1][0].command1 = kTempoCommand;
    d.tracks[1][0].param1 = tempo;
    return d;
}

TEST(PlayTick, FirstTickPlaysStepZeroAndStartsTheCountdown) {
    auto tune = Load(CountingSong(6, 4));
    ASSERT_NE(tune, nullptr);
    PlayTick(tune.get());
    EXPECT_EQ(tune->voices[0].trackNote, kFirstNote);
    EXPECT_EQ(tune->stepWait, 5);
    EXPECT_EQ(tune->stepIndex, 0);
}

TEST(PlayTick, StepsFallOnTicksOneTempoApart) {
    // With tempo t, steps are processed on ticks 1, t + 1, 2t + 1, ...
    for (const uint8_t tempo : {1, 2, 3, 6, 7}) {
        const uint8_t stepCount = 8;
        auto tune = Load(CountingSong(tempo, stepCount));
        ASSERT_NE(tune, nullptr);
        for (uint32_t tick = 1; tick <= uint32_t{tempo} * stepCount; ++tick) {
            PlayTick(tune.get());
            const uint32_t stepsDone = (tick - 1) / tempo;
            ASSERT_EQ(tune->voices[0].trackNote, kFirstNote + stepsDone) << "tempo " << int(tempo) << " tick " << tick;
        }
    }
}

TEST(PlayTick, TempoZeroProcessesTheSameStepOnEveryTick) {
    // Fine slide up by 2 after the note: each processing lowers periodOffset by 2 more.
    ModuleDescription d = CountingSong(0, 4);
    d.tracks[1][0].command2 = kExtendedCommand;
    d.tracks[1][0].param2 = 0x12;
    auto tune = Load(d);
    ASSERT_NE(tune, nullptr);
    for (int32_t tick = 1; tick <= 50; ++tick) {
        PlayTick(tune.get());
        ASSERT_EQ(tune->voices[0].periodOffset, -2 * tick) << tick;
        ASSERT_EQ(tune->stepIndex, 0);
        ASSERT_EQ(tune->positionIndex, 0);
        ASSERT_EQ(tune->stepWait, 0);
    }
}

TEST(PlayTick, VoicesBeyondTheChannelCountKeepTheirResetState) {
    ModuleDescription d = render_test::OneVoiceSong({37, 1});
    for (uint8_t v = 0; v < 4; ++v) d.positions[0].track[v] = 1;  // all four voices play
    auto tune = Load(d);
    ASSERT_NE(tune, nullptr);
    ASSERT_EQ(tune->channelCount, 4);
    std::vector<Voice> unused(tune->voices + 4, tune->voices + kMaxChannels);
    for (int tick = 0; tick < 100; ++tick) PlayTick(tune.get());
    EXPECT_NE(tune->voices[3].audioVolume, 0);
    EXPECT_EQ(std::memcmp(unused.data(), tune->voices + 4, unused.size() * sizeof(Voice)), 0);
}

TEST(PlayTick, EmptyPositionListPlaysSilenceButStillRunsTheVoices) {
    for (const ModuleFormat format : {ModuleFormat::Hvl, ModuleFormat::Ahx}) {
        ModuleDescription d;
        d.format = format;
        d.version = 0;
        d.name = "No positions";
        d.trackLength = 4;
        d.tracks = {{BuiltStep{37, 1}}};
        d.instruments = {render_test::HeldTriangle()};
        auto tune = Load(d);
        ASSERT_NE(tune, nullptr);
        ASSERT_EQ(tune->positionCount, 0);
        for (const render_test::Frame& frame : render_test::Render(tune.get(), 50)) {
            ASSERT_EQ(frame.left, 0);
            ASSERT_EQ(frame.right, 0);
        }
        EXPECT_EQ(tune->voices[0].trackNote, 0) << "no step was processed";
        // The frame update ran: a voice without notes sits at the lowest period limit.
        EXPECT_EQ(tune->voices[0].audioPeriod, 113);
    }
}

}  // namespace
