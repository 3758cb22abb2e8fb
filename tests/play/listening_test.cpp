// What a listener meets in `ahx play`: the sound options it shares with render, a song that stops,
// and the player view's keys for channels above 10, the last file and narrow or dumb terminals.
#include <gtest/gtest.h>

#include <regex>

#include "ahx/ahx.h"
#include "builder/module_builder.h"
#include "builder/sample_songs.h"
#include "tests/play/play_support.h"

namespace {

const std::string kDiskNow = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=capture.raw SDL_DISKAUDIODELAY=0 ";
const std::string kDiskPaced = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=capture.raw ";

ModuleDescription Busy(uint16_t channels, ModuleFormat format) {
    ModuleDescription song = BusySong(channels);
    song.format = format;
    song.positions.resize(2);
    return song;
}

// Tempo 0 on step 20 of the first position: the song stops there for good.
ModuleDescription Stopping() {
    ModuleDescription song = Busy(4, ModuleFormat::kHvl);
    std::vector<BuiltStep>& track = song.tracks.at(song.positions[0].track[0]);
    track.resize(std::max<size_t>(track.size(), 21));
    track[20].command1 = 0xF;
    track[20].param1 = 0;
    return song;
}

void WriteModules(const Scratch& folder) {
    WriteBytes(folder / "song.ahx", BuildModule(Busy(4, ModuleFormat::kAhx)));
    WriteBytes(folder / "twelve.hvl", BuildModule(Busy(12, ModuleFormat::kHvl)));
    WriteBytes(folder / "stops.hvl", BuildModule(Stopping()));
}

Frames Render(const Scratch& folder, std::vector<std::string> args) {
    args.insert(args.begin(), "render");
    args.insert(args.end(), {"-o", "-"});
    const RunResult run = Shell(ToolCommand(args), folder.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return ToFrames(Bytes(run.out.begin(), run.out.end()));
}

// The library's own account of where the song stops, rendered that far.
Frames UntilItStops(const fs::path& file) {
    const Bytes module = ReadBytes(file);
    ahx_player* player = nullptr;
    EXPECT_EQ(ahx_open(module.data(), module.size(), nullptr, &player), AHX_OK);
    ahx_song_summary summary{};
    EXPECT_EQ(ahx_summarise_song(player, 0, &summary), AHX_OK);
    EXPECT_EQ(summary.end, AHX_SONG_STOPS);
    EXPECT_GT(summary.frames, 0u);
    Frames frames(2 * summary.frames);
    EXPECT_EQ(ahx_render_s16(player, frames.data(), summary.frames), AHX_OK);
    ahx_close(player);
    return frames;
}

struct HeardCase {
    std::string name;
    std::vector<std::string> playArgs;
    std::vector<std::string> renderArgs;  // empty: the library's render until the song stops
};

TEST(Listening, PlayIsHeardAsRenderWrites) {
    const std::vector<HeardCase> cases = {
        {"--separation as render's", {"song.ahx", "--separation", "40", "--seconds", "2"},
         {"song.ahx", "--separation", "40", "--seconds", "2"}},
        {"a long buffer changes no sample", {"twelve.hvl", "--buffer", "400", "--seconds", "2"},
         {"twelve.hvl", "--seconds", "2"}},
        {"a song that stops ends there, whatever --loops asks", {"stops.hvl", "--loops", "3"}, {}},
    };
    for (const HeardCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch folder;
        WriteModules(folder);
        std::vector<std::string> args = c.playArgs;
        args.insert(args.begin(), "play");
        const RunResult run = Shell(kDiskNow + ToolCommand(args), folder.path);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const Frames want = c.renderArgs.empty() ? UntilItStops(folder / "stops.hvl") : Render(folder, c.renderArgs);
        EXPECT_EQ(CompareCapture(ToFrames(ReadBytes(folder / "capture.raw")), {want}, Gaps::kNone).difference, "");
    }
}

TEST(Listening, TheViewTakesChannelsAboveTenAndKeepsPlayingOnTheLastFile) {
    Scratch folder;
    WriteModules(folder);
    TmuxPane pane(folder.path, kDiskPaced + ToolCommand({"play", "twelve.hvl", "--loops", "5"}), 200, 24);
    std::string screen;
    const auto shows = [&](const std::regex& pattern) {
        return WaitUntil([&] { return std::regex_search(screen = pane.Screen(), pattern); });
    };
    ASSERT_TRUE(shows(std::regex("12 channels"))) << screen;
    pane.Keys("+");
    pane.Keys("1");
    // One channel's meter says "off", and the channel number above it is 11.
    EXPECT_TRUE(WaitUntil([&] {
        screen = pane.Screen();
        const size_t off = screen.find("off");
        if (off == std::string::npos || off < 2 || screen.find("off", off + 1) != std::string::npos) return false;
        const size_t line = screen.rfind('\n', off) + 1, above = screen.rfind('\n', line - 2) + 1;
        return screen.compare(above + (off - line), 2, "11") == 0;
    })) << screen;
    pane.Keys("n");
    EXPECT_TRUE(shows(std::regex("this is the last file"))) << screen;
    pane.Resize(40, 24);
    EXPECT_TRUE(shows(std::regex("\\+[0-9]+ hidden"))) << screen;
    EXPECT_TRUE(shows(std::regex("ahx play  \\[1/1\\]"))) << "the player has gone: " << screen;
}

TEST(Listening, ADumbTerminalGetsTheStatusLine) {
    Scratch folder;
    WriteModules(folder);
    TmuxPane pane(folder.path, "TERM=dumb " + kDiskPaced + ToolCommand({"play", "song.ahx", "--seconds", "30"}), 80, 24);
    std::string screen;
    EXPECT_TRUE(WaitUntil([&] { return std::regex_search(screen = pane.Screen(), std::regex("\\[1/1\\] song\\.ahx  song 1 of 1  0:0")); }))
        << screen;
    EXPECT_EQ(screen.find("q quit"), std::string::npos) << screen;
}

}  // namespace
