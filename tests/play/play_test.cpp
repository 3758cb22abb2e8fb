// `ahx play` run as a user runs it. SDL's disk driver captures the exact bytes the device gets; a
// private PulseAudio server shows a real sound server gets them too; tmux gives the player a
// terminal to draw on and keys to read. What is heard is compared with `ahx render` of the same song.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <regex>
#include <thread>

#include "builder/sample_songs.h"
#include "tests/support/shell.h"

namespace {

using Frames = std::vector<int16_t>;  // interleaved stereo, left first

constexpr uint32_t kRate = 44100;
// The disk driver without its real-time pacing: a song is captured as fast as it renders.
const std::string kDiskNow = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=capture.raw SDL_DISKAUDIODELAY=0 ";
// Paced like a sound card: the player on a terminal, and songs that must follow without a gap.
const std::string kDiskPaced = "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=capture.raw ";

// The benchmarks' busy song, cut to `positions` positions of 64 steps at tempo 6 (7.68 s each).
ModuleDescription Busy(uint16_t channels, size_t positions, ModuleFormat format = ModuleFormat::kHvl) {
    ModuleDescription song = BusySong(channels);
    song.format = format;
    song.positions.resize(positions);
    return song;
}

void WriteModules(const Scratch& folder) {
    WriteBytes(folder / "busy8.hvl", BuildModule(Busy(8, 2)));
    // Four ticks per fiftieth of a second.
    WriteBytes(folder / "fast.hvl", BuildModule(With(Busy(4, 2), [](auto& s) { s.speedMultiplier = 4; })));
    WriteBytes(folder / "song.ahx", BuildModule(Busy(4, 2, ModuleFormat::kAhx)));
    WriteBytes(folder / "subs.hvl", BuildModule(With(Busy(4, 2), [](auto& s) { s.subsongs = {1}; })));
    WriteBytes(folder / "text.hvl", Bytes{'h', 'e', 'l', 'l', 'o'});
    // Tempo 0 on step 20 of the first position: the song stops there for good.
    WriteBytes(folder / "stops.hvl", BuildModule(With(Busy(4, 2), [](auto& s) {
                   std::vector<BuiltStep>& track = s.tracks.at(s.positions[0].track[0]);
                   track.resize(std::max<size_t>(track.size(), 21));
                   track[20].command1 = 0xF, track[20].param1 = 0;
               })));
}

// Polls until done() or about `seconds` have passed; returns done()'s last answer. A deadline for
// things that take real time, never a measure of speed.
bool WaitUntil(const std::function<bool()>& done, double seconds = 20) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// Little-endian 16-bit samples, as SDL, parec and `ahx render -o -` write them on these machines.
Frames ReadFrames(const fs::path& file) {
    const Bytes bytes = ReadFile<Bytes>(file);
    Frames frames(bytes.size() / 4 * 2);
    std::copy_n(bytes.begin(), frames.size() * 2, reinterpret_cast<uint8_t*>(frames.data()));
    return frames;
}

// `ahx render args -o -` appended to a file of the folder.
void AppendRender(const fs::path& folder, const std::vector<std::string>& args, const std::string& file) {
    std::vector<std::string> render = args;
    render.insert(render.begin(), "render");
    const RunResult run = Shell(ToolCommand(render) + " -o - >> " + file, folder);
    EXPECT_EQ(run.exitCode, 0) << run.err;
}

bool Silent(const Frames& frames, size_t frame) { return frames[2 * frame] == 0 && frames[2 * frame + 1] == 0; }

// The frames from the first sound to the last; with `anywhere`, with every silent frame left out (a
// sound server that misses a deadline fills in silence anywhere).
Frames Audible(const Frames& frames, bool anywhere = false) {
    size_t begin = 0, end = frames.size() / 2;
    while (begin < end && Silent(frames, begin)) ++begin;
    while (end > begin && Silent(frames, end - 1)) --end;
    Frames kept;
    for (size_t i = begin; i < end; ++i) {
        if (!anywhere || !Silent(frames, i)) kept.insert(kept.end(), {frames[2 * i], frames[2 * i + 1]});
    }
    return kept;
}

// Empty when the two are the same; else where they part.
std::string Difference(const Frames& heard, const Frames& expected) {
    const auto [h, e] = std::mismatch(heard.begin(), heard.end(), expected.begin(), expected.end());
    if (h == heard.end() && e == expected.end()) return "";
    return "heard " + std::to_string(heard.size() / 2) + " frames, expected " + std::to_string(expected.size() / 2) +
           "; they part at frame " + std::to_string((h - heard.begin()) / 2);
}

struct PlayCase {
    std::string name;
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // part of stderr, which has as many lines; empty: stderr stays empty
    std::vector<std::vector<std::string>> heard = {};  // `ahx render` arguments of each song heard in turn
    std::string environment = kDiskNow;
    uint32_t bufferFrames = 4410;  // 100 ms unless --buffer: the device writes whole buffers
    std::string out = "";          // part of stdout, else empty
};

TEST(Play, EachCommandLineIsHeardAsRenderedWithItsMessagesAndExitCode) {
    const std::vector<PlayCase> cases = {
        // What each option does is render's test (tests/tool); these rows show play passes them on.
        {"AHX in stereo mode 4, narrowed", {"song.ahx", "--stereo", "4", "--separation", "40", "--seconds", "2"}, 0, "",
         {{"song.ahx", "--stereo", "4", "--separation", "40", "--seconds", "2"}}},
        {"a song that stops ends there, whatever --loops asks", {"stops.hvl", "--loops", "3"}, 0, "",
         {{"stops.hvl", "--loops", "3"}}},
        // 370 ms at 44100 Hz.
        {"--start, --solo less --mute, a longer buffer",
         {"busy8.hvl", "--start", "10", "--solo", "2-3,8", "--mute", "3", "--buffer", "370"}, 0, "",
         {{"busy8.hvl", "--start", "10", "--solo", "2-3,8", "--mute", "3"}}, kDiskNow, 16317},
        // Paced in real time, the device never waits for the next song.
        {"every song of a playlist without a gap, an unreadable file skipped",
         {"subs.hvl", "text.hvl", "fast.hvl", "--song", "all", "--seconds", "0.8"}, 2,
         "ahx: text.hvl: not a module (no THX or HVL header)\n",
         {{"subs.hvl", "--seconds", "0.8"}, {"subs.hvl", "--song", "2", "--seconds", "0.8"},
          {"fast.hvl", "--seconds", "0.8"}},
         kDiskPaced},
        {"a file without the song asked for is skipped", {"busy8.hvl", "subs.hvl", "--song", "2"}, 2,
         "ahx: busy8.hvl: no such song 2 (it has only song 1)\n", {{"subs.hvl", "--song", "2"}}},
        {"a module without a channel named is skipped", {"song.ahx", "busy8.hvl", "--mute", "6"}, 2,
         "ahx: song.ahx: has 4 channels, so --mute and --solo cannot name channel 6\n", {{"busy8.hvl", "--mute", "6"}}},
        {"no file: the bundled demo song", {}, 0, "", {{}}},
        {"--driver wins over the environment", {"busy8.hvl", "--driver", "nosuch"}, 2,
         "ahx: no audio output: Audio target 'nosuch' not available (--driver picks one of SDL's: "},
        {"a device that cannot be opened", {"busy8.hvl"}, 2, "ahx: no audio output: Couldn't open no/such/folder/x.raw",
         {}, "SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=no/such/folder/x.raw "},
        {"a buffer too long", {"--buffer", "1001"}, 1, "--buffer takes a whole number from 5 to 1000, not '1001'"},
        {"help", {"--help"}, 0, "", {}, kDiskNow, 4410, "Usage: ahx play [FILE...] [OPTION...]"},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        Scratch folder;
        WriteModules(folder);
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "play");
        const RunResult run = Shell(c.environment + ToolCommand(args), folder.path);
        EXPECT_EQ(run.exitCode, c.exitCode);
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        EXPECT_TRUE(run.err.find(c.err) != std::string::npos &&
                    lines(run.err) == (c.err.empty() ? 0 : std::max<ptrdiff_t>(lines(c.err), 1))) << run.err;
        EXPECT_TRUE(c.out.empty() ? run.out.empty() : run.out.find(c.out) != std::string::npos) << run.out;
        for (const auto& heard : c.heard) AppendRender(folder.path, heard, "expected.raw");
        const Frames capture = ReadFrames(folder / "capture.raw");
        EXPECT_EQ(capture.size() % (2 * c.bufferFrames), 0u) << capture.size();
        EXPECT_EQ(Difference(Audible(capture), Audible(ReadFrames(folder / "expected.raw"))), "");
    }
}

TEST(Play, ASoundServerHearsEveryFrameOfTheRender) {
    Scratch folder;
    WriteModules(folder);
    // A server of our own (user mode, as root too; none of the system's modules) with one null sink.
    // norewinds: what the sink has taken is never asked for again, so its monitor hears each frame once.
    std::ofstream(folder / "server.pa")
        << "load-module module-native-protocol-unix\n"
           "load-module module-null-sink sink_name=capture rate=44100 channels=2 format=s16le norewinds=1\n";
    const std::string client = "HOME=$PWD XDG_RUNTIME_DIR=$PWD/run PULSE_SERVER=unix:$PWD/run/pulse/native ";
    const RunResult server = Shell("mkdir -m 700 run && " + client +
                                       "pulseaudio --daemonize=yes --exit-idle-time=-1 -n --system=no --file=server.pa "
                                       "--log-target=file:$PWD/server.log",
                                   folder.path);
    const struct Stop {
        std::function<void()> stop;
        ~Stop() { stop(); }
    } stop{[&] { Shell(client + "pulseaudio --kill", folder.path); }};
    if (server.exitCode != 0) GTEST_SKIP() << "no PulseAudio server here: " << ReadFile(folder / "server.log");
    const fs::path recording = folder / "recording.raw";
    Shell(client + "parec -d capture.monitor --raw --format=s16le --rate=44100 --channels=2 > recording.raw & true",
          folder.path);
    // The recorder hears the idle sink's silence before anything plays.
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(recording) && fs::file_size(recording) > 0; }));

    const RunResult run = Shell(client + "SDL_AUDIODRIVER=pulseaudio " +
                                    ToolCommand({"play", "fast.hvl", "song.ahx", "--seconds", "1.5", "--quiet"}),
                                folder.path);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    // Whatever the server still held has reached the monitor once a little more has been recorded.
    const uintmax_t recorded = fs::file_size(recording);
    ASSERT_TRUE(WaitUntil([&] { return fs::file_size(recording) > recorded + kRate; }));
    // Every frame arrives, in order and unchanged. A server starved of CPU (CI machines are shared)
    // plays silence when its buffer runs dry, its own reference client included; that is allowed.
    AppendRender(folder.path, {"fast.hvl", "--seconds", "1.5"}, "expected.raw");
    AppendRender(folder.path, {"song.ahx", "--seconds", "1.5"}, "expected.raw");
    EXPECT_EQ(Difference(Audible(ReadFrames(recording), true), Audible(ReadFrames(folder / "expected.raw"), true)), "");
}

// ---- The player on a terminal ----------------------------------------------------------------

// A tmux server of its own with one pane running `command` in folder.
struct Pane {
    fs::path folder;
    Pane(const fs::path& in, const std::string& command, int columns, int lines) : folder(in) {
        const RunResult run = Tmux("new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(lines) +
                                   " " + Quoted("cd " + Quoted(folder.string()) + " && " + command));
        if (run.exitCode != 0) throw std::runtime_error("tmux did not start: " + run.err);
    }
    ~Pane() { Tmux("kill-server"); }
    RunResult Tmux(const std::string& args) const { return Shell("tmux -f /dev/null -S tmux.socket " + args, folder); }
    // What the pane shows, one line per screen line; withColours keeps the escape sequences.
    std::string Screen(bool withColours = false) const {
        return Tmux(withColours ? "capture-pane -pe" : "capture-pane -p").out;
    }
    // Keys by tmux's names for them: "Space", "Right", "C-c", "q" ...
    void Keys(const std::vector<std::string>& keys) const {
        for (const std::string& key : keys) Tmux("send-keys " + Quoted(key));
    }
};

// The pane runs the player between two readings of the terminal's settings, keeping its process id
// and exit code. The shell catches SIGINT so that it lives on after Ctrl-C; the player, started
// afresh, gets the default handling.
std::string PlayerInPane(const std::string& environment, const std::vector<std::string>& args) {
    std::vector<std::string> play = args;
    play.insert(play.begin(), "play");
    return "trap : INT; stty -g > before; " + environment + "sh -c 'echo $$ > pid; exec \"$0\" \"$@\"' " +
           ToolCommand(play) + "; echo $? > code; stty -g > after";
}

void ExpectEndedWith(const Scratch& folder, const std::string& exitCode) {
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(folder / "after") && fs::file_size(folder / "after") > 0; }));
    EXPECT_FALSE(ReadFile(folder / "before").empty());
    EXPECT_EQ(ReadFile(folder / "before"), ReadFile(folder / "after")) << "the terminal's settings are not restored";
    EXPECT_EQ(ReadFile(folder / "code"), exitCode);
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

// "position 3/8   step 12/64": steps from the song's start, for songs of 64 steps a track without jumps.
std::optional<int64_t> Steps(const std::string& screen) {
    std::smatch match;
    const std::string line = ScreenLine(screen, 2);
    if (!std::regex_search(line, match, std::regex(R"(position (\d+)/\d+ +step (\d+)/)"))) return std::nullopt;
    return std::stoll(match[1]) * 64 + std::stoll(match[2]);
}

// The channels whose meters say "off", as "1 10 11": the number above each.
std::string OffChannels(const std::string& screen) {
    const std::string numbers = ScreenLine(screen, 4), meters = ScreenLine(screen, 5);
    std::string off;
    for (size_t at = meters.find("off"); at != std::string::npos; at = meters.find("off", at + 1)) {
        const size_t from = std::min(at, numbers.size());
        if (!off.empty()) off += ' ';
        off.append(numbers, from, numbers.find(' ', from) - from);
    }
    return off;
}

// Any SGR sequence that sets one of the eight foreground or background colours.
bool HasColour(const std::string& screen) {
    return std::regex_search(screen, std::regex("\x1b\\[([0-9;]*;)?[34][0-7](;[0-9;]*)?m"));
}

TEST(TerminalPlayer, ShowsTheSongAndItsKeysPauseSeekChangeSongFileAndChannelsAndQuit) {
    Scratch folder;
    // Twelve channels, eight positions and two subsongs starting at positions 2 and 5.
    WriteBytes(folder / "keys.hvl", BuildModule(With(Busy(12, 8), [](auto& s) {
                   s.name = "Key Test";
                   s.subsongs = {2, 5};
               })));
    WriteModules(folder);
    const Pane pane(folder.path, PlayerInPane(kDiskPaced, {"keys.hvl", "song.ahx"}), 40, 24);
    std::string screen;
    // The screen may be caught halfway through a redraw: every check waits for what it looks for.
    const auto shows = [&](const std::vector<std::string>& parts) {
        return WaitUntil([&] {
            screen = pane.Screen();
            return std::all_of(parts.begin(), parts.end(), [&](const std::string& p) { return Contains(screen, p); });
        });
    };
    // Too narrow for twelve channels, then wide enough.
    ASSERT_TRUE(shows({"[1/2]  keys.hvl", " hidden"})) << screen;
    EXPECT_TRUE(std::regex_search(ScreenLine(screen, 4), std::regex(R"(\+\d+ hidden)"))) << screen;
    pane.Tmux("resize-window -x 200 -y 30");
    ASSERT_TRUE(shows({"Key Test   HVL version 1, 12 channels   song 1 of 3"})) << screen;
    EXPECT_TRUE(WaitUntil([&] { return Contains(ScreenLine(screen = pane.Screen(), 29), "q quit"); })) << screen;
    EXPECT_TRUE(HasColour(pane.Screen(true)));
    const std::optional<int64_t> first = Clock(screen);
    ASSERT_TRUE(first) << screen;
    EXPECT_TRUE(WaitUntil([&] { return Clock(pane.Screen()).value_or(0) > *first; })) << "the clock does not move";

    pane.Keys({"Space"});
    ASSERT_TRUE(shows({"[paused]"})) << screen;
    std::optional<int64_t> paused;
    EXPECT_TRUE(WaitUntil([&] {
        paused = Clock(pane.Screen());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return paused && Clock(pane.Screen()) == paused;
    })) << "the clock does not stop";

    // Exact seeks: the paused clock moves by exactly the key's seconds, and the position and step
    // shown are those of a frame the clock's rounding allows (one step is 6 ticks of 882 frames).
    int64_t expected = *paused;
    for (const auto& [key, centiseconds] : {std::pair{"Right", 500}, {"Up", 3000}, {"Down", -3000}, {"Left", -500}}) {
        SCOPED_TRACE(key);
        expected += centiseconds;
        pane.Keys({key});
        const int64_t lowStep = (expected * 441 - 220) / (6 * 882), highStep = (expected * 441 + 220) / (6 * 882);
        EXPECT_TRUE(WaitUntil([&] {
            const std::optional<int64_t> steps = Steps(screen = pane.Screen());
            return Clock(screen) == expected && steps && *steps >= lowStep && *steps <= highStep;
        })) << screen;
    }

    // Each row from where the one before left the player. Paused, a song starts at 0:00.00.
    const std::pair<std::vector<std::string>, std::vector<std::string>> rows[] = {
        {{"p"}, {"[1/2]  keys.hvl", "0:00.00 / "}},  // the first file: from its start again
        {{">"}, {"song 2 of 3", "0:00.00 / ", "position 2/8"}},
        {{">"}, {"song 3 of 3", "position 5/8"}},
        {{">"}, {"songs are 0 (the main song) to 2"}},
        {{"<", "<"}, {"song 1 of 3", "position 0/8"}},
        {{"n"}, {"[2/2]  song.ahx", "AHX revision 1, 4 channels"}},
        {{"n"}, {"this is the last file", "[2/2]  song.ahx"}},
        {{"p"}, {"[1/2]  keys.hvl"}},
        {{"?"}, {"solo that channel"}},
    };
    for (const auto& [keys, parts] : rows) {
        SCOPED_TRACE(keys[0]);
        pane.Keys(keys);
        EXPECT_TRUE(shows(parts)) << screen;
    }
    pane.Keys({"x"});
    EXPECT_TRUE(WaitUntil([&] { return !Contains(screen = pane.Screen(), "solo that channel"); })) << screen;

    // The channels whose meters say off after the keys, each row from where the one before left them.
    const std::pair<std::vector<std::string>, std::string> channelRows[] = {
        {{"1"}, "1"},
        {{"0"}, "1 10"},
        {{"1"}, "10"},
        {{"+", "1"}, "10 11"},
        {{"s", "3"}, "1 2 4 5 6 7 8 9 10 11 12"},
        {{"s", "3"}, ""},  // soloed again: all back
        {{"s", "+", "2"}, "1 2 3 4 5 6 7 8 9 10 11"},
    };
    for (const auto& [keys, off] : channelRows) {
        SCOPED_TRACE(off);
        pane.Keys(keys);
        EXPECT_TRUE(WaitUntil([&, &off = off] { return OffChannels(screen = pane.Screen()) == off; })) << screen;
    }

    pane.Keys({"q"});
    ExpectEndedWith(folder, "0\n");
}

TEST(TerminalPlayer, LoopSeekMuteAndSoloAreHeardFromThatPointOnAndCtrlCEnds) {
    Scratch folder;
    WriteModules(folder);
    // Two seconds, then the player would move on and end, unless looping keeps the song going.
    const Pane pane(folder.path, PlayerInPane("NO_COLOR=1 " + kDiskPaced, {"busy8.hvl", "--seconds", "2"}), 80, 24);
    std::string screen;
    ASSERT_TRUE(WaitUntil([&] { return Contains(screen = pane.Screen(), "busy8.hvl"); })) << screen;
    EXPECT_FALSE(HasColour(pane.Screen(true)));
    pane.Keys({"l"});
    ASSERT_TRUE(WaitUntil([&] { return Contains(screen = pane.Screen(), "[loop]"); })) << screen;
    ASSERT_TRUE(WaitUntil([&] { return Clock(screen = pane.Screen()).value_or(0) >= 250; })) << screen;
    // Each key's sound plays for half a second before the next key.
    const struct {
        std::vector<std::string> keys;
        int64_t seek;
        std::string off;
    } steps[] = {{{"Right"}, 500, ""}, {{"1"}, 0, "1"}, {{"s", "3"}, 0, "1 2 4 5 6 7 8"}};
    for (const auto& step : steps) {
        const int64_t from = Clock(screen).value_or(0) + step.seek + 50;
        pane.Keys(step.keys);
        EXPECT_TRUE(WaitUntil([&] {
            screen = pane.Screen();
            return OffChannels(screen) == step.off && Clock(screen).value_or(0) >= from;
        })) << screen;
    }
    pane.Keys({"C-c"});
    ExpectEndedWith(folder, "130\n");

    // The song as it goes on past its two seconds, looping, with every channel and then as heard
    // after each key; the seek jumps exactly five seconds on from the frame where it lands.
    AppendRender(folder.path, {"busy8.hvl", "--seconds", "20"}, "all.raw");
    AppendRender(folder.path, {"busy8.hvl", "--seconds", "20", "--mute", "1"}, "muted.raw");
    AppendRender(folder.path, {"busy8.hvl", "--seconds", "20", "--solo", "3"}, "solo.raw");
    const Frames capture = ReadFrames(folder / "capture.raw");
    const std::vector<std::pair<Frames, size_t>> parts = {{ReadFrames(folder / "all.raw"), 0},
                                                          {ReadFrames(folder / "all.raw"), 5 * kRate},
                                                          {ReadFrames(folder / "muted.raw"), 5 * kRate},
                                                          {ReadFrames(folder / "solo.raw"), 5 * kRate}};
    // The capture holds silence, then each part in turn, heard for at least a tenth of a second, and
    // how far into the song it is beyond the time played.
    size_t played = 0, part = 0, since = 0;
    while (played * 2 < capture.size() && Silent(capture, played)) ++played;
    const size_t offset = played, end = offset + Audible(capture).size() / 2;
    const auto heard = [&](size_t p, size_t at) {
        const size_t frame = at - offset + parts[p].second;
        return 2 * frame < parts[p].first.size() && parts[p].first[2 * frame] == capture[2 * at] &&
               parts[p].first[2 * frame + 1] == capture[2 * at + 1];
    };
    for (; played < end; ++played) {
        if (heard(part, played)) continue;
        ASSERT_LT(part + 1, parts.size()) << "no part left at frame " << played;
        ASSERT_GE(played - since, kRate / 10) << "part " << part << " too short";
        since = played;
        ASSERT_TRUE(heard(++part, played)) << "part " << part << " does not follow at frame " << played;
    }
    EXPECT_EQ(part + 1, parts.size());
    EXPECT_GE(end - since, kRate / 10);
}

TEST(TerminalPlayer, ADumbTerminalGetsTheStatusLineAndSigtermEnds) {
    Scratch folder;
    WriteModules(folder);
    const Pane pane(folder.path, PlayerInPane("TERM=dumb " + kDiskPaced, {"song.ahx", "--seconds", "30"}), 80, 24);
    std::string screen;
    const std::regex status("\\[1/1\\] song\\.ahx  song 1 of 1  0:0");
    EXPECT_TRUE(WaitUntil([&] { return std::regex_search(screen = pane.Screen(), status); })) << screen;
    EXPECT_EQ(screen.find("q quit"), std::string::npos) << screen;
    ::kill(std::stoi(ReadFile(folder / "pid")), SIGTERM);
    ExpectEndedWith(folder, "130\n");
}

}  // namespace
