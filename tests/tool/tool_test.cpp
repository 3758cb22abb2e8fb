// The ahx tool run as a user runs it, a subprocess (also on a terminal, interrupted, on several threads, against a
// hostile filesystem): outputs read back through libsndfile and compared with the library's render,
// the tool's own messages, JSON and exit codes, and the bundled demo songs.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <tuple>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"
#include "tests/support/shell.h"
#include "tests/support/library_render.h"

namespace {

constexpr uint64_t T = 882;  // frames per tick: 44100 Hz / 50 ticks a second
const fs::path kDemo = fs::path(AHX_SOURCE_DIR) / "demo";

// Runs `ahx args...` in folder; `wrap` is the shell command around it, @ standing for the tool.
RunResult RunTool(const std::vector<std::string>& args, const fs::path& folder, std::string wrap = "@") {
    return Shell(wrap.replace(wrap.find('@'), 1, ToolCommand(args)), folder);
}

struct Audio {
    int rate = 0, channels = 0, format = 0;  // format: libsndfile major format and encoding, 0 for raw bytes
    std::vector<int16_t> samples;            // interleaved
};

Audio ReadAudio(const fs::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (sound == nullptr) return {};
    Audio audio{info.samplerate, info.channels, info.format & (SF_FORMAT_TYPEMASK | SF_FORMAT_SUBMASK), {}};
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

// --separation as its help text defines it, worked in floating point.
std::vector<int16_t> Separated(std::vector<int16_t> samples, int percent) {
    for (size_t i = 0; i < samples.size(); i += 2) {
        const double left = samples[i], right = samples[i + 1];
        const auto widen = [percent](double own, double other) {
            const double value = std::round((own * (100 + percent) + other * (100 - percent)) / 200);
            return static_cast<int16_t>(std::clamp(value, -32768.0, 32767.0));
        };
        samples[i] = widen(left, right);
        samples[i + 1] = widen(right, left);
    }
    return samples;
}

// What a command line should leave behind: each output file read back and compared with the library.
struct Output {
    std::string file;  // "-": standard output
    int format;        // libsndfile major format, 0 for raw samples
    uint64_t frames;
    std::string input;  // the module the library renders for comparison
    int rate = 44100;
    uint32_t song = 0;
    int32_t stereoMode = AHX_LISTENING_STEREO_MODE;  // the tool's default for AHX; HVL carries its own
    uint32_t mask = 0xFFFF;  // channels heard, bit c for channel c + 1
    int stem = -1;           // a channel alone, from 0
    uint64_t start = 0;      // the output is the library's render from this frame on
    int separation = 100;
};

// A scratch folder anyone may enter and write (some cases run the tool as nobody); whatever a case
// mounted inside is unmounted before the folder goes.
struct Folder : Scratch {
    std::vector<fs::path> mounts;
    Folder() { fs::permissions(path, fs::perms::all); }
    ~Folder() {
        for (const fs::path& mount : mounts) ::umount(mount.c_str());
    }
    // A tmpfs with options at disk/; the reason when this machine does not allow it.
    std::string Mount(const char* options) {
        fs::create_directory(path / "disk");
        if (::mount("tmpfs", (path / "disk").c_str(), "tmpfs", 0, options) != 0) return std::strerror(errno);
        mounts.push_back(path / "disk");
        return "";
    }
};

struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;  // part of stderr, which has one line per error; empty: stderr stays empty
    std::string out;  // part of stdout; empty: stdout is empty when the command failed
    std::vector<Output> outputs = {};
    uint64_t fadeFrames = 0;
    std::string wrap = "@";  // the shell command around the tool, @ standing for it
    std::function<std::string(Folder&)> prepare = [](Folder&) { return ""; };  // the reason to skip, if any
};

// `script` runs the tool on a pseudo-terminal and copies all it shows there to stdout.
constexpr const char* kOnTerminal = "script -qec \"@\" /dev/null";
// SIGINT, as Ctrl-C would send it, once the render's temporary file exists (the tool's handler is in
// place by then; at most 5 s later); `exec` leaves the exit code to the tool.
constexpr const char* kInterrupted =
    "{ (for i in $(seq 50); do [ -e .long.wav.?????? ] && break; sleep 0.1; done; kill -INT $$) & exec @; }";
// Root ignores file permissions, so permission cases run the tool as nobody.
const bool kRoot = ::geteuid() == 0;
const std::string kAsNobody = kRoot ? "setpriv --reuid=65534 --regid=65534 --clear-groups @" : "@";

constexpr int W = SF_FORMAT_WAV, F = SF_FORMAT_FLAC, A = SF_FORMAT_AIFF;

// One output per channel of `input`, as --stems names them: prefix + "chN" + extension.
std::vector<Output> Stems(const std::string& prefix, const std::string& extension, int format, uint64_t frames,
                          const std::string& input, int channels, uint32_t song = 0, uint32_t mask = 0xFFFF,
                          int separation = 100) {
    std::vector<Output> stems;
    for (int c = 0; c < channels; ++c) {
        stems.push_back({.file = prefix + "ch" + std::to_string(c + 1) + extension, .format = format,
                         .frames = frames, .input = input, .song = song, .mask = mask, .stem = c,
                         .separation = separation});
    }
    return stems;
}

template <typename... Lists>
std::vector<Output> Joined(std::vector<Output> first, const Lists&... rest) {
    (first.insert(first.end(), rest.begin(), rest.end()), ...);
    return first;
}

TEST(Tool, EachCommandLineGivesItsExitCodeMessagesAndOutputs) {
    const ModuleDescription three = CountedSong(ModuleFormat::kHvl, 3);  // 72 ticks
    const Bytes threeBytes = BuildModule(three);
    const Bytes twoAhx = BuildModule(With(CountedSong(ModuleFormat::kAhx, 2), [](auto& s) { s.version = 2; }));
    const std::map<std::string, Bytes> inputs = {
        // The same song under names some collections use, and under names a shell finds awkward.
        {"three.hvl", threeBytes}, {"ahx.cool_tune", threeBytes}, {"HVL.Song", threeBytes},
        {"my song.hvl", threeBytes}, {"new\nline.hvl", threeBytes}, {"-dash.hvl", threeBytes},
        {"two.ahx", twoAhx},
        {"restart.hvl", BuildModule(With(three, [](auto& s) { s.restartPosition = 1; }))},
        {"stop.hvl", BuildModule(WithCommand(three, 1, 0, 0xF, 0))},  // tempo 0 as position 1 begins
        // A quote, a backslash, a C0 and a C1 control character and a Latin-1 e-acute in the title.
        {"subs.hvl", BuildModule(With(three, [](auto& s) { s.name = "Q\"B\\C\x01\x9B\xE9", s.subsongs = {2}; }))},
        {"text.hvl", {'h', 'e', 'l', 'l', 'o'}}, {"kept.wav", {'k', 'e', 'e', 'p'}}, {"afile", {'a'}},
        {"demo.hvl", ReadFile<Bytes>(kDemo / "demo.hvl")},
        // Six channels, hard left and right: two positions, 48 ticks.
        {"band.hvl", BuildModule(With(CountedSong(ModuleFormat::kHvl, 2, 6), [](auto& s) {
             s.channelCount = 6, s.stereoMode = 4;
         }))},
        {"restart5.hvl", BuildModule(With(three, [](auto& s) { s.restartPosition = 5; }))},
        // Note 61, one above the highest, on all four steps of the track every position plays.
        {"high.hvl", BuildModule(With(three, [](auto& s) { for (auto& step : s.tracks[1]) step.note = 61; }))},
        // Hundreds 9 and jump 99 on channel 1 (to 999), then jump 99 on channel 2: 99999 in 16 bits.
        {"wrap.hvl", BuildModule(With(three, [](auto& s) {
             s.tracks.resize(3, std::vector<BuiltStep>(4));
             s.tracks[1][0] = {.command1 = 0x0, .param1 = 9, .command2 = 0xB, .param2 = 0x99};
             s.tracks[2][0] = {.command1 = 0xB, .param1 = 0x99};
             s.positions[0].track[1] = 2;
         }))},
        // Two modules named a (the THX one first in byte order), one in a subfolder, and no module.
        {"lib/a.hvl", threeBytes}, {"lib/a.ahx", twoAhx}, {"lib/notes.txt", {'x'}},
        {"lib/b/thx.tune", BuildModule(CountedSong(ModuleFormat::kHvl, 1))},
        {"empty/notes.txt", {'x'}},
    };
    const bool canDropPrivileges = RunTool({"--version"}, kDemo, kAsNobody).exitCode == 0;
    const auto asNobody = [canDropPrivileges](std::function<void(Folder&)> make) {
        return [canDropPrivileges, make](Folder& f) {
            if (canDropPrivileges) make(f);
            return canDropPrivileges ? "" : "cannot run the tool as an unprivileged user (setpriv)";
        };
    };
    // A tmpfs far smaller than three.wav (a second and a half, about 250 KiB), with a file in it.
    const auto tinyDisk = [](const char* options) {
        return [options](Folder& f) {
            const std::string why = kRoot ? f.Mount(options) : "mounting a tmpfs needs root";
            if (why.empty()) WriteBytes(f / "disk/kept.wav", {'k', 'e', 'e', 'p'});
            return why;
        };
    };
    const std::vector<Case> cases = {
        // Three positions of 24 ticks of 882 frames; subsong 1 starts at position 2 and plays all three.
        {{"render", "three.hvl"}, 0, "", "three.wav: 0:01.44, 63504 frames", {{"three.wav", W, 72 * T, "three.hvl"}}},
        // Restart at 1: the song, then positions 1 and 2 again.
        {{"render", "restart.hvl", "--loops", "2", "-o", "a.flac"}, 0, "", "", {{"a.flac", F, 120 * T, "restart.hvl"}}},
        {{"render", "three.hvl", "--rate", "22050", "-o", "-"}, 0, "", "", {{"-", 0, 72 * 441, "three.hvl", 22050}}},
        {{"render", "three.hvl", "-o", "-", "--format", "flac"}, 0, "", "", {{"-", F, 72 * T, "three.hvl"}}},
        {{"render", "-", "-o", "in.wav"}, 0, "", "", {{"in.wav", W, 72 * T, "three.hvl"}}, 0, "@ <three.hvl"},
        {{"render", "two.ahx", "--seconds=.5", "--rate=8000"}, 0, "", "", {{"two.wav", W, 4000, "two.ahx", 8000}}},
        {{"render", "subs.hvl", "--song", "2"}, 0, "", "", {{"subs.wav", W, 72 * T, "subs.hvl", 44100, 1}}},
        {{"render", "two.ahx", "--stereo", "4"}, 0, "", "", {{"two.wav", W, 48 * T, "two.ahx", 44100, 0, 4}}},
        {{"render", "two.ahx", "--stereo", "0"}, 0, "", "", {{"two.wav", W, 48 * T, "two.ahx", 44100, 0, 0}}},
        {{"render", "three.hvl", "--fade", "0.5"}, 0, "", "", {{"three.wav", W, 72 * T, "three.hvl"}}, 22050},
        {{"render", "three.hvl", "-o", "kept.wav", "--force"}, 0, "", "", {{"kept.wav", W, 72 * T, "three.hvl"}}},
        // The song ends where it stops, 24 ticks in, unless --seconds asks for more.
        {{"render", "stop.hvl"}, 0, "", "", {{"stop.wav", W, 24 * T, "stop.hvl"}}},
        {{"render", "stop.hvl", "--seconds", "1"}, 0, "", "", {{"stop.wav", W, 44100, "stop.hvl"}}},
        // The name after the prefix some collections use.
        {{"render", "ahx.cool_tune", "HVL.Song"}, 0, "", "",
         {{"cool_tune.wav", W, 72 * T, "ahx.cool_tune"}, {"Song.wav", W, 72 * T, "HVL.Song"}}},
        // Each channel alone, the muted one silent, in one file each, each widened.
        {{"render", "band.hvl", "--stems", "--mute", "2", "--separation", "200"}, 0, "",
         "band-ch2.wav: 0:00.96, 42336 frames at 44100 Hz, peak silent",
         Stems("band-", ".wav", W, 48 * T, "band.hvl", 6, 0, 0b111101, 200)},
        {{"render", "subs.hvl", "--song", "all", "--stems", "-o", "st/", "--format", "aiff"}, 0, "", "",
         Joined(Stems("st/subs-song1-", ".aiff", A, 72 * T, "subs.hvl", 4),
                Stems("st/subs-song2-", ".aiff", A, 72 * T, "subs.hvl", 4, 1))},
        {{"render", "band.hvl", "--solo", "1,3-4", "--mute", "3", "--separation", "0", "-o", "m.flac"}, 0, "", "",
         {{.file = "m.flac", .format = F, .frames = 48 * T, .input = "band.hvl", .mask = 0b1001, .separation = 0}}},
        // The tail of a whole render: half a second in, the length still counted from the start.
        {{"render", "three.hvl", "--start", "0.5"}, 0, "", "three.wav: 0:00.94, 41454 frames",
         {{.file = "three.wav", .format = W, .frames = 72 * T - 22050, .input = "three.hvl", .start = 22050}}},
        {{"render", "three.hvl", "--start", "1", "--seconds", "0.25", "-o", "s.raw"}, 0, "", "",
         {{.file = "s.raw", .format = 0, .frames = 11025, .input = "three.hvl", .start = 44100}}},
        {{"render", "three.hvl", "two.ahx", "-o", "x"}, 0, "", "[1/2 done] two.ahx",
         {{"x/three.wav", W, 72 * T, "three.hvl"}, {"x/two.wav", W, 48 * T, "two.ahx"}}, 0, kOnTerminal},
        {{"render", "-o", "-"}, 1, "", "pipe it into a player", {}, 0, kOnTerminal},
        // The interrupt comes early in a day-long render; no unfinished file stays behind.
        {{"render", "three.hvl", "--seconds", "86400", "-o", "long.wav"}, 130,
         "ahx: interrupted; the unfinished output was removed", "", {}, 0, kInterrupted},
        // The folder walked in byte order and mirrored; the second a takes the next free name. On three
        // threads, as on one: each file's output and messages in input order.
        {{"render", "lib", "text.hvl", "-o", "new/", "--format", "flac", "-j", "3"}, 2,
         "ahx: text.hvl: not a module (no THX or HVL header)\n", "new/a-2.flac",
         {{"new/a.flac", F, 48 * T, "lib/a.ahx"}, {"new/a-2.flac", F, 72 * T, "lib/a.hvl"},
          {"new/b/tune.flac", F, 24 * T, "lib/b/thx.tune"}}},
        // The bundled song: 14 positions of 32 steps at tempo 6 before it comes back to position 2.
        {{"render"}, 0, "", "demo.wav: 0:53.76, 2370816 frames at 44100 Hz, peak -",
         {{"demo.wav", W, 14 * 32 * 6 * T, "demo.hvl"}}},

        {{}, 1, "Usage: ahx", ""},
        {{"paly"}, 1, "ahx: unknown command paly", ""},
        // Option values are checked before any file is read; one row stands for them all.
        {{"render", "--rate", "7999"}, 1, "--rate takes a whole number from 8000 to 192000", ""},
        {{"render", "two.ahx", "--mute", "5"}, 1, "ahx render: --mute names channel 5, but two.ahx has 4 channels", ""},
        {{"render", "three.hvl", "--start", "1:02.5"}, 2,
         "ahx: three.hvl: --start 1:02.50 is past the song's end at 0:01.44; add --seconds to render past it", ""},
        {{"render", "folder.hvl"}, 2, "ahx: folder.hvl: is a folder", ""},
        {{"info", "empty"}, 2, "ahx: empty: is a folder with no modules", ""},
        {{"render", "--song", "2"}, 2, "ahx: (demo song): no such song 2 (it has only song 1)", ""},
        {{"render", "three.hvl", "-o", "kept.wav"}, 2, "ahx: kept.wav: already exists (use --force", ""},
        {{"info", "--json", "-j", "2", "text.hvl", "three.hvl"}, 2, "ahx: text.hvl: not a module",
         "{\"file\":\"text.hvl\",\"result\":\"unreadable\",\"reason\":\"not a module (no THX or HVL header)\"}\n"
         "{\"file\":\"three.hvl\","},

        // A hostile filesystem: each failure gives one line and exit code 2, and leaves no partial output (a file
        // --force would replace stays as it was).
        {{"render", "three.hvl", "-o", "-"}, 2, "ahx: standard output: cannot write: No space left on device", "",
         {}, 0, "@ >/dev/full"},
        {{"render", "three.hvl", "-o", "disk/kept.wav", "--force"}, 2, "ahx: disk/kept.wav: cannot write: ", "", {}, 0,
         "@", tinyDisk("size=64k")},
        {{"render", "three.hvl", "-o", "locked/"}, 2, "ahx: locked/three.wav: cannot write: Permission denied", "",
         {}, 0, kAsNobody, asNobody([](Folder& f) {
             fs::create_directory(f / "locked");
             fs::permissions(f / "locked", fs::perms::owner_write | fs::perms::others_write, fs::perm_options::remove);
         })},
        {{"render", "secret.hvl"}, 2, "ahx: secret.hvl: cannot read: Permission denied", "", {}, 0, kAsNobody,
         asNobody([&threeBytes](Folder& f) {
             WriteBytes(f / "secret.hvl", threeBytes);
             fs::permissions(f / "secret.hvl", fs::perms::none);
         })},
        {{"render", "three.hvl", "three.hvl", "-o", "afile/"}, 2, "ahx: afile/: not a folder (a file is in the way)",
         ""},
        {{"render", "three.hvl", "-o", "afile/x.wav"}, 2, "ahx: afile/x.wav: cannot write: Not a directory", ""},
        // A pipe read by name, fed a module or more than 16 MiB (read no further than that).
        {{"render", "/dev/stdin", "-o", "pipe.wav"}, 0, "", "", {{"pipe.wav", W, 72 * T, "three.hvl"}}, 0,
         "cat three.hvl | @"},
        {{"render", "/dev/stdin"}, 2, "ahx: /dev/stdin: not a module (larger than 16 MiB)", "", {}, 0,
         "head -c 20000000 /dev/zero 2>/dev/null | @"},
        {{"render", "my song.hvl", "new\nline.hvl", "--", "-dash.hvl"}, 0, "", "new?line.wav: 0:01.44",
         {{"my song.wav", W, 72 * T, "my song.hvl"}, {"new\nline.wav", W, 72 * T, "new\nline.hvl"},
          {"-dash.wav", W, 72 * T, "-dash.hvl"}}},
        {{"render", "miss\ning.hvl"}, 2, "ahx: miss?ing.hvl: not found", ""},
        {{"render", "-dash.hvl"}, 1, "ahx render: unknown option -dash.hvl (see ahx render --help)", ""},

        {{"--help"}, 0, "", "Usage: ahx COMMAND"},
        {{"--version"}, 0, "", "ahx "},
        {{"info", "--json", "subs.hvl"}, 0, "",
         "{\"file\":\"subs.hvl\",\"format\":\"HVL\",\"version\":1,\"title\":\"Q\\\"B\\\\C\\u0001\xC2\x9B\xC3\xA9\","
         "\"channels\":4,\"positions\":3,\"restartPosition\":0,\"trackLength\":4,\"tracks\":2,\"speedHz\":50,"
         "\"stereoMode\":0,\"mixGainPercent\":100,\"songs\":["
         "{\"song\":1,\"startPosition\":0,\"frames\":63504,\"seconds\":1.440,\"ends\":true,\"end\":\"loops\","
         "\"endPosition\":0,\"endRow\":0,\"channelsUsed\":[1]},"
         "{\"song\":2,\"startPosition\":2,\"frames\":63504,\"seconds\":1.440,\"ends\":true,\"end\":\"loops\","
         "\"endPosition\":2,\"endRow\":0,\"channelsUsed\":[1]}],"
         "\"instruments\":[{\"number\":1,\"name\":\"tone\"}]}\n"},
        {{"info", "subs.hvl"}, 0, "",
         "subs.hvl\n  format        HVL version 1\n  title         Q\"B\\C??\xC3\xA9\n  channels      4\n"
         "  positions     3, restart at 0\n  track length  4 steps\n  tracks        2\n  speed         50 Hz\n"
         "  stereo mode   0\n  mix gain      100 %\n  songs         2\n"
         "    song 1      starts at position 0, plays 0:01.44, then loops for ever from position 0, row 0; 1 of 4 "
         "channels used\n"
         "    song 2      starts at position 2, plays 0:01.44, then loops for ever from position 2, row 0; 1 of 4 "
         "channels used\n"
         "  instruments   1\n     1  tone\n"},
        {{"info", "--json", "two.ahx"}, 0, "", "\"stereoMode\":null,\"mixGainPercent\":71,"},
        // Stopped by tempo 0 as position 1 begins, after position 0.
        {{"info", "--json", "stop.hvl"}, 0, "",
         "\"frames\":21168,\"seconds\":0.480,\"ends\":true,\"end\":\"stops\",\"endPosition\":1,\"endRow\":0,"},
        {{"info", "stop.hvl"}, 0, "",
         "song 1      starts at position 0, ends at 0:00.48, stuck on position 1, row 0 (tempo 0); 1 of 4 channels "
         "used\n"},

        // Checks: a line per finding, the kinds counted, and exit codes for clean, findings and unreadable.
        {{"check", "three.hvl", "restart5.hvl"}, 3, "",
         "three.hvl: no findings\nrestart5.hvl: header, offset 0x8: restart position 5 is beyond the positions; the "
         "song restarts at 2\nrestart5.hvl: 1 finding: 1 restart-beyond-end\n"},
        {{"check", "high.hvl"}, 3, "",
         "high.hvl: 1 more note-out-of-range not shown (--all shows every one)\n"
         "high.hvl: 4 findings: 4 note-out-of-range\n"},
        {{"check", "--all", "high.hvl"}, 3, "", "row 3: note 61 is above the highest note, 60\nhigh.hvl: 4 findings"},
        {{"check", "wrap.hvl"}, 3, "", "passes 32767 and wraps to -31073, outside the positions"},
        {{"check", "stop.hvl"}, 3, "", "tempo 0 stops the song here for good\nstop.hvl: song 1: never comes back to a "
                                       "played step within 10 minutes; it stops at position 1, row 0\n"},
        {{"check", "--json", "-j", "3", "restart5.hvl", "text.hvl", "missing.hvl"}, 2, "ahx: missing.hvl: not found",
         "{\"file\":\"restart5.hvl\",\"result\":\"findings\",\"findings\":[{\"kind\":\"restart-beyond-end\","
         "\"section\":\"header\",\"offset\":8,\"found\":5,\"used\":2,\"message\":\"restart position 5 is beyond "
         "the positions; the song restarts at 2\"}]}\n"
         "{\"file\":\"text.hvl\",\"result\":\"unreadable\",\"reason\":\"not a module (no THX or HVL header)\","
         "\"findings\":[{\"kind\":\"refused\",\"section\":"
         "\"header\",\"offset\":0,\"message\":\"refused: not a module (no THX or HVL header)\"}]}\n"
         "{\"file\":\"missing.hvl\",\"result\":\"unreadable\",\"reason\":\"not found\",\"findings\":[]}\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        Folder folder;
        for (const auto& [name, bytes] : inputs) WriteBytes(folder / name, bytes);
        fs::create_directory(folder / "folder.hvl");
        if (const std::string why = c.prepare(folder); !why.empty()) {
            std::printf("[  SKIPPED ] %s: %s\n", testing::PrintToString(c.args).c_str(), why.c_str());
            continue;
        }
        std::map<std::string, std::string> before;
        for (const std::string& name : folder.Files()) before[name] = ReadFile(folder / name);
        const auto [exitCode, out, err] = RunTool(c.args, folder.path, c.wrap);
        EXPECT_EQ(exitCode, c.exitCode);
        const auto lines = [](const std::string& text) { return std::count(text.begin(), text.end(), '\n'); };
        EXPECT_TRUE(err.find(c.err) != std::string::npos &&  // bare `ahx` prints the whole help there
                    (c.args.empty() || lines(err) == (c.err.empty() ? 0 : std::max(lines(c.err), 1L)))) << err;
        EXPECT_TRUE(c.out.empty() ? c.exitCode == 0 || out.empty() : out.find(c.out) != std::string::npos) << out;
        Scratch piped;  // standard output, read back as a file
        WriteBytes(piped / "out", Bytes(out.begin(), out.end()));
        std::set<std::string> files;
        for (const Output& o : c.outputs) {
            if (o.file != "-") files.insert(o.file);
            const fs::path file = o.file == "-" ? piped / "out" : folder / o.file;
            const Audio got = o.format != 0 ? ReadAudio(file) : RawAudio(ReadFile(file), o.rate);
            EXPECT_EQ(std::tuple(got.format & SF_FORMAT_TYPEMASK, got.rate, got.channels),
                      std::tuple(o.format, o.rate, 2));
            EXPECT_EQ(got.samples.size(), o.frames * 2) << o.file;
            if (got.samples.size() != o.frames * 2) continue;
            const Reference reference{o.song, o.stereoMode, static_cast<uint32_t>(o.rate), o.mask, o.stem};
            std::vector<int16_t> want = LibraryRender(inputs.at(o.input), reference, o.start + o.frames);
            want.erase(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(2 * o.start));
            if (o.separation != 100) want = Separated(want, o.separation);
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
        // What was there untouched unless replaced on purpose, and no other file, not even a temporary one.
        for (const auto& [name, bytes] : before) {
            EXPECT_TRUE(!files.insert(name).second || ReadFile(folder / name) == bytes) << name;
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
        const std::vector<int16_t> samples = LibraryRender(ReadFile<Bytes>(kDemo / name), {}, 8 * 44100);
        int peak[2] = {0, 0};
        for (size_t i = 0; i < samples.size(); ++i) peak[i % 2] = std::max(peak[i % 2], std::abs(int{samples[i]}));
        EXPECT_TRUE(std::min(peak[0], peak[1]) > 3000 && std::max(peak[0], peak[1]) < 32767) << name;
    }
}

double Number(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) throw std::runtime_error("no " + pattern + " in " + text);
    return std::stod(match[1]);
}

// What info measures is what render's ReplayGain carries: gain = -18 LUFS - loudness, peak = true
// peak; and a true peak is never below the sample peak render reports.
TEST(Tool, InfoLoudnessAndReplayGainAgreeAndTruePeakCoversTheSamplePeak) {
    Scratch folder;
    const std::string demo = (kDemo / "demo.hvl").string();
    const RunResult info = RunTool({"info", "--json", "--loudness", demo}, folder.path);
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const double lufs = Number(info.out, "\"loudnessLufs\":(-?[0-9.]+)");
    const double truePeak = Number(info.out, "\"truePeakDbtp\":(-?[0-9.]+)");
    EXPECT_GT(Number(info.out, "\"loudnessRangeLu\":([0-9.]+)"), 0);
    EXPECT_TRUE(lufs > -40 && lufs < 0) << lufs;
    const RunResult render = RunTool({"render", "--replaygain", "-o", "song.flac", demo}, folder.path);
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const std::string flac = ReadFile(folder / "song.flac");
    EXPECT_NEAR(Number(flac, "REPLAYGAIN_TRACK_GAIN=(-?[0-9.]+) dB"), -18 - lufs, 0.011);
    EXPECT_NEAR(20 * std::log10(Number(flac, "REPLAYGAIN_TRACK_PEAK=([0-9.]+)")), truePeak, 0.011);
    EXPECT_GE(truePeak, Number(render.out, "peak (-?[0-9.]+) dBFS") - 0.05);
    EXPECT_EQ(RunTool({"render", "--replaygain", "-o", "song.wav", demo}, folder.path).exitCode, 1);
}

// Whether this machine's libsndfile writes a format at a rate: asked of libsndfile itself, by
// opening a real file, so that the tool's own way of asking is not what decides.
bool SndfileWrites(int format, int rate, const fs::path& file) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = format;
    SNDFILE* sound = sf_format_check(&info) ? sf_open(file.c_str(), SFM_WRITE, &info) : nullptr;
    if (sound != nullptr) sf_close(sound);
    fs::remove(file);
    return sound != nullptr;
}

std::string Tag(const fs::path& file, int kind) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    const char* text = sound != nullptr ? sf_get_string(sound, kind) : nullptr;
    std::string tag = text != nullptr ? text : "";
    if (sound != nullptr) sf_close(sound);
    return tag;
}

// The samples of the lossless formats are compared with the library's in the table above.
TEST(Tool, EachFormatReadsBackWithItsEncodingLengthAndTags) {
    Scratch folder;
    // Six channels panned hard left and right, so that a codec's stereo handling shows.
    WriteBytes(folder / "band.hvl", BuildModule(With(CountedSong(ModuleFormat::kHvl, 2, 6), [](auto& s) {
                   s.name = "Band\x07 \xE9", s.channelCount = 6, s.stereoMode = 4;  // a control byte, shown as ?
               })));
    const std::string software = std::string("ahx ") + ahx_version_string();
    const struct {
        const char* extension;
        int format;  // major type and encoding, as libsndfile reads them back
        int rate;    // Opus cannot encode 44100 Hz; the tool picks 48000
        bool holdsSoftware;  // MP3's tags as libsndfile writes them have no place for it
    } formats[] = {
        {"wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, true},
        {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, true},
        {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 44100, true},
        {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, true},
        {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, true},
        {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, false},
    };
    for (const auto& f : formats) {
        SCOPED_TRACE(f.extension);
        const std::string name = std::string("band.") + f.extension;
        const auto [exitCode, out, err] = RunTool({"render", "band.hvl", "-o", name, "--force"}, folder.path);
        if (!SndfileWrites(f.format, f.rate, folder / ("probe." + std::string(f.extension)))) {
            EXPECT_EQ(exitCode, 1);
            EXPECT_NE(err.find("cannot write"), std::string::npos) << err;
            continue;
        }
        ASSERT_EQ(exitCode, 0) << err;
        const Audio got = ReadAudio(folder / name);
        // Two positions of 24 ticks of a fiftieth of a second each, in two channels.
        EXPECT_EQ(std::tuple(got.format, got.rate, got.channels, got.samples.size()),
                  std::tuple(f.format, f.rate, 2, size_t{2 * 48} * static_cast<size_t>(f.rate) / 50));
        EXPECT_EQ(Tag(folder / name, SF_STR_TITLE), "Band? \xC3\xA9");
        EXPECT_EQ(Tag(folder / name, SF_STR_COMMENT), "HVL version 1, song 1 of 1");
        if (f.holdsSoftware) {
            EXPECT_TRUE(Tag(folder / name, SF_STR_SOFTWARE).starts_with(software));
        }
    }
    // A stem says which channel it holds.
    ASSERT_EQ(RunTool({"render", "band.hvl", "--stems", "-o", "part.flac"}, folder.path).exitCode, 0);
    EXPECT_EQ(Tag(folder / "part-ch3.flac", SF_STR_COMMENT), "HVL version 1, song 1 of 1, channel 3 of 6");
    EXPECT_EQ(Tag(folder / "part-ch3.flac", SF_STR_TITLE), "Band? \xC3\xA9");
}

}  // namespace
