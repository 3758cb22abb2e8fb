// The bundled demo songs: committed files in step with their sources, and what the project
// promises about them (format, channels, length, not silent).
#include <gtest/gtest.h>

#include "tool_support.h"

namespace {

const std::filesystem::path kDemoFolder = std::filesystem::path(AHX_SOURCE_DIR) / "demo";

TEST(Demo, CommittedFilesMatchTheirSources) {
    ScratchFolder folder;
    const std::string command = std::string(AHX_DEMO_COMPOSE_PATH) + " " + folder.path().string() + " >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const char* name : {"demo.hvl", "jingle.ahx"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadBytes(folder / name), ReadBytes(kDemoFolder / name))
            << "run `make demo` (or build/demo/demo_compose demo) and commit the result";
    }
}

TEST(Demo, SongsAreWhatTheReadmePromises) {
    ScratchFolder folder;
    const ToolRun run = RunTool({"info", "--json", (kDemoFolder / "demo.hvl").string(), (kDemoFolder / "jingle.ahx").string()},
                                folder.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string demo = run.out.substr(0, run.out.find('\n'));
    const std::string jingle = run.out.substr(run.out.find('\n') + 1);
    EXPECT_NE(demo.find("\"format\":\"HVL\""), std::string::npos);
    EXPECT_NE(demo.find("\"channels\":8,"), std::string::npos);
    EXPECT_NE(jingle.find("\"format\":\"AHX\""), std::string::npos);

    const size_t at = demo.find("\"seconds\":");
    ASSERT_NE(at, std::string::npos);
    const double seconds = std::stod(demo.substr(at + 10));
    EXPECT_GE(seconds, 30.0);
    EXPECT_LE(seconds, 90.0);
    EXPECT_NE(demo.find("\"ends\":true"), std::string::npos);
}

TEST(Demo, BothSongsAreLoudOnBothSidesWithoutClipping) {
    for (const char* name : {"demo.hvl", "jingle.ahx"}) {
        SCOPED_TRACE(name);
        const std::vector<int16_t> samples = EngineRender(ReadBytes(kDemoFolder / name), 0, 0, 44100, 44100 * 8);
        int peak[2] = {0, 0};
        for (size_t i = 0; i < samples.size(); ++i) peak[i % 2] = std::max(peak[i % 2], std::abs(int{samples[i]}));
        for (const int side : peak) {
            EXPECT_GT(side, 3000);   // about -20 dBFS: clearly audible
            EXPECT_LT(side, 32767);  // the mixer saturates; a full-scale sample means clipping
        }
    }
}

}  // namespace
