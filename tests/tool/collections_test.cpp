// The tool on collections as they are named and stored: prefix names, folders, standard input and
// output, songs that stop. Lengths worked out by hand, files read back through libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "builder/module_builder.h"

namespace {

namespace fs = std::filesystem;
constexpr uint64_t T = 882;  // frames per tick: 44100 Hz / 50 ticks a second

struct Folder {
    fs::path path = fs::temp_directory_path() / ("ahx-collections-" + std::to_string(::getpid()));
    Folder() { fs::create_directories(path); }
    ~Folder() { fs::remove_all(path); }
};

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Three positions of four steps at tempo 6 (72 ticks), one note on channel 1; `stopAt`: a tempo
// of 0 on the first step of that position; `change` alters the description further.
std::vector<uint8_t> Song(int stopAt = -1, std::vector<uint16_t> subsongs = {},
                          void (*change)(ModuleDescription&) = [](ModuleDescription&) {}) {
    std::vector<std::vector<BuiltStep>> tracks(3, std::vector<BuiltStep>(4));
    tracks[1][0] = {.note = 37, .instrument = 1};
    tracks[2][0] = {.note = 37, .instrument = 1, .command1 = 0xF, .param1 = 0};
    std::vector<BuiltPosition> order(3);
    for (int p = 0; p < 3; ++p) order[static_cast<size_t>(p)].track[0] = p == stopAt ? 2 : 1;
    BuiltInstrument tone{.name = "tone", .envelope = {.sustainFrames = 255}, .perfList = {{.waveform = 1}}};
    ModuleDescription song{.format = ModuleFormat::kHvl, .name = "song", .trackLength = 4, .subsongs = subsongs,
                           .positions = order, .tracks = tracks, .instruments = {tone}};
    change(song);
    return BuildModule(song);
}

// Frames in an audio file, or -1 when libsndfile cannot read it.
int64_t FramesIn(const fs::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (sound == nullptr) return -1;
    sf_close(sound);
    return info.frames;
}

struct Row {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    std::map<std::string, int64_t> outputs;  // file made, and its frames; "-": standard output kept as out.audio
    std::string out = "";                    // part of stdout
    std::string err = "";                    // part of stderr
    std::string input = "/dev/null";         // standard input
};

class Collections : public testing::TestWithParam<Row> {};

TEST_P(Collections, EachRowLeavesItsFilesAndMessages) {
    const Row& row = GetParam();
    Folder folder;
    const std::map<std::string, std::vector<uint8_t>> inputs = {
        {"ahx.cool_tune", Song()},  {"HVL.Song", Song()},        {"lib/b/thx.tune", Song()},
        {"lib/a.hvl", Song()},      {"lib/notes.txt", {'x'}},    {"three.hvl", Song()},
        {"stop.hvl", Song(1)},      {"subs.hvl", Song(-1, {2})}, {"empty/notes.txt", {'x'}},
        // Note 61, one above the highest, on all four steps of the track every position plays.
        {"high.hvl", Song(-1, {}, [](ModuleDescription& s) { for (auto& step : s.tracks[1]) step.note = 61; })},
        // Hundreds 9 and jump 99 on channel 1 (to 999), then jump 99 on channel 2: 99999 in 16 bits.
        {"wrap.hvl", Song(-1, {}, [](ModuleDescription& s) {
             s.tracks[1][0] = {.command1 = 0x0, .param1 = 9, .command2 = 0xB, .param2 = 0x99};
             s.tracks[2][0] = {.command1 = 0xB, .param1 = 0x99};
             s.positions[0].track[1] = 2;
         })},
    };
    std::set<std::string> before;
    for (const auto& [name, bytes] : inputs) {
        fs::create_directories((folder.path / name).parent_path());
        std::ofstream(folder.path / name, std::ios::binary) << std::string(bytes.begin(), bytes.end());
        before.insert(name);
    }
    std::string command = "cd '" + folder.path.string() + "' && " + AHX_TOOL_PATH;
    for (const std::string& a : row.args) command += " '" + a + "'";
    command += " <'" + row.input + "' >out.audio 2>err.text";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, row.exitCode);
    const std::string out = ReadText(folder.path / "out.audio"), err = ReadText(folder.path / "err.text");
    EXPECT_NE(out.find(row.out), std::string::npos) << out;
    EXPECT_NE(err.find(row.err), std::string::npos) << err;
    std::set<std::string> made;
    for (const auto& entry : fs::recursive_directory_iterator(folder.path)) {
        const std::string name = fs::relative(entry.path(), folder.path).string();
        if (!entry.is_directory() && !before.count(name) && name != "out.audio" && name != "err.text") made.insert(name);
    }
    std::set<std::string> expected;
    for (const auto& [file, frames] : row.outputs) {
        if (file != "-") expected.insert(file);
        EXPECT_EQ(FramesIn(folder.path / (file == "-" ? "out.audio" : file)), frames) << file;
    }
    EXPECT_EQ(made, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Tool, Collections,
    testing::Values(
        Row{"PrefixNamesGiveTheSongsName", {"render", "ahx.cool_tune", "HVL.Song"}, 0,
            {{"cool_tune.wav", 72 * T}, {"Song.wav", 72 * T}}},
        // In byte order of their paths; the text file is no module.
        Row{"FoldersAreWalkedAndMirrored", {"render", "lib", "-o", "out/"}, 0,
            {{"out/a.wav", 72 * T}, {"out/b/tune.wav", 72 * T}}, "out/a.wav: 0:01.44, 63504 frames at 44100 Hz, peak -"},
        Row{"AFolderWithoutModulesIsRefused", {"info", "empty"}, 2, {}, "", "ahx: empty: is a folder with no modules"},
        Row{"EverySongOfAModuleTakesTheNamedOutputAsBase", {"render", "subs.hvl", "--song", "all", "-o", "x.flac"}, 0,
            {{"x-song1.flac", 72 * T}, {"x-song2.flac", 72 * T}}},
        Row{"StandardInputIsAModule", {"render", "-", "-o", "in.wav"}, 0, {{"in.wav", 72 * T}}, "", "", "three.hvl"},
        Row{"AFileWithoutCommandPlays", {"three.hvl", "--help"}, 0, {}, "Usage: ahx play"},
        // Tempo 0 on the first step of position 1: the song ends after position 0, 24 ticks.
        Row{"ASongThatStopsEndsThere", {"render", "stop.hvl"}, 0, {{"stop.wav", 24 * T}}},
        Row{"SecondsRenderPastTheStop", {"render", "stop.hvl", "--seconds", "1"}, 0, {{"stop.wav", 44100}}},
        Row{"WholeFormatsGoToStandardOutput", {"render", "three.hvl", "-o", "-", "--format", "flac"}, 0, {{"-", 72 * T}}},
        Row{"TimesTakeMinutesAndSeconds", {"render", "three.hvl", "--seconds", "0:01.50"}, 0, {{"three.wav", 66150}}},
        Row{"ZeroSecondsIsAUsageError", {"render", "--seconds", "0"}, 1, {}, "", "--seconds 0 would give nothing"},
        Row{"InfoJsonGivesTheReasonAFileIsUnreadable", {"info", "--json", "lib/notes.txt"}, 2, {},
            R"({"file":"lib/notes.txt","result":"unreadable","reason":"not a module)"},
        Row{"CheckCollapsesRepeatsAndCountsKinds", {"check", "high.hvl"}, 3, {},
            "high.hvl: 1 more note-out-of-range not shown (--all shows every one)\n"
            "high.hvl: 4 findings: 4 note-out-of-range\n"},
        Row{"CheckAllShowsEveryOne", {"check", "--all", "high.hvl"}, 3, {}, "row 3: note 61 is above the highest note, 60\n"
            "high.hvl: 4 findings"},
        Row{"CheckExplainsAJumpThatWraps", {"check", "wrap.hvl"}, 3, {},
            "passes 32767 and wraps to -31073, outside the positions"}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
