// Several files at once (-j) give what one at a time gives, and the loudness faces agree.
#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "tests/support/shell.h"

namespace {

const fs::path kDemo = fs::path(AHX_SOURCE_DIR) / "demo";

RunResult Tool(const fs::path& folder, const std::string& args) {
    return Shell(std::string(AHX_TOOL_PATH) + " " + args, folder);
}

// A batch with every kind of outcome: songs, a file that is no module, and a second input whose
// name an earlier one has (its output gets -2).
void WriteBatch(const fs::path& folder) {
    for (int copy = 0; copy < 3; ++copy) {
        fs::copy_file(kDemo / "jingle.ahx", folder / ("jingle" + std::to_string(copy) + ".ahx"));
        fs::copy_file(kDemo / "demo.hvl", folder / ("demo" + std::to_string(copy) + ".hvl"));
    }
    std::ofstream(folder / "broken.hvl") << "not a module";
    fs::create_directories(folder / "again");
    fs::copy_file(kDemo / "jingle.ahx", folder / "again" / "jingle0.ahx");
}
const char* kBatch = "jingle0.ahx demo0.hvl broken.hvl jingle1.ahx again/jingle0.ahx demo1.hvl jingle2.ahx demo2.hvl";

struct BatchRow {
    const char* name;
    const char* command;  // OUT stands for the output folder
};

class OneAtATimeOrAll : public testing::TestWithParam<BatchRow> {};

TEST_P(OneAtATimeOrAll, GivesTheSameFilesMessagesAndStatus) {
    Scratch folder;
    WriteBatch(folder.path);
    RunResult runs[2];
    const char* jobs[] = {"-j 1", "-j 3"};
    for (int r = 0; r < 2; ++r) {
        const std::string out = "out" + std::to_string(r);
        const std::string command = std::regex_replace(GetParam().command, std::regex("OUT"), out);
        runs[r] = Tool(folder.path, command + " " + jobs[r] + " " + kBatch);
        runs[r].out = std::regex_replace(runs[r].out, std::regex(out), "OUT");
        runs[r].err = std::regex_replace(runs[r].err, std::regex(out), "OUT");
    }
    EXPECT_EQ(runs[0].exitCode, runs[1].exitCode);
    EXPECT_NE(runs[0].exitCode, 0);  // the broken file counts in both
    EXPECT_EQ(runs[0].out, runs[1].out);
    EXPECT_EQ(runs[0].err, runs[1].err);
    if (!fs::exists(folder.path / "out0")) return;
    size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder.path / "out0")) {
        ++files;
        EXPECT_EQ(ReadFile(entry.path()), ReadFile(folder.path / "out1" / entry.path().filename())) << entry.path();
    }
    EXPECT_EQ(files, 7u);
}

INSTANTIATE_TEST_SUITE_P(Batch, OneAtATimeOrAll,
                         testing::Values(BatchRow{"render", "render --format flac --fade 2 -o OUT/"},
                                         BatchRow{"info", "info --json --loudness"},
                                         BatchRow{"check", "check"}),
                         [](const auto& row) { return std::string(row.param.name); });

double Number(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) throw std::runtime_error("no " + pattern + " in " + text);
    return std::stod(match[1]);
}

// What info measures is what render's ReplayGain carries: gain = -18 LUFS - loudness, peak = true
// peak; and a true peak is never below the sample peak render reports.
TEST(Loudness, InfoAndReplayGainAgreeAndTruePeakCoversTheSamplePeak) {
    Scratch folder;
    const RunResult info = Tool(folder.path, "info --json --loudness " + (kDemo / "demo.hvl").string());
    ASSERT_EQ(info.exitCode, 0) << info.err;
    const double lufs = Number(info.out, "\"loudnessLufs\":(-?[0-9.]+)");
    const double truePeak = Number(info.out, "\"truePeakDbtp\":(-?[0-9.]+)");
    EXPECT_GT(Number(info.out, "\"loudnessRangeLu\":([0-9.]+)"), 0);
    EXPECT_GT(lufs, -40);
    EXPECT_LT(lufs, 0);

    const RunResult render = Tool(folder.path, "render --replaygain -o song.flac " + (kDemo / "demo.hvl").string());
    ASSERT_EQ(render.exitCode, 0) << render.err;
    const std::string flac = ReadFile(folder.path / "song.flac");
    EXPECT_NEAR(Number(flac, "REPLAYGAIN_TRACK_GAIN=(-?[0-9.]+) dB"), -18 - lufs, 0.011);
    EXPECT_NEAR(20 * std::log10(Number(flac, "REPLAYGAIN_TRACK_PEAK=([0-9.]+)")), truePeak, 0.011);
    EXPECT_GE(truePeak, Number(render.out, "peak (-?[0-9.]+) dBFS") - 0.05);

    EXPECT_EQ(Tool(folder.path, "render --replaygain -o song.wav " + (kDemo / "demo.hvl").string()).exitCode, 1);
}

}  // namespace
