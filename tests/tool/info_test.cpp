// `ahx info`: the fields of a module we built, with values worked out from how we built it.
#include <gtest/gtest.h>

#include "tool_support.h"

namespace {

ModuleDescription DescribedSong() {
    ModuleDescription song = CountedSong(ModuleFormat::Hvl, 3, 4);
    song.name = "Q\"B\\C\x01\xE9";  // quote, backslash, a control character and a Latin-1 e-acute
    song.subsongs = {2};
    return song;
}

TEST(Info, JsonHoldsEveryFieldOnOneLine) {
    ScratchFolder folder;
    WriteBytes(folder / "s.hvl", BuildModule(DescribedSong()));
    const ToolRun run = RunTool({"info", "--json", "s.hvl"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // Three positions of four steps at tempo 6: 72 ticks of 882 frames, for the main song and
    // for song 1, which starts at position 2 and plays 2, 0, 1 before it repeats.
    EXPECT_EQ(run.out,
              "{\"file\":\"s.hvl\",\"format\":\"HVL\",\"version\":1,\"title\":\"Q\\\"B\\\\C\\u0001\xC3\xA9\","
              "\"channels\":4,\"positions\":3,\"restartPosition\":0,\"trackLength\":4,\"tracks\":2,\"speedHz\":50,"
              "\"stereoMode\":0,\"mixGainPercent\":100,\"songs\":["
              "{\"song\":0,\"startPosition\":0,\"frames\":63504,\"seconds\":1.440,\"ends\":true},"
              "{\"song\":1,\"startPosition\":2,\"frames\":63504,\"seconds\":1.440,\"ends\":true}],"
              "\"instruments\":[{\"number\":1,\"name\":\"tone\"}]}\n");
}

TEST(Info, TextShowsTheSameForPeople) {
    ScratchFolder folder;
    WriteBytes(folder / "s.hvl", BuildModule(DescribedSong()));
    const ToolRun run = RunTool({"info", "s.hvl"}, folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* line : {"s.hvl\n", "  format        HVL version 1\n", "  title         Q\"B\\C?\xC3\xA9\n",
                             "  channels      4\n", "  positions     3, restart at 0\n", "  track length  4 steps\n",
                             "  tracks        2\n", "  speed         50 Hz\n", "  stereo mode   0\n",
                             "  mix gain      100 %\n", "  songs         2\n",
                             "    song 0      starts at position 0, plays 0:01.44\n",
                             "    song 1      starts at position 2, plays 0:01.44\n", "  instruments   1\n",
                             "     1  tone\n"}) {
        EXPECT_NE(run.out.find(line), std::string::npos) << line << "\nin:\n" << run.out;
    }
}

TEST(Info, HeaderValuesReachTheReport) {
    struct Case {
        const char* name;
        ModuleDescription song;
        const char* expected;
    };
    ModuleDescription fast = CountedSong(ModuleFormat::Hvl, 1, 4);
    fast.speedMultiplier = 4;
    ModuleDescription wide = CountedSong(ModuleFormat::Hvl, 1, 4);
    wide.stereoMode = 3;
    wide.mixGainPercent = 255;
    ModuleDescription quiet = CountedSong(ModuleFormat::Hvl, 1, 4);
    quiet.mixGainPercent = 37;
    ModuleDescription restart = CountedSong(ModuleFormat::Hvl, 5, 4);
    restart.restartPosition = 3;
    ModuleDescription ahx = CountedSong(ModuleFormat::Ahx, 1, 4);
    ahx.version = 2;
    const std::vector<Case> cases = {
        {"speed multiplier 4", fast, "\"speedHz\":200,"},
        {"stereo mode and gain", wide, "\"stereoMode\":3,\"mixGainPercent\":255,"},
        {"gain that does not divide evenly", quiet, "\"mixGainPercent\":37,"},
        {"restart position", restart, "\"positions\":5,\"restartPosition\":3,"},
        // AHX files carry no stereo mode; their gain is that of stereo mode 0.
        {"AHX", ahx, "\"format\":\"AHX\",\"version\":2,"},
        {"AHX", ahx, "\"stereoMode\":null,\"mixGainPercent\":71,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchFolder folder;
        WriteBytes(folder / "m", BuildModule(c.song));
        const ToolRun run = RunTool({"info", "--json", "m"}, folder.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << run.out;
    }
}

}  // namespace
