// How the tool fails: usage errors exit 1, unreadable or unwritable files exit 2, and every
// error is one line on stderr that names the file and the reason.
#include <gtest/gtest.h>

#include "tool_support.h"

namespace {

size_t LineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

struct ErrorCase {
    std::vector<std::string> args;
    int exitCode;
    const char* expectedText;  // part of the single stderr line
};

TEST(Errors, UsageErrorsExitWithOneAndOneLine) {
    const std::vector<ErrorCase> cases = {
        {{}, 1, "Usage: ahx"},
        {{"play"}, 1, "unknown command play"},
        {{"render", "--bogus"}, 1, "unknown option --bogus"},
        {{"render", "--rate", "7999"}, 1, "--rate takes a whole number from 8000 to 192000"},
        {{"render", "--rate=192001"}, 1, "--rate takes a whole number from 8000 to 192000"},
        {{"render", "--rate"}, 1, "--rate needs a value"},
        {{"render", "--stereo", "5"}, 1, "--stereo takes a whole number from 0 to 4"},
        {{"render", "--song", "x"}, 1, "--song takes a whole number from 0 to 255"},
        {{"render", "--song", "-1"}, 1, "--song takes a whole number"},
        {{"render", "--seconds", "abc"}, 1, "--seconds takes a number of seconds"},
        {{"render", "--seconds", "-1"}, 1, "--seconds takes a number of seconds"},
        {{"render", "--fade", "nan"}, 1, "--fade takes a number of seconds"},
        {{"render", "--loops", "0"}, 1, "--loops takes a whole number from 1"},
        {{"render", "--seconds", "2", "--loops", "2"}, 1, "give one of them"},
        {{"render", "--format", "mp3"}, 1, "--format takes wav, flac or raw"},
        {{"render", "-o", "x.mp3"}, 1, "cannot tell the audio format from the name x.mp3"},
        {{"render", "--force=yes"}, 1, "--force takes no value"},
        {{"render", "a.hvl", "b.hvl", "-o", "-"}, 1, "-o - writes one song"},
        {{"render", "--song", "all", "-o", "-"}, 1, "-o - writes one song"},
        {{"render", "-o", "-", "--format", "wav"}, 1, "-o - writes raw samples"},
        {{"render", "a.hvl", "b.hvl", "-o", "x.wav"}, 1, "give a folder"},
        {{"info"}, 1, "which file?"},
        {{"info", "--bogus", "a.hvl"}, 1, "unknown option --bogus"},
    };
    ScratchFolder folder;
    for (const ErrorCase& c : cases) {
        std::string joined;
        for (const std::string& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const ToolRun run = RunTool(c.args, folder.path());
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.expectedText), std::string::npos) << run.err;
        if (!c.args.empty()) {
            EXPECT_EQ(LineCount(run.err), 1u) << run.err;
        }
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
    EXPECT_TRUE(folder.Entries().empty());  // nothing written by a refused command
}

TEST(Errors, FileErrorsExitWithTwoAndNameTheFile) {
    ScratchFolder folder;
    WriteBytes(folder / "text.hvl", {'h', 'e', 'l', 'l', 'o'});
    WriteBytes(folder / "future.hvl", {'H', 'V', 'L', 2, 0, 0, 0, 0});
    WriteBytes(folder / "future.ahx", {'T', 'H', 'X', 3, 0, 0, 0, 0});
    std::vector<uint8_t> whole = BuildModule(CountedSong(ModuleFormat::Hvl, 3, 4));
    whole.resize(40);
    WriteBytes(folder / "cut.hvl", whole);
    WriteBytes(folder / "song.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 3, 4)));
    std::filesystem::create_directory(folder / "folder.hvl");
    WriteBytes(folder / "huge.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 1, 4)));
    std::filesystem::resize_file(folder / "huge.hvl", 17u << 20);

    const std::vector<ErrorCase> cases = {
        {{"render", "missing.hvl"}, 2, "ahx: missing.hvl: not found"},
        {{"info", "missing.hvl"}, 2, "ahx: missing.hvl: not found"},
        {{"render", "folder.hvl"}, 2, "ahx: folder.hvl: is a folder"},
        {{"render", "text.hvl"}, 2, "ahx: text.hvl: not a module"},
        {{"info", "text.hvl"}, 2, "ahx: text.hvl: not a module"},
        {{"render", "future.hvl"}, 2, "ahx: future.hvl: unsupported HVL version 2"},
        {{"render", "future.ahx"}, 2, "ahx: future.ahx: unsupported AHX revision 3"},
        {{"render", "cut.hvl"}, 2, "ahx: cut.hvl: truncated or damaged"},
        {{"info", "huge.hvl"}, 2, "ahx: huge.hvl: not a module (larger than 16 MiB)"},
        {{"info", "cut.hvl"}, 2, "ahx: cut.hvl: truncated or damaged"},
        {{"render", "song.hvl", "--song", "1"}, 2, "ahx: song.hvl: no such subsong 1"},
        {{"render", "--song", "2"}, 2, "(demo song): no such subsong 2"},
        {{"render", "song.hvl", "-o", "no/such/folder/x.wav"}, 2, "no/such/folder/x.wav: cannot write"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const ToolRun run = RunTool(c.args, folder.path());
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.expectedText), std::string::npos) << run.err;
        EXPECT_EQ(LineCount(run.err), 1u) << run.err;
    }
    // No output and no temporary file was left by any of the failures.
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"cut.hvl", "folder.hvl", "future.ahx", "future.hvl",
                                                         "huge.hvl", "song.hvl", "text.hvl"}));
}

TEST(Errors, InfoGoesOnAfterABadFileAndStillFails) {
    ScratchFolder folder;
    WriteBytes(folder / "song.hvl", BuildModule(CountedSong(ModuleFormat::Hvl, 1, 4)));
    const ToolRun run = RunTool({"info", "--json", "missing.hvl", "song.hvl"}, folder.path());
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "ahx: missing.hvl: not found\n");
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1);
    EXPECT_NE(run.out.find("\"file\":\"song.hvl\""), std::string::npos);
}

TEST(Help, EveryLevelHasHelpAndTheToolAVersion) {
    ScratchFolder folder;
    const struct {
        std::vector<std::string> args;
        const char* start;
    } cases[] = {
        {{"--help"}, "Usage: ahx COMMAND"},
        {{"-h"}, "Usage: ahx COMMAND"},
        {{"render", "--help"}, "Usage: ahx render"},
        {{"info", "-h"}, "Usage: ahx info"},
        {{"--version"}, "ahx "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const ToolRun run = RunTool(c.args, folder.path());
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out.rfind(c.start, 0), 0u) << run.out;
        EXPECT_TRUE(run.err.empty());
    }
    EXPECT_TRUE(folder.Entries().empty());
}

}  // namespace
