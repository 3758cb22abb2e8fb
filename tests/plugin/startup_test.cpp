// Start-up as Kestrel does it: describe-only, then hosts of several versions; the fixed answers and
// the script library, including ahx.SetPlayingTime.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "tests/plugin/plugin_test_support.h"

namespace {

// Opens the melody on the current host and returns the stream's length in frames.
uint32_t OpenedLength(const LoadedPlugin& plugin) {
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    StreamOpenInfo info = {};
    void* stream = plugin.openStream(file.path.c_str(), &info);
    EXPECT_NE(stream, nullptr);
    if (stream == nullptr) return 0;
    plugin.closeStream(stream);
    return info.length;
}

TEST(PluginStartup, DescribeOnlyFillsTheRecordAndStartsNothing) {
    const LoadedPlugin plugin = FreshPlugin();
    ASSERT_NE(plugin.library, nullptr);
    ResetKestrel();
    PluginInfo info;
    std::memset(&info, 0xA5, sizeof info);
    info.hostVersion = 6;
    info.hostRevision = 1;
    EXPECT_EQ(plugin.initPlugin(&info, nullptr), 1);

    EXPECT_EQ(info.capabilities, 0x00020012u);
    EXPECT_EQ(info.version, 1);
    EXPECT_EQ(info.revision, 3);
    EXPECT_EQ(info.hostVersion, 5);
    EXPECT_EQ(info.hostRevision, 0);
    EXPECT_STREQ(info.name, "AHX");
    EXPECT_STREQ(info.shortName, "ahx");
    EXPECT_NE(info.author, nullptr);
    EXPECT_STREQ(info.description, "Enables Kestrel to play AHX and HivelyTracker modules");
    EXPECT_NE(info.url, nullptr);
    EXPECT_STREQ(info.date, "27.09.19");
    EXPECT_EQ(info.reserved1, nullptr);
    EXPECT_EQ(info.reserved2, nullptr);
    // Version-reporting tools look for the tag right behind the display name.
    EXPECT_STREQ(info.name + sizeof("AHX"), "$VER: ahx.kpl 1.3 (27.09.19) [MacOS]");
    EXPECT_TRUE(Kestrel().registrations.empty());

    // Not started: no stream can open and the script command touches nothing.
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    StreamOpenInfo openInfo = {};
    EXPECT_EQ(plugin.openStream(file.path.c_str(), &openInfo), nullptr);
    EXPECT_EQ(Kestrel().fileOpenCalls + Kestrel().fileOpenTagsCalls, 0u);
    EXPECT_EQ(RunSetPlayingTime(plugin, 2000), 0);
    EXPECT_EQ(Kestrel().numberArgumentCalls, 0u);

    // Started afterwards, the playing time is still the ten-minute default.
    StartPlugin(plugin, 6, 0);
    EXPECT_EQ(OpenedLength(plugin), 26460000u);
    EXPECT_EQ(Kestrel().openFiles, 0);
}

TEST(PluginStartup, RegistersFileTypesOnlyFromHost5Point3) {
    const struct {
        int32_t version, revision;
        bool registers;
    } cases[] = {{5, 2, false}, {5, 3, true}, {6, 0, true}, {4, 9, false}, {7, 0, true}, {5, 10, true}};
    const LoadedPlugin& plugin = SharedPlugin();
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "host " << c.version << "." << c.revision);
        ResetKestrel();
        PluginInfo info = HostPluginInfo(c.version, c.revision);
        EXPECT_EQ(plugin.initPlugin(&info, &Kestrel().api), 1);
        EXPECT_EQ(info.hostVersion, 5);
        const auto& calls = Kestrel().registrations;
        ASSERT_EQ(calls.size(), c.registers ? 2u : 0u);
        if (!c.registers) continue;
        const char* names[2][2] = {{"AHX", "ahx"}, {"Hively Tracker", "hvl"}};
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_EQ(calls[i].info, &info);
            EXPECT_EQ(calls[i].capability, 2);
            EXPECT_EQ(calls[i].displayName, names[i][0]);
            EXPECT_EQ(calls[i].extension, names[i][1]);
            EXPECT_TRUE(calls[i].mimeTypeNull);
            EXPECT_EQ(calls[i].flags, 0u);
            EXPECT_TRUE(calls[i].reservedNull);
        }
    }
}

TEST(PluginStartup, HostWithoutServiceTablesIsNeverCalled) {
    // The plug-in keeps the pointer, so the record must outlive the test.
    static HostApi emptyHost = {};
    const LoadedPlugin& plugin = SharedPlugin();
    ResetKestrel();
    PluginInfo info = HostPluginInfo(6, 0);
    EXPECT_EQ(plugin.initPlugin(&info, &emptyHost), 1);
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    StreamOpenInfo openInfo = {};
    EXPECT_EQ(plugin.openStream(file.path.c_str(), &openInfo), nullptr);
    EXPECT_EQ(RunSetPlayingTime(plugin, 1000), 0);
    EXPECT_EQ(Kestrel().numberArgumentCalls + Kestrel().fileOpenCalls, 0u);
}

TEST(PluginStartup, FixedAnswersAndScriptLibraryTables) {
    const LoadedPlugin& plugin = SharedPlugin();
    const struct {
        int32_t capability, answer;
    } extensions[] = {{0, 0}, {1, 0}, {2, 4}, {3, 0}, {4, 0}, {-2, 0}, {0x20012, 0}};
    for (const auto& e : extensions) EXPECT_EQ(plugin.getExtensions(e.capability), e.answer) << e.capability;
    EXPECT_STREQ(plugin.getFormatName(), "AHX/Hively Tracker");
    EXPECT_STREQ(plugin.getBaseTable(), "ahx");
    EXPECT_EQ(plugin.getConstants(), nullptr);
    EXPECT_EQ(plugin.initLibrary(nullptr), 0);
    plugin.freeLibrary(nullptr);
    plugin.closePlugin();

    const ScriptCommand* commands = plugin.getCommands();
    EXPECT_STREQ(commands[0].name, "SetPlayingTime");
    EXPECT_NE(commands[0].function, nullptr);
    EXPECT_EQ(commands[1].name, nullptr);
    EXPECT_EQ(commands[1].function, nullptr);

    const char* const* help = plugin.getHelpStrings();
    EXPECT_STREQ(help[0], "ahx.SetPlayingTime(ms) -- set playing duration of music in milliseconds");
    EXPECT_EQ(help[1], nullptr);
}

TEST(PluginStartup, PlayingTimeSetsTheLengthOfLaterStreams) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    // Expected lengths worked out by hand: whole seconds times 44100, 0 below zero, and
    // 0xFFFFFFFF once the count needs more than 32 bits (97392 s is the first such second).
    const struct {
        double before, ms;
        uint32_t frames;
    } cases[] = {
        {0, 2500.9, 88200},       {0, 1000, 44100},         {0, 999, 0},
        {0, -1.5, 0},             {0, -1e12, 0},            {0, -inf, 0},
        {0, 97391999, 4294943100u}, {0, 97392000, 0xFFFFFFFFu}, {0, 1e12, 0xFFFFFFFFu},
        {0, inf, 0xFFFFFFFFu},    {3000, nan, 132300},
    };
    const LoadedPlugin& plugin = SharedPlugin();
    StartPlugin(plugin, 6, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "ms " << c.ms);
        RunSetPlayingTime(plugin, c.before);
        Kestrel().numberArgumentCalls = 0;
        EXPECT_EQ(RunSetPlayingTime(plugin, c.ms), 0);
        EXPECT_EQ(Kestrel().numberArgumentCalls, 1u);
        EXPECT_EQ(Kestrel().lastArgumentIndex, 1);
        EXPECT_EQ(Kestrel().lastScriptState, &Kestrel());
        EXPECT_EQ(OpenedLength(plugin), c.frames);
    }
}

TEST(PluginStartup, OpenStreamKeepsTheLengthItWasOpenedWith) {
    const LoadedPlugin& plugin = SharedPlugin();
    StartPlugin(plugin, 6, 0);
    RunSetPlayingTime(plugin, 1000);
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    StreamOpenInfo info = {};
    void* stream = plugin.openStream(file.path.c_str(), &info);
    ASSERT_NE(stream, nullptr);
    RunSetPlayingTime(plugin, 60000);
    const PullResult pulled = Pull(plugin, stream, 50000, {50000});
    EXPECT_EQ(pulled.framesWritten, 44100u);
    EXPECT_EQ(pulled.lastEnd, 1);
    plugin.closeStream(stream);
}

}  // namespace
