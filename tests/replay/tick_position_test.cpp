// How the song moves between positions: running off a track, jumps, breaks, targets outside the
// list, the restart position and the look-ahead track. Voice 0 plays note 10p + s + 1 at step s of
// position p (no instrument), so its trackNote after a step tick names the step that was played.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/mixer/render_support.h"

namespace {

using render_test::Load;

constexpr uint8_t kHundredsCommand = 0x0;
constexpr uint8_t kJumpCommand = 0xB;
constexpr uint8_t kBreakCommand = 0xD;
constexpr uint8_t kTempoCommand = 0xF;
constexpr uint8_t kPositionCount = 3;
constexpr uint8_t kRestart = 1;

uint8_t NoteAt(uint32_t position, uint32_t step) { return static_cast<uint8_t>(10 * position + step + 1); }

// Three positions of two steps; voice 0 plays track p + 1 at position p; voice 1 plays track 4
// (which tests fill with commands) at position 0 and the empty track 0 elsewhere; restart
// position 1; position 1 transposed by 3.
ModuleDescription ThreePositionSong() {
    ModuleDescription d;
    d.name = "Positions";
    d.trackLength = 2;
    d.restartPosition = kRestart;
    d.positions.resize(kPositionCount);
    d.tracks.resize(5);
    for (uint8_t p = 0; p < kPositionCount; ++p) {
        d.positions[p].track[0] = static_cast<uint8_t>(p + 1);
        d.tracks[p + 1] = {BuiltStep{NoteAt(p, 0)}, BuiltStep{NoteAt(p, 1)}};
    }
    d.positions[0].track[1] = 4;
    d.positions[1].transpose[0] = 3;
    d.tracks[4] = {BuiltStep{}, BuiltStep{}};
    return d;
}

// trackNote after each of the first stepCount step ticks at the default tempo 6.
std::vector<uint32_t> PlayedNotes(const ModuleDescription& d, uint32_t stepCount) {
    auto tune = Load(d);
    EXPECT_NE(tune, nullptr);
    std::vector<uint32_t> notes;
    if (!tune) return notes;
    for (uint32_t step = 0; step < stepCount; ++step) {
        for (int tick = 0; tick < 6; ++tick) {
            PlayTick(tune.get());
            if (tick == 0) notes.push_back(tune->voices[0].trackNote);
        }
    }
    return notes;
}

TEST(PlayTick, PositionChangesLandWhereTheCommandsSay) {
    struct Case {
        const char* what;
        BuiltStep voice0;  // step 0 of position 0, note included
        BuiltStep voice1;  // step 0 of position 0 on voice 1
        std::vector<uint32_t> notes;
    };
    const uint8_t first = NoteAt(0, 0);
    const Case cases[] = {
        {"no command: run through, then loop at the restart position", {first}, {},
         {NoteAt(0, 0), NoteAt(0, 1), NoteAt(1, 0), NoteAt(1, 1), NoteAt(2, 0), NoteAt(2, 1), NoteAt(1, 0), NoteAt(1, 1)}},
        {"jump to position 2 when the step ends", {first, 0, kJumpCommand, 0x02}, {},
         {NoteAt(0, 0), NoteAt(2, 0), NoteAt(2, 1), NoteAt(1, 0)}},
        {"break into step 1 of the next position", {first, 0, kBreakCommand, 0x01}, {},
         {NoteAt(0, 0), NoteAt(1, 1), NoteAt(2, 0)}},
        {"break to a step beyond the track starts at step 0", {first, 0, kBreakCommand, 0x05}, {},
         {NoteAt(0, 0), NoteAt(1, 0), NoteAt(1, 1)}},
        {"jump exactly to positionCount restarts", {first, 0, kJumpCommand, 0x03}, {},
         {NoteAt(0, 0), NoteAt(kRestart, 0), NoteAt(kRestart, 1)}},
        {"jump beyond the list restarts", {first, 0, kJumpCommand, 0x50}, {},
         {NoteAt(0, 0), NoteAt(kRestart, 0), NoteAt(kRestart, 1)}},
        {"hundreds digit: 999 restarts", {first, 0, kHundredsCommand, 0x09, kJumpCommand, 0x99}, {},
         {NoteAt(0, 0), NoteAt(kRestart, 0)}},
        // 999 * 100 + 99 = 99999, which wraps to -31073 in 16 bits.
        {"negative target restarts", {first, 0, kHundredsCommand, 0x09, kJumpCommand, 0x99},
         {0, 0, kJumpCommand, 0x99}, {NoteAt(0, 0), NoteAt(kRestart, 0), NoteAt(kRestart, 1)}},
        // Break sets next position 1 and step 1; the jump makes it 1 * 100 + 2, beyond the list.
        {"break then jump by a higher voice", {first, 0, kBreakCommand, 0x01}, {0, 0, kJumpCommand, 0x02},
         {NoteAt(0, 0), NoteAt(kRestart, 1), NoteAt(2, 0)}},
    };
    for (const Case& c : cases) {
        ModuleDescription d = ThreePositionSong();
        d.tracks[1][0] = c.voice0;
        d.tracks[4][0] = c.voice1;
        EXPECT_EQ(PlayedNotes(d, static_cast<uint32_t>(c.notes.size())), c.notes) << c.what;
    }
}

TEST(PlayTick, TempoInTheJumpingStepSetsWhenTheJumpLands) {
    for (const uint8_t tempo : {2, 9}) {
        ModuleDescription d = ThreePositionSong();
        d.tracks[1][0] = BuiltStep{NoteAt(0, 0), 0, kJumpCommand, 0x02, kTempoCommand, tempo};
        auto tune = Load(d);
        ASSERT_NE(tune, nullptr);
        for (uint32_t tick = 1; tick <= tempo; ++tick) {
            PlayTick(tune.get());
            ASSERT_EQ(tune->voices[0].trackNote, NoteAt(0, 0)) << "tick " << tick;
        }
        PlayTick(tune.get());
        EXPECT_EQ(tune->voices[0].trackNote, NoteAt(2, 0)) << "tempo " << int(tempo);
    }
}

TEST(PlayTick, NewPositionReloadsTracksAndTransposesOnItsFirstStepTick) {
    auto tune = Load(ThreePositionSong());
    ASSERT_NE(tune, nullptr);
    const Voice& voice = tune->voices[0];
    for (int tick = 0; tick < 12; ++tick) PlayTick(tune.get());  // position 0 has run out
    EXPECT_EQ(tune->positionIndex, 1);
    EXPECT_EQ(voice.track, 1) << "tracks change on the next step tick, not at the change";
    EXPECT_EQ(voice.transpose, 0);
    PlayTick(tune.get());
    EXPECT_EQ(voice.track, 2);
    EXPECT_EQ(voice.transpose, 3);
    EXPECT_EQ(voice.nextTrack, 3);
}

TEST(PlayTick, LastPositionLooksAheadToPositionZeroWhateverTheRestart) {
    auto tune = Load(ThreePositionSong());
    ASSERT_NE(tune, nullptr);
    for (int tick = 0; tick < 25; ++tick) PlayTick(tune.get());  // step tick of position 2
    ASSERT_EQ(tune->positionIndex, 2);
    EXPECT_EQ(tune->voices[0].track, 3);
    EXPECT_EQ(tune->voices[0].nextTrack, 1) << "position 0's track, although play restarts at 1";
}

}  // namespace
