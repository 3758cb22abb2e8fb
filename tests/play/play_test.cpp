// `ahx play` run as a user runs it. SDL's disk driver captures the exact bytes the device gets; a
// private PulseAudio server does the same through a real sound server; tmux gives the player a
// terminal to draw on and keys to read. What is heard is compared with `ahx render` of the same
// song, and where render has no such option, with the library's render through a voice mask.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <optional>
#include <regex>
#include <thread>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"
#include "tests/play/play_support.h"
#include "tests/support/library_render.h"

namespace {

constexpr uint32_t kRate = 44100;
constexpr uint32_t kAllChannels = 0xFFFF;
// The disk driver without its real-time pacing: a song is captured as fast as it renders.
const std::string kDiskNow = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=capture.raw SDL_DISKAUDIODELAY=0 ";
// Paced like a sound card, for the player on a terminal.
const std::string kDiskPaced = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=capture.raw ";

// The benchmarks' busy song, cut to `positions` positions of 64 steps at tempo 6 (7.68 s each).
ModuleDescription Busy(uint16_t channels, size_t positions, ModuleFormat format = ModuleFormat::kHvl) {
    ModuleDescription song = BusySong(channels);
    song.format = format;
    song.positions.resize(positions);
    return song;
}

const std::map<std::string, Bytes>& Modules() {
    static const std::map<std::string, Bytes> modules = {
        {"busy8.hvl", BuildModule(Busy(8, 2))},
        // Four ticks per fiftieth of a second: 768 ticks in 3.84 s.
        {"fast.hvl", BuildModule(With(Busy(4, 2), [](auto& s) { s.speedMultiplier = 4; }))},
        {"song.ahx", BuildModule(Busy(4, 2, ModuleFormat::kAhx))},
        {"subs.hvl", BuildModule(With(Busy(4, 2), [](auto& s) { s.subsongs = {1}; }))},
        {"text.hvl", Bytes{'h', 'e', 'l', 'l', 'o'}},
        {"twelve.hvl", BuildModule(Busy(12, 2))},
        // Tempo 0 on step 20 of the first position: the song stops there for good.
        {"stops.hvl", BuildModule(With(Busy(4, 2), [](auto& s) {
             std::vector<BuiltStep>& track = s.tracks.at(s.positions[0].track[0]);
             track.resize(std::max<size_t>(track.size(), 21));
             track[20].command1 = 0xF, track[20].param1 = 0;
         }))},
    };
    return modules;
}

void WriteModules(const Scratch& folder) {
    for (const auto& [name, bytes] : Modules()) WriteBytes(folder / name, bytes);
}

// `ahx render [file] args -o -`: the whole song as render plays it.
Frames ToolRender(const fs::path& folder, const std::string& file, std::vector<std::string> args) {
    if (!file.empty()) args.insert(args.begin(), file);
    args.insert(args.begin(), "render");
    args.insert(args.end(), {"-o", "-"});
    const RunResult run = Shell(ToolCommand(args), folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return ToFrames(Bytes(run.out.begin(), run.out.end()));
}

Frames Tail(const Frames& frames, double seconds) {
    const size_t skip = std::min(frames.size(), 2 * static_cast<size_t>(std::llround(seconds * kRate)));
    return Frames(frames.begin() + static_cast<std::ptrdiff_t>(skip), frames.end());
}

// One song the player should be heard playing, described as `ahx render` is asked for it.
struct Heard {
    std::string file;  // empty: the bundled demo song
    uint32_t song = 0;
    std::vector<std::string> renderArgs = {};
    double startSeconds = 0;
    uint32_t channels = kAllChannels;
};

Frames Expected(const fs::path& folder, const Heard& heard) {
    std::vector<std::string> args = heard.renderArgs;
    args.insert(args.end(), {"--song", std::to_string(heard.song + 1)});
    Frames frames = ToolRender(folder, heard.file, args);
    if (heard.channels != kAllChannels) {
        frames = LibraryRender(Modules().at(heard.file),
                               {.song = heard.song, .stereoMode = AHX_LISTENING_STEREO_MODE, .mask = heard.channels},
                               frames.size() / 2);
    }
    return Tail(frames, heard.startSeconds);
}

size_t Lines(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

struct PlayCase {
    std::string name;
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // part of stderr, which has as many lines; empty: stderr stays empty
    std::vector<Heard> heard = {};
    std::string environment = kDiskNow;
    std::string out = "";  // part of stdout, else empty
};

TEST(Play, EachCommandLineIsHeardAsRenderedWithItsMessagesAndExitCode) {
    const std::vector<PlayCase> cases = {
        {"an 8-channel song once through", {"busy8.hvl"}, 0, "", {{"busy8.hvl"}}},
        // What each option does is render's test (tests/tool); these rows show play passes them on.
        {"speed multiplier 4, twice through", {"fast.hvl", "--loops", "2"}, 0, "",
         {{"fast.hvl", 0, {"--loops", "2"}}}},
        {"AHX in stereo mode 4 for three seconds", {"song.ahx", "--stereo", "4", "--seconds", "3"}, 0, "",
         {{"song.ahx", 0, {"--stereo", "4", "--seconds", "3"}}}},
        {"--separation as render's", {"song.ahx", "--separation", "40", "--seconds", "2"}, 0, "",
         {{"song.ahx", 0, {"--separation", "40", "--seconds", "2"}}}},
        {"a long buffer changes no sample", {"twelve.hvl", "--buffer", "400", "--seconds", "2"}, 0, "",
         {{"twelve.hvl", 0, {"--seconds", "2"}}}},
        {"a song that stops ends there, whatever --loops asks", {"stops.hvl", "--loops", "3"}, 0, "",
         {{"stops.hvl", 0, {"--loops", "3"}}}},
        {"--start: the tail of the song, exactly", {"busy8.hvl", "--start", "10"}, 0, "",
         {{"busy8.hvl", 0, {}, 10}}},
        {"--solo less --mute", {"busy8.hvl", "--solo", "2-3,8", "--mute", "3"}, 0, "",
         {{"busy8.hvl", 0, {}, 0, 1u << 1 | 1u << 7}}},
        {"a playlist of every song, an unreadable file skipped", {"subs.hvl", "text.hvl", "fast.hvl", "--song", "all"}, 2,
         "ahx: text.hvl: not a module (no THX or HVL header)\n", {{"subs.hvl", 0}, {"subs.hvl", 1}, {"fast.hvl", 0}}},
        {"a file without the song asked for is skipped", {"busy8.hvl", "subs.hvl", "--song", "2"}, 2,
         "ahx: busy8.hvl: no such song 2 (it has only song 1)\n", {{"subs.hvl", 1}}},
        {"a module without a channel named is skipped", {"song.ahx", "busy8.hvl", "--mute", "6"}, 2,
         "ahx: song.ahx: has 4 channels, so --mute and --solo cannot name channel 6\n",
         {{"busy8.hvl", 0, {}, 0, kAllChannels & ~(1u << 5)}}},
        // Paced in real time, the device never waits for the next song.
        {"songs follow each other without a gap",
         {"fast.hvl", "song.ahx", "subs.hvl", "--seconds", "0.8"}, 0, "",
         {{"fast.hvl", 0, {"--seconds", "0.8"}}, {"song.ahx", 0, {"--seconds", "0.8"}},
          {"subs.hvl", 0, {"--seconds", "0.8"}}}, kDiskPaced},
        {"no file: the bundled demo song", {}, 0, "", {{""}}},
        {"nothing playable", {"missing.hvl", "text.hvl"}, 2,
         "ahx: missing.hvl: not found\nahx: text.hvl: not a module (no THX or HVL header)\n"},

        {"no such driver", {"busy8.hvl", "--driver", "nosuch"}, 2,
         "ahx: no audio output: Audio target 'nosuch' not available (--driver picks one of SDL's: "},
        {"a device that cannot be opened", {"busy8.hvl"}, 2, "ahx: no audio output: Couldn't open no/such/folder/x.raw",
         {}, "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=no/such/folder/x.raw "},
        {"--driver wins over the environment", {"busy8.hvl", "--seconds", "1", "--driver", "disk"}, 0, "",
         {{"busy8.hvl", 0, {"--seconds", "1"}}}, "SDL_AUDIODRIVER=nosuch SDL_DISKAUDIOFILE=capture.raw SDL_DISKAUDIODELAY=0 "},

        // The option values themselves are tested on render; one row shows play reports them too.
        {"channel out of range", {"--solo", "17"}, 1, "--solo takes channels from 1 to 16 like 1,3-5, not '17'"},
        {"help", {"--help"}, 0, "", {}, kDiskNow, "Usage: ahx play [FILE...] [OPTION...]"},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch folder;
        WriteModules(folder);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "play");
        const RunResult run = Shell(c.environment + ToolCommand(args), folder.path);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.find(c.err) != std::string::npos &&
                    Lines(run.err) == (c.err.empty() ? 0 : std::max<size_t>(Lines(c.err), 1))) << run.err;
        EXPECT_TRUE(c.out.empty() ? run.out.empty() : run.out.find(c.out) != std::string::npos) << run.out;
        std::vector<Frames> segments;
        for (const Heard& heard : c.heard) segments.push_back(Expected(folder.path, heard));
        // Taken as fast as it renders, the device may run ahead of the next song being queued.
        const Gaps gaps = c.environment == kDiskPaced ? Gaps::kNone : Gaps::kBetweenSegments;
        EXPECT_EQ(CompareCapture(ToFrames(ReadBytes(folder / "capture.raw")), segments, gaps).difference, "");
    }
}

TEST(Play, ASoundServerHearsExactlyTheRender) {
    Scratch folder;
    WriteModules(folder);
    PulseServer server(folder / "pulse");
    if (!server.Failure().empty()) GTEST_SKIP() << "no PulseAudio server here: " << server.Failure();
    const fs::path recording = folder / "recording.raw";
    server.StartRecording(recording);
    // The recorder hears the idle sink's silence before anything plays.
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(recording) && fs::file_size(recording) > 0; }));

    const RunResult run = Shell(server.ClientEnvironment() + " SDL_AUDIODRIVER=pulseaudio " +
                                    ToolCommand({"play", "fast.hvl", "song.ahx", "--seconds", "1.5", "--quiet"}),
                                folder.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Whatever the server still held has reached the monitor once a little more has been recorded.
    const uintmax_t recorded = fs::file_size(recording);
    ASSERT_TRUE(WaitUntil([&] { return fs::file_size(recording) > recorded + kRate; }));
    server.StopRecording();

    // Every frame arrives, in order and unchanged. A server starved of CPU (CI machines are shared)
    // plays silence when its buffer runs dry, its own reference client included; those gaps are
    // allowed and counted, never a changed or lost frame.
    const std::vector<Frames> songs = {Expected(folder.path, {"fast.hvl", 0, {"--seconds", "1.5"}}),
                                       Expected(folder.path, {"song.ahx", 0, {"--seconds", "1.5"}})};
    const CaptureComparison heard = CompareCapture(ToFrames(ReadBytes(recording)), songs, Gaps::kAnywhere);
    EXPECT_EQ(heard.difference, "");
    RecordProperty("underruns", static_cast<int>(heard.gaps));
    if (heard.gaps > 0) std::printf("note: the server filled %zu gap(s) with silence\n", heard.gaps);
}

// ---- The player on a terminal ----------------------------------------------------------------

// The pane runs the player between two readings of the terminal's settings and keeps its exit code.
// The shell catches SIGINT so that it lives on to read them after Ctrl-C; the player, started
// afresh, gets the default handling.
std::string PlayerInPane(const std::string& environment, const std::vector<std::string>& args) {
    std::vector<std::string> play = args;
    play.insert(play.begin(), "play");
    return "trap : INT; stty -g > before; " + environment + ToolCommand(play) + " 2> err; echo $? > code; stty -g > after";
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Line `line` of the screen, from 0.
std::string ScreenLine(const std::string& screen, size_t line) {
    size_t start = 0;
    for (size_t i = 0; i < line && start != std::string::npos; ++i) {
        start = screen.find('\n', start);
        if (start != std::string::npos) ++start;
    }
    if (start == std::string::npos) return "";
    return screen.substr(start, screen.find('\n', start) - start);
}

// The clock line starts "0:12.34 / 1:01.44": the first time in centiseconds.
std::optional<int64_t> Clock(const std::string& screen) {
    std::smatch match;
    const std::string line = ScreenLine(screen, 2);
    if (!std::regex_search(line, match, std::regex(R"(^(\d+):(\d\d)\.(\d\d) / )"))) return std::nullopt;
    return std::stoll(match[1]) * 6000 + std::stoll(match[2]) * 100 + std::stoll(match[3]);
}

// "position 3/8   step 12/64": steps from the song's start, for songs without jumps.
std::optional<int64_t> StepsIn(const std::string& screen, int64_t trackLength) {
    std::smatch match;
    const std::string line = ScreenLine(screen, 2);
    if (!std::regex_search(line, match, std::regex(R"(position (\d+)/\d+ +step (\d+)/)"))) return std::nullopt;
    return std::stoll(match[1]) * trackLength + std::stoll(match[2]);
}

// Any SGR sequence that sets a foreground or background colour.
bool HasColour(const std::string& screen) {
    const std::regex sgr("\x1b\\[([0-9;]*)m");
    for (auto it = std::sregex_iterator(screen.begin(), screen.end(), sgr); it != std::sregex_iterator(); ++it) {
        std::stringstream codes((*it)[1].str());
        for (std::string code; std::getline(codes, code, ';');) {
            if (code.size() == 2 && (code[0] == '3' || code[0] == '4') && code[1] <= '7') return true;
        }
    }
    return false;
}

void ExpectSettingsRestored(const Scratch& folder) {
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(folder / "after") && fs::file_size(folder / "after") > 0; }));
    EXPECT_FALSE(ReadText(folder / "before").empty());
    EXPECT_EQ(ReadText(folder / "before"), ReadText(folder / "after"));
}

std::string ExitCode(const Scratch& folder) { return ReadText(folder / "code"); }

TEST(TerminalPlayer, ShowsTheSongAndItsKeysPauseSeekChangeSongAndQuit) {
    Scratch folder;
    // Eight positions (61.44 s) and two subsongs starting at positions 2 and 5.
    WriteBytes(folder / "keys.hvl", BuildModule(With(Busy(4, 8), [](auto& s) {
                   s.name = "Key Test";
                   s.subsongs = {2, 5};
               })));
    WriteModules(folder);
    TmuxPane pane(folder.path, PlayerInPane(kDiskPaced, {"keys.hvl", "song.ahx"}), 80, 24);
    std::string screen;
    // The screen may be caught halfway through a redraw: every check waits for what it looks for.
    const auto shows = [&](const std::vector<std::string>& parts) {
        return WaitUntil([&] {
            screen = pane.Screen();
            return std::all_of(parts.begin(), parts.end(), [&](const std::string& part) { return Contains(screen, part); });
        });
    };
    ASSERT_TRUE(shows({"[1/2]  keys.hvl", "Key Test   HVL version 1, 4 channels   song 1 of 3", "q quit"}))
        << screen;
    EXPECT_TRUE(HasColour(pane.Screen(true)));
    const std::optional<int64_t> first = Clock(screen);
    ASSERT_TRUE(first) << screen;
    EXPECT_TRUE(WaitUntil([&] { return Clock(pane.Screen()).value_or(0) > *first; })) << "the clock does not move";

    pane.Keys("Space");
    ASSERT_TRUE(shows({"[paused]"})) << screen;
    std::optional<int64_t> paused;
    EXPECT_TRUE(WaitUntil([&] {
        paused = Clock(pane.Screen());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return paused && Clock(pane.Screen()) == paused;
    })) << "the clock does not stop";
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(Clock(pane.Screen()), paused) << "the clock moves while paused";

    // Exact seeks: the paused clock moves by exactly the key's seconds, and the position and step
    // shown are those of a frame the clock's rounding allows (one step is 6 ticks of 882 frames).
    int64_t expected = *paused;
    for (const auto& [key, centiseconds] : {std::pair{"Right", 500}, {"Up", 3000}, {"Down", -3000}, {"Left", -500}}) {
        SCOPED_TRACE(key);
        expected += centiseconds;
        pane.Keys(key);
        const int64_t frameLow = expected * 441 - 220, frameHigh = expected * 441 + 220;
        EXPECT_TRUE(WaitUntil([&] {
            const std::optional<int64_t> steps = StepsIn(screen = pane.Screen(), 64);
            return Clock(screen) == expected && steps && *steps >= frameLow / (6 * 882) && *steps <= frameHigh / (6 * 882);
        })) << screen;
    }

    // A subsong plays to the last position, then from the restart position (0) until it comes
    // back to its first: all eight positions, 61.44 s, whichever it starts at.
    pane.Keys(">");
    EXPECT_TRUE(shows({"song 2 of 3", "0:00.00 / 1:01.44   position 2/8"})) << screen;
    pane.Keys(">");
    EXPECT_TRUE(shows({"song 3 of 3", "0:00.00 / 1:01.44   position 5/8"})) << screen;
    pane.Keys(">");
    EXPECT_TRUE(shows({"songs are 0 (the main song) to 2"})) << screen;
    pane.Keys("<");
    pane.Keys("<");
    EXPECT_TRUE(shows({"song 1 of 3", "0:00.00 / 1:01.44   position 0/8"})) << screen;

    pane.Keys("n");
    EXPECT_TRUE(shows({"[2/2]  song.ahx", "AHX revision 1, 4 channels"})) << screen;
    pane.Keys("p");
    EXPECT_TRUE(shows({"[1/2]  keys.hvl"})) << screen;

    pane.Keys("?");
    EXPECT_TRUE(shows({"solo that channel"})) << screen;
    pane.Keys("x");
    EXPECT_TRUE(WaitUntil([&] { return !Contains(screen = pane.Screen(), "solo that channel"); })) << screen;

    pane.Resize(100, 30);
    EXPECT_TRUE(WaitUntil([&] { return Contains(ScreenLine(screen = pane.Screen(), 29), "q quit"); })) << screen;

    pane.Keys("q");
    ExpectSettingsRestored(folder);
    EXPECT_EQ(ExitCode(folder), "0\n");
    EXPECT_EQ(ReadText(folder / "err"), "");
}

TEST(TerminalPlayer, LoopSeekMuteAndSoloChangeTheSoundFromThatPointOn) {
    Scratch folder;
    WriteModules(folder);
    // Two seconds, then the player would move on and end, unless looping keeps the song going.
    TmuxPane pane(folder.path, PlayerInPane(kDiskPaced, {"busy8.hvl", "--seconds", "2"}), 80, 24);
    std::string screen;
    const auto mutedChannels = [&] {
        const std::string meters = ScreenLine(screen = pane.Screen(), 5);
        size_t count = 0;
        for (size_t at = meters.find("off"); at != std::string::npos; at = meters.find("off", at + 1)) ++count;
        return count;
    };
    ASSERT_TRUE(WaitUntil([&] { return Contains(screen = pane.Screen(), "busy8.hvl"); })) << screen;
    pane.Keys("l");
    ASSERT_TRUE(WaitUntil([&] { return Contains(screen = pane.Screen(), "[loop]"); })) << screen;
    ASSERT_TRUE(WaitUntil([&] { return Clock(screen = pane.Screen()).value_or(0) >= 250; })) << screen;
    const int64_t beforeSeek = Clock(screen).value_or(0);
    pane.Keys("Right");
    EXPECT_TRUE(WaitUntil([&] { return Clock(screen = pane.Screen()).value_or(0) >= beforeSeek + 500; })) << screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    pane.Keys("1");
    EXPECT_TRUE(WaitUntil([&] { return mutedChannels() == 1; })) << screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    pane.Keys("s");
    pane.Keys("3");
    EXPECT_TRUE(WaitUntil([&] { return mutedChannels() == 7; })) << screen;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    pane.Keys("q");
    ExpectSettingsRestored(folder);
    EXPECT_EQ(ExitCode(folder), "0\n");

    // The song as it goes on past its two seconds, looping, with every channel and then as heard
    // after each key; the seek jumps exactly five seconds on from the frame where it lands.
    const Bytes& module = Modules().at("busy8.hvl");
    const Frames all = Expected(folder.path, {"busy8.hvl", 0, {"--seconds", "20"}});
    const size_t frames = all.size() / 2, fiveSeconds = 5 * kRate;
    const Frames notFirst = LibraryRender(module, {.mask = kAllChannels & ~1u}, frames);
    const Frames third = LibraryRender(module, {.mask = 1u << 2}, frames);
    // Each for at least a tenth of a second: the keys were half a second apart.
    EXPECT_EQ(CompareChangingCapture(ToFrames(ReadBytes(folder / "capture.raw")),
                                     {{&all}, {&all, fiveSeconds}, {&notFirst, fiveSeconds}, {&third, fiveSeconds}},
                                     kRate / 10),
              "");
}

TEST(TerminalPlayer, EveryWayOfEndingGivesTheTerminalBack) {
    enum class Ending { kCtrlC, kSigterm, kPlaylistDone };
    const struct {
        const char* name;
        Ending ending;
        const char* seconds;
        const char* exitCode;
    } cases[] = {
        {"Ctrl-C", Ending::kCtrlC, "60", "130\n"},
        {"SIGTERM", Ending::kSigterm, "60", "130\n"},
        {"the end of the playlist", Ending::kPlaylistDone, "1", "0\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch folder;
        WriteModules(folder);
        TmuxPane pane(folder.path, PlayerInPane("NO_COLOR=1 " + kDiskPaced, {"busy8.hvl", "--seconds", c.seconds}), 80, 24);
        std::string screen;
        ASSERT_TRUE(WaitUntil([&] { return Contains(screen = pane.Screen(), "busy8.hvl"); })) << screen;
        EXPECT_FALSE(HasColour(pane.Screen(true)));
        if (c.ending == Ending::kSigterm) {
            const std::vector<pid_t> children = pane.Children();
            ASSERT_EQ(children.size(), 1u);
            ::kill(children[0], SIGTERM);
        } else if (c.ending == Ending::kCtrlC) {
            pane.Keys("C-c");
        }
        ExpectSettingsRestored(folder);
        EXPECT_EQ(ExitCode(folder), c.exitCode);
        EXPECT_EQ(ReadText(folder / "err"), "");
    }
}

TEST(TerminalPlayer, TheViewTakesChannelsAboveTenAndKeepsPlayingOnTheLastFile) {
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
        if (off == std::string::npos || off < 2) return false;
        if (screen.find("off", off + 1) != std::string::npos) return false;
        const size_t line = screen.rfind('\n', off) + 1, above = screen.rfind('\n', line - 2) + 1;
        return screen.compare(above + (off - line), 2, "11") == 0;
    })) << screen;
    pane.Keys("n");
    EXPECT_TRUE(shows(std::regex("this is the last file"))) << screen;
    pane.Resize(40, 24);
    EXPECT_TRUE(shows(std::regex("\\+[0-9]+ hidden"))) << screen;
    EXPECT_TRUE(shows(std::regex("ahx play  \\[1/1\\]"))) << "the player has gone: " << screen;
}

TEST(TerminalPlayer, ADumbTerminalGetsTheStatusLine) {
    Scratch folder;
    WriteModules(folder);
    const std::string dumb = "TERM=dumb " + kDiskPaced;
    TmuxPane pane(folder.path, dumb + ToolCommand({"play", "song.ahx", "--seconds", "30"}), 80, 24);
    std::string screen;
    const std::regex status("\\[1/1\\] song\\.ahx  song 1 of 1  0:0");
    EXPECT_TRUE(WaitUntil([&] { return std::regex_search(screen = pane.Screen(), status); })) << screen;
    EXPECT_EQ(screen.find("q quit"), std::string::npos) << screen;
}

}  // namespace
