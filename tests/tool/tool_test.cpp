// The ahx tool run as a user runs it, a subprocess (also on a terminal and interrupted): song lengths
// worked out by hand, outputs read back through libsndfile and compared with the engine's own render,
// messages and exit codes, and the bundled demo songs.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <tuple>

#include "builder/module_builder.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

namespace {

namespace fs = std::filesystem;
constexpr uint64_t T = 882;  // frames per tick: 44100 Hz / 50 ticks a second
const fs::path kDemo = fs::path(AHX_SOURCE_DIR) / "demo";

// A fresh empty folder, removed with its contents when the object goes.
struct Scratch {
    fs::path path;
    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "ahx-tool-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        path = pattern;
    }
    ~Scratch() {
        std::error_code error;
        fs::remove_all(path, error);
    }
    fs::path operator/(const std::string& name) const { return path / name; }
    // Every file below the folder, hidden ones included, as sorted relative paths.
    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(path)) {
            if (!entry.is_directory()) names.insert(fs::relative(entry.path(), path).string());
        }
        return names;
    }
};

using Bytes = std::vector<uint8_t>;

template <typename Contents = std::string>
Contents ReadFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Contents(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void WriteBytes(const fs::path& file, const Bytes& bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << std::string(bytes.begin(), bytes.end());
}

// Runs `ahx args...` in folder through the shell, stdin from /dev/null and output to files (a render to
// standard output can be megabytes); `wrap` is the shell command around it, @ standing for the tool.
std::tuple<int, std::string, std::string> RunTool(const std::vector<std::string>& args, const fs::path& folder,
                                                  std::string wrap = "@") {
    Scratch capture;
    std::string tool = AHX_TOOL_PATH;
    for (const std::string& a : args) tool += " '" + a + "'";
    const std::string command = "cd '" + folder.string() + "' && " + wrap.replace(wrap.find('@'), 1, tool) +
                                " </dev/null >'" + (capture / "out").string() + "' 2>'" +
                                (capture / "err").string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(capture / "out"), ReadFile(capture / "err")};
}

struct Audio {
    int rate = 0, channels = 0, format = 0;  // format: libsndfile major format, 0 for raw bytes
    std::vector<int16_t> samples;            // interleaved
};

Audio ReadAudio(const fs::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (sound == nullptr) return {};
    Audio audio{info.samplerate, info.channels, info.format & SF_FORMAT_TYPEMASK, {}};
    audio.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_short(sound, audio.samples.data(), info.frames);
    sf_close(sound);
    return audio;
}

// Raw s16le stereo bytes read back, on the little-endian machines these tests run on.
Audio RawAudio(const std::string& bytes, int rate) {
    Audio audio{rate, 2, 0, std::vector<int16_t>(bytes.size() / 2)};
    std::memcpy(audio.samples.data(), bytes.data(), audio.samples.size() * 2);
    return audio;
}

// The engine in this process: frameCount frames of a song, interleaved, as the plug-in renders it.
std::vector<int16_t> EngineRender(const Bytes& module, uint32_t song, int32_t stereoMode, uint32_t rate,
                                  uint64_t frameCount) {
    [[maybe_unused]] static const bool tablesBuilt = (BuildWaveTables(), true);
    Tune* tune = LoadTune(module.data(), static_cast<uint32_t>(module.size()), stereoMode, rate);
    if (tune == nullptr || StartSubsong(tune, song) == 0) throw std::runtime_error("engine refused the module");
    std::vector<int16_t> samples, chunk(size_t{FramesPerDecode(tune)} * 2);
    while (samples.size() < frameCount * 2) {
        DecodeFrame(tune, chunk.data(), chunk.data() + 1, 4);
        samples.insert(samples.end(), chunk.begin(), chunk.end());
    }
    FreeTune(tune);
    samples.resize(frameCount * 2);
    return samples;
}

// A song whose length is easy to work out by hand: `positions` positions of four steps, each
// playing track 1 on channel 0 (one triangle note on step 0), at the default tempo 6: 24 ticks each.
ModuleDescription CountedSong(ModuleFormat format, uint16_t positions) {
    std::vector<std::vector<BuiltStep>> tracks(2, std::vector<BuiltStep>(4));
    tracks[1][0] = {.note = 37, .instrument = 1};
    std::vector<BuiltPosition> order(positions);
    for (uint16_t i = 0; i < positions; ++i) {
        order[i].track[0] = 1;
        order[i].transpose[0] = static_cast<int8_t>(i);  // a semitone up each: where a song starts is audible
    }
    BuiltInstrument tone{.name = "tone", .envelope = {.sustainFrames = 255}, .perfList = {{.waveform = 1}}};
    return {.format = format, .name = "counted", .trackLength = 4, .subsongs = {},
            .positions = order, .tracks = tracks, .instruments = {tone}};
}

template <typename Change>
ModuleDescription With(ModuleDescription song, Change change) {
    change(song);
    return song;
}

// Position `position` plays a copy of track 1 with a command on step `step`.
ModuleDescription WithCommand(ModuleDescription song, size_t position, size_t step, uint8_t command, uint8_t param) {
    song.tracks.push_back(song.tracks[1]);
    song.tracks[2][step].command1 = command;
    song.tracks[2][step].param1 = param;
    song.positions[position].track[0] = 2;
    return song;
}

// What a command line should leave behind: each output file read back and compared with the engine.
struct Output {
    std::string file;  // "-": standard output
    int format;        // libsndfile major format, 0 for raw samples
    uint64_t frames;
    std::string input;  // the module the engine renders for comparison
    int rate = 44100;
    uint32_t song = 0;
    int32_t stereoMode = 0;
};

struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // part of stderr, which has one line per error; empty: stderr stays empty
    std::string out;  // part of stdout; empty: stdout is empty when the command failed
    std::vector<Output> outputs = {};
    uint64_t fadeFrames = 0;
    const char* wrap = "@";  // the shell command around the tool, @ standing for it
};

// `script` runs the tool on a pseudo-terminal and copies all it shows there to stdout.
constexpr const char* kOnTerminal = "script -qec \"@\" /dev/null";
// SIGINT, as Ctrl-C would send it, once the render's temporary file exists (the tool's handler is in
// place by then; at most 5 s later); `exec` leaves the exit code to the tool.
constexpr const char* kInterrupted =
    "{ (for i in $(seq 50); do [ -e .long.wav.?????? ] && break; sleep 0.1; done; kill -INT $$) & exec @; }";

constexpr int W = SF_FORMAT_WAV, F = SF_FORMAT_FLAC;

TEST(Tool, EachCommandLineGivesItsExitCodeMessagesAndOutputs) {
    const ModuleDescription three = CountedSong(ModuleFormat::kHvl, 3);  // 72 ticks
    const ModuleDescription four = CountedSong(ModuleFormat::kHvl, 4);
    const Bytes threeBytes = BuildModule(three);
    const std::map<std::string, Bytes> inputs = {
        {"three.hvl", threeBytes},
        {"two.ahx", BuildModule(With(CountedSong(ModuleFormat::kAhx, 2), [](auto& s) { s.version = 2; }))},
        {"restart.hvl", BuildModule(With(three, [](auto& s) { s.restartPosition = 1; }))},
        {"tempo3.hvl", BuildModule(WithCommand(three, 0, 0, 0xF, 3))},
        {"stuck.hvl", BuildModule(WithCommand(three, 0, 0, 0xF, 0))},  // tempo 0
        // B00 on the last step of position 2 goes back to position 0: position 3 never plays.
        {"back.hvl", BuildModule(WithCommand(four, 2, 3, 0xB, 0))},
        // B01 on step 1 of position 2: positions 0 and 1, then two steps of position 2.
        {"mid.hvl", BuildModule(WithCommand(four, 2, 1, 0xB, 1))},
        {"fast.hvl", BuildModule(With(four, [](auto& s) {
             s.speedMultiplier = 4, s.stereoMode = 3, s.mixGainPercent = 255;
         }))},
        // A quote, a backslash, a control character and a Latin-1 e-acute in the title.
        {"subs.hvl", BuildModule(With(three, [](auto& s) { s.name = "Q\"B\\C\x01\xE9", s.subsongs = {2}; }))},
        {"x/subs.hvl", BuildModule(CountedSong(ModuleFormat::kHvl, 1))},
        {"text.hvl", {'h', 'e', 'l', 'l', 'o'}},
        {"future.hvl", {'H', 'V', 'L', 2, 0, 0, 0, 0}},
        {"future.ahx", {'T', 'H', 'X', 3, 0, 0, 0, 0}},
        {"cut.hvl", {threeBytes.begin(), threeBytes.begin() + 40}},
        {"long.hvl", BuildModule(With(three, [](auto& s) { s.positions.resize(1001); }))},
        {"wide.hvl", BuildModule(With(three, [](auto& s) { s.channelCount = 17; }))},
        {"kept.wav", {'k', 'e', 'e', 'p'}},
        {"demo.hvl", ReadFile<Bytes>(kDemo / "demo.hvl")},
    };
    const std::vector<Case> cases = {
        // Three positions of 24 ticks of 882 frames; subsong 1 starts at position 2 and plays all three.
        {{"render", "three.hvl"}, 0, "", "three.wav: 0:01.44, 63504 frames", {{"three.wav", W, 72 * T, "three.hvl"}}},
        // Restart at 1: the song, then positions 1 and 2 again.
        {{"render", "restart.hvl", "--loops", "2", "-o", "a.flac"}, 0, "", "", {{"a.flac", F, 120 * T, "restart.hvl"}}},
        {{"render", "tempo3.hvl", "-o", "A.FLAC"}, 0, "", "", {{"A.FLAC", F, 36 * T, "tempo3.hvl"}}},
        {{"render", "back.hvl", "--format", "flac"}, 0, "", "", {{"back.flac", F, 72 * T, "back.hvl"}}},
        {{"render", "mid.hvl", "-o", "a.wav", "--format", "raw"}, 0, "", "", {{"a.wav", 0, 60 * T, "mid.hvl"}}},
        // Four ticks per fiftieth, 220 frames each.
        {{"render", "fast.hvl", "-o", "a.raw"}, 0, "", "", {{"a.raw", 0, 96 * 220, "fast.hvl"}}},
        {{"render", "three.hvl", "--rate", "22050", "-o", "-"}, 0, "", "", {{"-", 0, 72 * 441, "three.hvl", 22050}}},
        {{"render", "two.ahx", "--seconds=.5", "--rate=8000"}, 0, "", "", {{"two.wav", W, 4000, "two.ahx", 8000}}},
        {{"render", "subs.hvl", "--song", "1"}, 0, "", "", {{"subs.wav", W, 72 * T, "subs.hvl", 44100, 1}}},
        {{"render", "two.ahx", "--stereo", "4"}, 0, "", "", {{"two.wav", W, 48 * T, "two.ahx", 44100, 0, 4}}},
        // HVL songs carry their own stereo mode and ignore --stereo.
        {{"render", "three.hvl", "--stereo", "4"}, 0, "", "", {{"three.wav", W, 72 * T, "three.hvl"}}},
        {{"render", "three.hvl", "--fade", "0.5"}, 0, "", "", {{"three.wav", W, 72 * T, "three.hvl"}}, 22050},
        {{"render", "three.hvl", "-o", "kept.wav", "--force"}, 0, "", "", {{"kept.wav", W, 72 * T, "three.hvl"}}},
        {{"render", "three.hvl", "two.ahx", "-o", "x"}, 0, "", "[1/2 done] two.ahx",
         {{"x/three.wav", W, 72 * T, "three.hvl"}, {"x/two.wav", W, 48 * T, "two.ahx"}}, 0, kOnTerminal},
        {{"render", "-o", "-"}, 1, "", "pipe it into a player", {}, 0, kOnTerminal},
        // The interrupt comes early in a day-long render; no unfinished file stays behind.
        {{"render", "three.hvl", "--seconds", "86400", "-o", "long.wav"}, 130,
         "ahx: interrupted; the unfinished output was removed", "", {}, 0, kInterrupted},
        // x/subs.hvl would land on new/subs.flac too; the first input's output stands.
        {{"render", "subs.hvl", "text.hvl", "two.ahx", "x/subs.hvl", "-o", "new/", "--format", "flac"}, 2,
         "ahx: text.hvl: not a module (no THX or HVL header)\n"
         "ahx: new/subs.flac: written already in this run from another input; render it separately\n",
         "new/two.flac", {{"new/subs.flac", F, 72 * T, "subs.hvl"}, {"new/two.flac", F, 48 * T, "two.ahx"}}},
        {{"render", "subs.hvl", "--song", "all", "-o", "all"}, 0, "", "",
         {{"all/subs-song0.wav", W, 72 * T, "subs.hvl"}, {"all/subs-song1.wav", W, 72 * T, "subs.hvl", 44100, 1}}},
        // The bundled song: 14 positions of 32 steps at tempo 6 before it comes back to position 2.
        {{"render"}, 0, "", "demo.wav: 0:53.76, 2370816 frames at 44100 Hz, peak -",
         {{"demo.wav", W, 14 * 32 * 6 * T, "demo.hvl"}}},

        {{}, 1, "Usage: ahx", ""},
        {{"paly"}, 1, "ahx: unknown command paly", ""},
        {{"render", "--bogus"}, 1, "ahx render: unknown option --bogus", ""},
        {{"render", "--rate", "7999"}, 1, "--rate takes a whole number from 8000 to 192000", ""},
        {{"render", "--rate"}, 1, "--rate needs a value", ""},
        {{"render", "--stereo", "5"}, 1, "--stereo takes a whole number from 0 to 4", ""},
        {{"render", "--song", "x"}, 1, "--song takes a whole number from 0 to 255", ""},
        {{"render", "--seconds", "abc"}, 1, "--seconds takes a number of seconds", ""},
        {{"render", "--seconds", "-1"}, 1, "--seconds takes a number of seconds", ""},
        {{"render", "--fade", "nan"}, 1, "--fade takes a number of seconds", ""},
        {{"render", "--loops", "0"}, 1, "--loops takes a whole number from 1", ""},
        {{"render", "--seconds", "2", "--loops", "2"}, 1, "give one of them", ""},
        {{"render", "--format", "mp3"}, 1, "--format takes wav, flac or raw", ""},
        {{"render", "-o", "x.mp3"}, 1, "cannot tell the audio format from the name x.mp3", ""},
        {{"render", "--force=yes"}, 1, "--force takes no value", ""},
        {{"render", "a.hvl", "b.hvl", "-o", "-"}, 1, "-o - writes one song", ""},
        {{"render", "--song", "all", "-o", "-"}, 1, "-o - writes one song", ""},
        {{"render", "-o", "-", "--format", "wav"}, 1, "-o - writes raw samples", ""},
        {{"render", "a.hvl", "b.hvl", "-o", "x.wav"}, 1, "give a folder", ""},
        {{"info"}, 1, "ahx info: which file?", ""},
        {{"info", "--bogus", "a.hvl"}, 1, "ahx info: unknown option --bogus", ""},
        {{"render", "missing.hvl"}, 2, "ahx: missing.hvl: not found", ""},
        {{"render", "folder.hvl"}, 2, "ahx: folder.hvl: is a folder", ""},
        {{"render", "future.hvl"}, 2, "ahx: future.hvl: unsupported HVL version 2", ""},
        {{"render", "future.ahx"}, 2, "ahx: future.ahx: unsupported AHX revision 3", ""},
        {{"render", "cut.hvl"}, 2, "ahx: cut.hvl: truncated or damaged", ""},
        {{"render", "long.hvl"}, 2, "ahx: long.hvl: too many positions: 1001, at most 1000", ""},
        {{"info", "wide.hvl"}, 2, "ahx: wide.hvl: too many channels: 17, at most 16", ""},
        {{"info", "huge.hvl"}, 2, "ahx: huge.hvl: not a module (larger than 16 MiB)", ""},
        {{"render", "--song", "2"}, 2, "ahx: (demo song): no such subsong 2", ""},
        {{"render", "three.hvl", "-o", "no/such/folder/x.wav"}, 2, "ahx: no/such/folder/x.wav: cannot write", ""},
        {{"render", "three.hvl", "-o", "kept.wav"}, 2, "ahx: kept.wav: already exists (use --force", ""},
        {{"info", "--json", "missing.hvl", "three.hvl"}, 2, "ahx: missing.hvl: not found", "{\"file\":\"three.hvl\","},

        {{"--help"}, 0, "", "Usage: ahx COMMAND"},
        {{"render", "--help"}, 0, "", "Usage: ahx render"},
        {{"info", "-h"}, 0, "", "Usage: ahx info"},
        {{"--version"}, 0, "", "ahx "},
        {{"info", "--json", "subs.hvl"}, 0, "",
         "{\"file\":\"subs.hvl\",\"format\":\"HVL\",\"version\":1,\"title\":\"Q\\\"B\\\\C\\u0001\xC3\xA9\","
         "\"channels\":4,\"positions\":3,\"restartPosition\":0,\"trackLength\":4,\"tracks\":2,\"speedHz\":50,"
         "\"stereoMode\":0,\"mixGainPercent\":100,\"songs\":["
         "{\"song\":0,\"startPosition\":0,\"frames\":63504,\"seconds\":1.440,\"ends\":true},"
         "{\"song\":1,\"startPosition\":2,\"frames\":63504,\"seconds\":1.440,\"ends\":true}],"
         "\"instruments\":[{\"number\":1,\"name\":\"tone\"}]}\n"},
        {{"info", "subs.hvl"}, 0, "",
         "subs.hvl\n  format        HVL version 1\n  title         Q\"B\\C?\xC3\xA9\n  channels      4\n"
         "  positions     3, restart at 0\n  track length  4 steps\n  tracks        2\n  speed         50 Hz\n"
         "  stereo mode   0\n  mix gain      100 %\n  songs         2\n"
         "    song 0      starts at position 0, plays 0:01.44\n    song 1      starts at position 2, plays 0:01.44\n"
         "  instruments   1\n     1  tone\n"},
        // 255 % is stored as 255 * 256 / 100 = 652 (truncated), which does not divide back evenly.
        {{"info", "--json", "fast.hvl"}, 0, "", "\"speedHz\":200,\"stereoMode\":3,\"mixGainPercent\":255,"},
        {{"info", "--json", "restart.hvl"}, 0, "", "\"positions\":3,\"restartPosition\":1,"},
        // AHX files carry no stereo mode; their gain is that of stereo mode 0.
        {{"info", "--json", "two.ahx"}, 0, "", "\"format\":\"AHX\",\"version\":2,"},
        {{"info", "--json", "two.ahx"}, 0, "", "\"stereoMode\":null,\"mixGainPercent\":71,"},
        // Stuck on tempo 0, the song is cut at ten minutes of 44100 frames a second.
        {{"info", "--json", "stuck.hvl"}, 0, "", "\"frames\":26460000,\"seconds\":600.000,\"ends\":false"},
        // The bundled song is an 8-channel HVL song.
        {{"info", "--json", "demo.hvl"}, 0, "",
         "\"format\":\"HVL\",\"version\":1,\"title\":\"Harbour Lights\",\"channels\":8,"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Scratch folder;
        for (const auto& [name, bytes] : inputs) WriteBytes(folder / name, bytes);
        WriteBytes(folder / "huge.hvl", {});
        fs::resize_file(folder / "huge.hvl", 17u << 20);
        fs::create_directory(folder / "folder.hvl");
        const auto [exitCode, out, err] = RunTool(c.args, folder.path, c.wrap);
        EXPECT_EQ(exitCode, c.exitCode);
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        EXPECT_TRUE(err.find(c.err) != std::string::npos &&  // bare `ahx` prints the whole help there
                    (c.args.empty() || lines(err) == (c.err.empty() ? 0 : std::max(lines(c.err), 1L)))) << err;
        EXPECT_TRUE(c.out.empty() ? c.exitCode == 0 || out.empty() : out.find(c.out) != std::string::npos) << out;
        std::set<std::string> files{"huge.hvl"};
        for (const Output& o : c.outputs) {
            if (o.file != "-") files.insert(o.file);
            const Audio got = o.format != 0 ? ReadAudio(folder / o.file)
                                            : RawAudio(o.file == "-" ? out : ReadFile(folder / o.file), o.rate);
            EXPECT_EQ(got.format, o.format);
            EXPECT_EQ(got.rate, o.rate);
            EXPECT_EQ(got.channels, 2);
            EXPECT_EQ(got.samples.size(), o.frames * 2) << o.file;
            if (got.samples.size() != o.frames * 2) continue;
            const std::vector<int16_t> want = EngineRender(inputs.at(o.input), o.song, o.stereoMode, o.rate, o.frames);
            // Bit-exact up to the fade; within it never louder, mostly quieter, and silent at the end.
            const auto fadeStart = static_cast<std::ptrdiff_t>((o.frames - c.fadeFrames) * 2);
            EXPECT_TRUE(std::equal(want.begin(), want.begin() + fadeStart, got.samples.begin())) << o.file;
            size_t quieter = 0, louder = 0;
            for (size_t i = static_cast<size_t>(fadeStart); i < want.size(); ++i) {
                quieter += std::abs(got.samples[i]) < std::abs(want[i]);
                louder += std::abs(got.samples[i]) > std::abs(want[i]);
            }
            EXPECT_TRUE(c.fadeFrames == 0 ||
                        (louder == 0 && quieter > c.fadeFrames && std::abs(got.samples.back()) <= 1));
        }
        // Inputs untouched unless replaced on purpose, and no other file, not even a temporary one.
        for (const auto& [name, bytes] : inputs) {
            EXPECT_TRUE(!files.insert(name).second || ReadFile<Bytes>(folder / name) == bytes) << name;
        }
        EXPECT_EQ(folder.Files(), files);
    }
}

TEST(Tool, TheCommittedDemoSongsMatchTheirSource) {
    Scratch folder;
    const std::string compose = std::string(AHX_DEMO_COMPOSE_PATH) + " " + folder.path.string() + " >/dev/null";
    ASSERT_EQ(std::system(compose.c_str()), 0);
    for (const char* name : {"demo.hvl", "jingle.ahx"}) {
        EXPECT_EQ(ReadFile<Bytes>(folder / name), ReadFile<Bytes>(kDemo / name))
            << name << ": run `make demo` (or build/demo/demo_compose demo) and commit the result";
        // Clearly audible on both sides (about -20 dBFS), never full scale: the mixer saturates.
        const std::vector<int16_t> samples = EngineRender(ReadFile<Bytes>(kDemo / name), 0, 0, 44100, 8 * 44100);
        int peak[2] = {0, 0};
        for (size_t i = 0; i < samples.size(); ++i) peak[i % 2] = std::max(peak[i % 2], std::abs(int{samples[i]}));
        EXPECT_TRUE(std::min(peak[0], peak[1]) > 3000 && std::max(peak[0], peak[1]) < 32767) << name;
    }
}

}  // namespace
