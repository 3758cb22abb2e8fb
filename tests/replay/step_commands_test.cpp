// Step effect commands. Expected values are worked out by hand from each command's definition.
#include <functional>
#include <vector>

#include "tests/replay/replay_fixture.h"

namespace {

using StepCommandTest = ReplayTest;

struct SongCommandCase {
    const char* name;
    Step voice0;
    Step voice1;
    int32_t nextPositionIndex;
    uint32_t nextStepIndex;
    uint8_t positionChangePending;
};

TEST_F(StepCommandTest, PositionJumpAndTrackBreakTargets) {
    const SongCommandCase cases[] = {
        {"hundreds then jump in one step", MakeStep(0, 0, 0x0, 0x02, 0xB, 0x15), MakeStep(), 215, 0, 1},
        {"jump alone", MakeStep(0, 0, 0xB, 0x10), MakeStep(), 10, 0, 1},
        {"nibbles above nine still count", MakeStep(0, 0, 0xB, 0x1F), MakeStep(), 25, 0, 1},
        {"hundreds alone request nothing", MakeStep(0, 0, 0x0, 0x03), MakeStep(), 3, 0, 0},
        {"hundreds digit above 9 is ignored", MakeStep(0, 0, 0x0, 0x0A), MakeStep(), 0, 0, 0},
        {"break to a step", MakeStep(0, 0, 0xD, 0x16), MakeStep(), 2, 16, 1},
        {"break beyond the track starts at 0", MakeStep(0, 0, 0xD, 0x64), MakeStep(), 2, 0, 1},
        {"break then jump in the next voice", MakeStep(0, 0, 0xD, 0x00), MakeStep(0, 0, 0xB, 0x05), 205, 0, 1},
        // 909 * 100 + 99 = 90999 does not fit 16 bits: 90999 - 65536 = 25463.
        {"a second jump keeps only 16 bits", MakeStep(0, 0, 0x0, 0x09, 0xB, 0x09), MakeStep(0, 0, 0xB, 0x99), 25463, 0, 1},
    };
    for (const SongCommandCase& c : cases) {
        SetUp();
        tune->positionIndex = 1;
        StepOf(0) = c.voice0;
        StepOf(1) = c.voice1;
        Process(0);
        Process(1);
        EXPECT_EQ(tune->nextPositionIndex, c.nextPositionIndex) << c.name;
        EXPECT_EQ(tune->nextStepIndex, c.nextStepIndex) << c.name;
        EXPECT_EQ(tune->positionChangePending, c.positionChangePending) << c.name;
    }
}

TEST_F(StepCommandTest, HigherVoiceTempoWins) {
    StepOf(0) = MakeStep(0, 0, 0xF, 3);
    StepOf(1) = MakeStep(0, 0, 0xF, 9);
    Process(0);
    Process(1);
    EXPECT_EQ(tune->tempo, 9);
}

struct VoiceCommandCase {
    const char* name;
    bool beforeNote;
    uint8_t command;
    uint8_t param;
    std::function<int32_t(const Voice&)> field;
    int32_t expected;
};

TEST_F(StepCommandTest, VoiceFieldsSetByOneCommand) {
    const auto noteVolume = [](const Voice& v) { return v.noteVolume; };
    const auto masterVolume = [](const Voice& v) { return v.masterVolume; };
    const auto storedPan = [](const Voice& v) { return static_cast<int32_t>(v.storedPan); };
    const auto gainLeft = [](const Voice& v) { return static_cast<int32_t>(v.panGainLeft); };
    const auto periodOffset = [](const Voice& v) { return v.periodOffset; };
    const VoiceCommandCase cases[] = {
        {"volume 0x40", false, 0xC, 0x40, noteVolume, 64},
        {"volume 0x41 ignored", false, 0xC, 0x41, noteVolume, 30},
        {"own master volume", false, 0xC, 0xC0, masterVolume, 32},
        {"master 0x91 ignored", false, 0xC, 0x91, masterVolume, 64},
        {"pan 0x80 fully left", true, 0x7, 0x80, storedPan, 0},
        {"pan 0x80 left gain", true, 0x7, 0x80, gainLeft, 254},
        {"pan 0x00 centre", true, 0x7, 0x00, storedPan, 128},
        {"filter 0x50 at once", false, 0x4, 0x50, [](const Voice& v) { return v.filterPosition; }, 16},
        {"filter 0x10 as override", false, 0x4, 0x10, [](const Voice& v) { return v.filterOverride; }, 16},
        {"volume slide", true, 0xA, 0x21, [](const Voice& v) { return v.volumeSlideUp * 100 + v.volumeSlideDown; }, 201},
        {"fine slide up wraps", false, 0xE, 0x11, periodOffset, 32767},
        {"fine slide down", false, 0xE, 0x25, periodOffset, -32768 + 5},
        {"fine volume up", false, 0xE, 0xAF, noteVolume, 45},
        {"fine volume down", false, 0xE, 0xBF, noteVolume, 15},
        {"hold transpose", false, 0xE, 0xF1, [](const Voice& v) { return v.heldTranspose; }, -3},
        {"hold needs x = 1", false, 0xE, 0xF2, [](const Voice& v) { return v.heldTranspose; }, 1000},
    };
    for (const VoiceCommandCase& c : cases) {
        SetUp();
        Voice& voice = VoiceAt(0);
        voice.noteVolume = 30;
        voice.filterPosition = 32;
        voice.periodOffset = -32768;
        voice.transpose = -3;
        if (c.beforeNote) {
            ApplyStepCommandBeforeNote(tune.get(), &voice, c.command, c.param);
        } else {
            ApplyStepCommandAfterNote(tune.get(), &voice, c.command, c.param);
        }
        EXPECT_EQ(c.field(voice), c.expected) << c.name;
    }
}

TEST_F(StepCommandTest, FineVolumeClampsBothWays) {
    VoiceAt(0).noteVolume = 60;
    ApplyStepCommandAfterNote(tune.get(), &VoiceAt(0), 0xE, 0xAF);
    EXPECT_EQ(VoiceAt(0).noteVolume, 64);
    VoiceAt(0).noteVolume = 5;
    ApplyStepCommandAfterNote(tune.get(), &VoiceAt(0), 0xE, 0xBF);
    EXPECT_EQ(VoiceAt(0).noteVolume, 0);
}

TEST_F(StepCommandTest, MasterVolumeForAllReachesOnlyVoicesInUse) {
    ApplyStepCommandAfterNote(tune.get(), &VoiceAt(2), 0xC, 0x70);
    for (uint32_t v = 0; v < 4; ++v) {
        EXPECT_EQ(VoiceAt(v).masterVolume, 32) << v;
    }
    EXPECT_EQ(VoiceAt(4).masterVolume, 64);
}

TEST_F(StepCommandTest, HoldTransposeNeedsAVersionedFile) {
    tune->formatVersion = 0;
    VoiceAt(0).transpose = 5;
    ApplyStepCommandAfterNote(tune.get(), &VoiceAt(0), 0xE, 0xF1);
    EXPECT_EQ(VoiceAt(0).heldTranspose, kNoHeldTranspose);
}

TEST_F(StepCommandTest, NoteCutArmsOnlyInsideTheStep) {
    struct Case {
        uint8_t param;
        int16_t wait;
        uint8_t on;
        uint8_t release;
    };
    const Case cases[] = {{0xC3, 3, 1, 0}, {0xC0, 0, 0, 1}, {0xC6, 99, 0, 1}, {0xC9, 99, 0, 1}};
    for (const Case& c : cases) {
        Voice& voice = VoiceAt(0);
        voice.noteCutWait = 99;
        voice.noteCutOn = 0;
        voice.hardCutRelease = 1;
        ApplyStepCommandBeforeNote(tune.get(), &voice, 0xE, c.param);
        EXPECT_EQ(voice.noteCutWait, c.wait) << int(c.param);
        EXPECT_EQ(voice.noteCutOn, c.on) << int(c.param);
        EXPECT_EQ(voice.hardCutRelease, c.release) << int(c.param);
    }
}

// An instrument start in the same step reloads the hard-cut release that EC cleared.
TEST_F(StepCommandTest, NoteCutWithInstrumentFollowsTheInstrumentsRelease) {
    AddInstrument().hardCutRelease = 1;
    StepOf(0) = MakeStep(1, 1, 0xE, 0xC2);
    Process(0);
    EXPECT_EQ(VoiceAt(0).noteCutOn, 1);
    EXPECT_EQ(VoiceAt(0).hardCutRelease, 1);
}

TEST_F(StepCommandTest, CommandsWithoutMeaningChangeNothing) {
    const uint8_t commands[][2] = {{0x6, 0x12}, {0x8, 0x34}, {0xE, 0x05}, {0xE, 0x37}, {0xE, 0x55},
                                   {0xE, 0x66}, {0xE, 0x77}, {0xE, 0x88}, {0xE, 0x99}, {0xE, 0xE3}};
    for (const auto& command : commands) {
        const std::vector<uint8_t> before = Snapshot();
        ApplyStepCommandBeforeNote(tune.get(), &VoiceAt(1), command[0], command[1]);
        ApplyStepCommandAfterNote(tune.get(), &VoiceAt(1), command[0], command[1]);
        EXPECT_EQ(Snapshot(), before) << int(command[0]) << " " << int(command[1]);
    }
}

}  // namespace
