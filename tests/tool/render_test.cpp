// `ahx render` run as a subprocess: lengths worked out by hand from each song's structure, and
// every output read back and compared with the engine's own render of the same song.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <optional>

#include "tool_support.h"

namespace {

constexpr uint32_t kFramesPerTick44100 = 882;
constexpr uint8_t kTempoCommand = 0xF;
constexpr uint8_t kJumpCommand = 0xB;

struct LengthCase {
    const char* name;
    ModuleDescription song;
    std::vector<std::string> options;
    uint32_t sampleRate;
    uint64_t expectedFrames;
};

ModuleDescription WithRestart(ModuleDescription song, uint16_t restart) {
    song.restartPosition = restart;
    return song;
}

// Track 2 is track 1 with a command on one step; position `at` plays it.
ModuleDescription WithCommandAt(ModuleDescription song, size_t position, size_t step, uint8_t command, uint8_t param) {
    song.tracks.push_back(song.tracks[1]);
    song.tracks[2][step].command1 = command;
    song.tracks[2][step].param1 = param;
    song.positions[position].track[0] = 2;
    return song;
}

ModuleDescription WithTempoEverywhere(ModuleDescription song, uint8_t tempo) {
    song.tracks[1][0].command1 = kTempoCommand;
    song.tracks[1][0].param1 = tempo;
    return song;
}

ModuleDescription WithSpeedMultiplier(ModuleDescription song, uint8_t multiplier) {
    song.speedMultiplier = multiplier;
    return song;
}

std::vector<LengthCase> LengthCases() {
    const ModuleDescription three = CountedSong(ModuleFormat::Hvl, 3, 4);  // 3 positions x 4 steps x 6 ticks
    const ModuleDescription four = CountedSong(ModuleFormat::Hvl, 4, 4);
    return {
        {"once through", three, {}, 44100, 72 * kFramesPerTick44100},
        {"AHX once through", CountedSong(ModuleFormat::Ahx, 3, 4), {}, 44100, 72 * kFramesPerTick44100},
        // Restart at 1: the song, then positions 1 and 2 again per further loop.
        {"two loops with restart", WithRestart(three, 1), {"--loops", "2"}, 44100, (72 + 48) * kFramesPerTick44100},
        {"three loops with restart", WithRestart(three, 1), {"--loops", "3"}, 44100, (72 + 96) * kFramesPerTick44100},
        {"tempo 3", WithTempoEverywhere(three, 3), {}, 44100, 36 * kFramesPerTick44100},
        // B00 on the last step of position 2 goes back to position 0: position 3 never plays.
        {"jump back ends the song", WithCommandAt(four, 2, 3, kJumpCommand, 0x00), {}, 44100, 72 * kFramesPerTick44100},
        // B01 on step 1 of position 2: positions 0 and 1, two steps of position 2.
        {"jump from mid-track", WithCommandAt(four, 2, 1, kJumpCommand, 0x01), {}, 44100, 60 * kFramesPerTick44100},
        // Four ticks per fiftieth of 220 frames each at 44100 Hz.
        {"speed multiplier 4", WithSpeedMultiplier(CountedSong(ModuleFormat::Hvl, 2, 4), 4), {}, 44100, 48 * 220},
        {"native 22050 Hz", three, {"--rate", "22050"}, 22050, 72 * 441},
        {"seconds", three, {"--seconds", "1.5"}, 44100, 66150},
        {"seconds at 8000 Hz", three, {"--seconds", "0.5", "--rate", "8000"}, 8000, 4000},
        {"seconds beyond the song", three, {"--seconds", "3"}, 44100, 132300},
    };
}

TEST(RenderLength, EachCaseHasTheWorkedOutLengthAndTheEngineContent) {
    for (const LengthCase& c : LengthCases()) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        const std::vector<uint8_t> module = BuildModule(c.song);
        WriteBytes(folder / "song.mod", module);
        std::vector<std::string> args{"render", "song.mod", "-o", "out.wav"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun run = RunTool(args, folder.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const Audio audio = ReadAudio(folder / "out.wav");
        EXPECT_EQ(audio.sampleRate, static_cast<int>(c.sampleRate));
        EXPECT_EQ(audio.channels, 2);
        ASSERT_EQ(audio.Frames(), c.expectedFrames);
        EXPECT_EQ(audio.samples, EngineRender(module, 0, 0, c.sampleRate, c.expectedFrames));
    }
}

TEST(RenderLength, ASongStuckOnTempoZeroIsCutAtTenMinutes) {
    ScratchFolder folder;
    WriteBytes(folder / "stuck.hvl", BuildModule(WithTempoEverywhere(CountedSong(ModuleFormat::Hvl, 2, 4), 0)));
    // Measured through info, which reports what render would do without writing ten minutes.
    const ToolRun run = RunTool({"info", "--json", "stuck.hvl"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"frames\":26460000,\"seconds\":600.000,\"ends\":false"), std::string::npos) << run.out;
}

TEST(RenderOutput, TheBundledSongRendersWithoutAFileFromAnyFolder) {
    ScratchFolder folder;
    const ToolRun run = RunTool({"render"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // 14 positions of 32 steps at tempo 6 before the song returns to its restart position 2.
    const uint64_t frames = 14ull * 32 * 6 * kFramesPerTick44100;
    const Audio audio = ReadAudio(folder / "demo.wav");
    EXPECT_EQ(audio.format, SF_FORMAT_WAV);
    EXPECT_EQ(audio.sampleRate, 44100);
    ASSERT_EQ(audio.Frames(), frames);
    const std::vector<uint8_t> committed = ReadBytes(std::filesystem::path(AHX_SOURCE_DIR) / "demo" / "demo.hvl");
    EXPECT_EQ(audio.samples, EngineRender(committed, 0, 0, 44100, frames));
    // The summary gives the length and the peak level.
    EXPECT_NE(run.out.find("demo.wav: 0:53.76"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("dBFS"), std::string::npos) << run.out;
}

struct FormatCase {
    const char* name;
    std::vector<std::string> options;
    const char* outputName;  // nullptr: standard output
    int expectedFormat;      // libsndfile major format; 0 for raw bytes
};

TEST(RenderOutput, FormatsFollowTheNameOrTheOptionAndHoldTheSameSamples) {
    const std::vector<FormatCase> cases = {
        {"wav by name", {"-o", "a.wav"}, "a.wav", SF_FORMAT_WAV},
        {"flac by name", {"-o", "a.flac"}, "a.flac", SF_FORMAT_FLAC},
        {"upper-case name", {"-o", "A.FLAC"}, "A.FLAC", SF_FORMAT_FLAC},
        {"raw by name", {"-o", "a.raw"}, "a.raw", 0},
        {"option over name", {"-o", "a.audio", "--format", "flac"}, "a.audio", SF_FORMAT_FLAC},
        {"option without -o", {"--format", "flac"}, "song.flac", SF_FORMAT_FLAC},
        {"default name and format", {}, "song.wav", SF_FORMAT_WAV},
        {"standard output", {"-o", "-"}, nullptr, 0},
    };
    const std::vector<uint8_t> module = BuildModule(CountedSong(ModuleFormat::Hvl, 3, 4));
    const uint64_t frames = 72 * kFramesPerTick44100;
    const std::vector<int16_t> expected = EngineRender(module, 0, 0, 44100, frames);
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        WriteBytes(folder / "song.hvl", module);
        std::vector<std::string> args{"render", "song.hvl"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ToolRun run = RunTool(args, folder.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        if (c.outputName == nullptr) {
            EXPECT_EQ(SamplesFromRawBytes(run.out), expected);
            continue;
        }
        if (c.expectedFormat == 0) {
            const std::vector<uint8_t> bytes = ReadBytes(folder / c.outputName);
            EXPECT_EQ(SamplesFromRawBytes(std::string(bytes.begin(), bytes.end())), expected);
            continue;
        }
        const Audio audio = ReadAudio(folder / c.outputName);
        EXPECT_EQ(audio.format, c.expectedFormat);
        EXPECT_EQ(audio.channels, 2);
        EXPECT_EQ(audio.samples, expected);
    }
}

TEST(RenderOptions, StereoModeChangesAhxPansAndLeavesHvlAlone) {
    const std::vector<uint8_t> ahx = BuildModule(CountedSong(ModuleFormat::Ahx, 2, 4));
    const std::vector<uint8_t> hvl = BuildModule(CountedSong(ModuleFormat::Hvl, 2, 4));
    const uint64_t frames = 48 * kFramesPerTick44100;
    ScratchFolder folder;
    WriteBytes(folder / "a.ahx", ahx);
    WriteBytes(folder / "h.hvl", hvl);
    for (const std::string mode : {"0", "4"}) {
        ASSERT_EQ(RunTool({"render", "a.ahx", "--stereo", mode, "-o", "a" + mode + ".wav"}, folder.path()).exitCode, 0);
        ASSERT_EQ(RunTool({"render", "h.hvl", "--stereo", mode, "-o", "h" + mode + ".wav"}, folder.path()).exitCode, 0);
    }
    const Audio centred = ReadAudio(folder / "a0.wav");
    const Audio hard = ReadAudio(folder / "a4.wav");
    EXPECT_EQ(centred.samples, EngineRender(ahx, 0, 0, 44100, frames));
    EXPECT_EQ(hard.samples, EngineRender(ahx, 0, 4, 44100, frames));
    // Channel 0 sits in the middle in mode 0 and hard left in mode 4.
    int64_t rightEnergy = 0;
    for (size_t i = 0; i < hard.samples.size(); i += 2) {
        EXPECT_EQ(centred.samples[i], centred.samples[i + 1]);
        rightEnergy += std::abs(hard.samples[i + 1]);
    }
    EXPECT_EQ(rightEnergy, 0);
    EXPECT_EQ(ReadAudio(folder / "h0.wav").samples, ReadAudio(folder / "h4.wav").samples);
}

ModuleDescription SongWithSubsongs() {
    ModuleDescription song = CountedSong(ModuleFormat::Hvl, 3, 4);
    song.name = "subsongs";
    song.subsongs = {1, 2};
    return song;
}

TEST(RenderOptions, SongPicksASubsong) {
    ScratchFolder folder;
    const std::vector<uint8_t> module = BuildModule(SongWithSubsongs());
    WriteBytes(folder / "s.hvl", module);
    const ToolRun run = RunTool({"render", "s.hvl", "--song", "1", "-o", "one.wav"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Song 1 starts at position 1 and plays 1, 2, then 0 (the restart) before coming back to 1.
    const uint64_t frames = 72 * kFramesPerTick44100;
    const Audio audio = ReadAudio(folder / "one.wav");
    ASSERT_EQ(audio.Frames(), frames);
    EXPECT_EQ(audio.samples, EngineRender(module, 1, 0, 44100, frames));
}

TEST(RenderOptions, SongAllWritesOneOutputPerSong) {
    ScratchFolder folder;
    const std::vector<uint8_t> module = BuildModule(SongWithSubsongs());
    WriteBytes(folder / "s.hvl", module);
    const ToolRun run = RunTool({"render", "s.hvl", "--song", "all", "-o", "songs"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (uint32_t song = 0; song <= 2; ++song) {
        SCOPED_TRACE(song);
        const Audio audio = ReadAudio(folder / "songs" / ("s-song" + std::to_string(song) + ".wav"));
        EXPECT_EQ(audio.samples, EngineRender(module, song, 0, 44100, audio.Frames()));
        EXPECT_EQ(audio.Frames(), 72 * kFramesPerTick44100);
    }
}

TEST(RenderOptions, FadeLeavesTheStartExactAndEndsNearSilence) {
    ScratchFolder folder;
    const std::vector<uint8_t> module = BuildModule(CountedSong(ModuleFormat::Hvl, 3, 4));
    WriteBytes(folder / "f.hvl", module);
    ASSERT_EQ(RunTool({"render", "f.hvl", "--fade", "0.5", "-o", "f.wav"}, folder.path()).exitCode, 0);
    const Audio faded = ReadAudio(folder / "f.wav");
    const uint64_t frames = 72 * kFramesPerTick44100;
    const uint64_t fadeFrames = 22050;
    ASSERT_EQ(faded.Frames(), frames);
    const std::vector<int16_t> exact = EngineRender(module, 0, 0, 44100, frames);
    const size_t fadeStart = (frames - fadeFrames) * 2;
    EXPECT_TRUE(std::equal(exact.begin(), exact.begin() + static_cast<std::ptrdiff_t>(fadeStart), faded.samples.begin()));
    bool quieter = false;
    for (size_t i = fadeStart; i < exact.size(); ++i) {
        ASSERT_LE(std::abs(faded.samples[i]), std::abs(exact[i]));
        quieter = quieter || std::abs(faded.samples[i]) < std::abs(exact[i]);
    }
    EXPECT_TRUE(quieter);
    EXPECT_LE(std::abs(faded.samples.back()), 1);
}

TEST(RenderOutput, AnExistingFileIsKeptWithoutForceAndReplacedWithIt) {
    ScratchFolder folder;
    WriteBytes(folder / "s.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 1, 4)));
    WriteBytes(folder / "s.wav", {'k', 'e', 'e', 'p'});
    const ToolRun refused = RunTool({"render", "s.hvl"}, folder.path());
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("s.wav: already exists"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadBytes(folder / "s.wav"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"s.hvl", "s.wav"}));  // no temporary left over

    ASSERT_EQ(RunTool({"render", "s.hvl", "--force"}, folder.path()).exitCode, 0);
    EXPECT_EQ(ReadAudio(folder / "s.wav").Frames(), 24 * kFramesPerTick44100);
}

TEST(RenderBatch, ABadFileIsReportedAndSkippedAndTheRestConverted) {
    ScratchFolder folder;
    WriteBytes(folder / "one.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 1, 4)));
    WriteBytes(folder / "bad.hvl", {'n', 'o', 'p', 'e'});
    WriteBytes(folder / "two.ahx", BuildModule(CountedSong(ModuleFormat::Ahx, 2, 4)));
    const ToolRun run = RunTool({"render", "one.hvl", "bad.hvl", "two.ahx", "-o", "out"}, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "ahx: bad.hvl: not a module (no THX or HVL header)\n");
    EXPECT_EQ(ReadAudio(folder / "out" / "one.wav").Frames(), 24 * kFramesPerTick44100);
    EXPECT_EQ(ReadAudio(folder / "out" / "two.wav").Frames(), 48 * kFramesPerTick44100);
    EXPECT_FALSE(std::filesystem::exists(folder / "out" / "bad.wav"));
}

}  // namespace

namespace {

TEST(RenderBatch, OutputsAreNamedAfterTheirInputs) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::vector<std::string> expectedFiles;  // relative to the folder, besides the inputs
    };
    const std::vector<Case> cases = {
        {"into the current folder", {"render", "in/a.hvl", "in/b.ahx"}, {"a.wav", "b.wav"}},
        {"into an existing folder", {"render", "in/a.hvl", "-o", "in"}, {"in/a.wav"}},
        {"into a new folder named with a slash", {"render", "in/a.hvl", "-o", "new/"}, {"new/a.wav"}},
        {"several files as FLAC", {"render", "in/a.hvl", "in/b.ahx", "-o", "flac", "--format", "flac"},
         {"flac/a.flac", "flac/b.flac"}},
        {"every song of several files", {"render", "in/a.hvl", "in/b.ahx", "--song", "all", "-o", "all"},
         {"all/a-song0.wav", "all/b-song0.wav"}},
        {"the demo song into a folder", {"render", "-o", "demo/"}, {"demo/demo.wav"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        std::filesystem::create_directory(folder / "in");
        WriteBytes(folder / "in" / "a.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 1, 4)));
        WriteBytes(folder / "in" / "b.ahx", BuildModule(CountedSong(ModuleFormat::Ahx, 1, 4)));
        const ToolRun run = RunTool(c.args, folder.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        for (const std::string& file : c.expectedFiles) {
            EXPECT_GT(ReadAudio(folder / file).Frames(), 0u) << file;
        }
    }
}

TEST(RenderBatch, TwoInputsThatWouldShareAnOutputAreNotMerged) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder / "x");
    std::filesystem::create_directory(folder / "y");
    WriteBytes(folder / "x" / "s.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 1, 4)));
    WriteBytes(folder / "y" / "s.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 2, 4)));
    const ToolRun run = RunTool({"render", "x/s.hvl", "y/s.hvl", "-o", "out", "--force"}, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("out/s.wav: written already in this run"), std::string::npos) << run.err;
    // The first input's output stands.
    EXPECT_EQ(ReadAudio(folder / "out" / "s.wav").Frames(), 24 * kFramesPerTick44100);
}

}  // namespace
