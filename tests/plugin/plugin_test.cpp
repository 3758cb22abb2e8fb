// Loads the real ahx.kpl with dlopen through the stand-in Kestrel host and drives it as Kestrel
// would. Streams are compared with the engine rendering the same module directly in this process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "builder/module_builder.h"
#include "host/kestrel/plugin_loader.h"
#include "host/kestrel/stand_in_host.h"
#include "tests/support/engine_render.h"
#include "tests/support/files.h"

namespace {

using Samples = std::vector<int16_t>;

const LoadedPlugin& Plugin() {  // loaded once; its process-wide state carries over between tests
    static LoadedPlugin plugin;
    static const bool loaded = LoadPlugin(AHX_PLUGIN_PATH, &plugin);
    EXPECT_TRUE(loaded) << "cannot load " << AHX_PLUGIN_PATH;
    return plugin;
}

// Starts plugin on a freshly reset host of that version. Registrations keep the record's address.
const PluginInfo& Start(const LoadedPlugin& plugin, int32_t version, int32_t revision) {
    static PluginInfo info;
    ResetKestrel();
    info = HostPluginInfo(version, revision);
    EXPECT_EQ(plugin.initPlugin(&info, &Kestrel().api), 1);
    return info;
}

int32_t SetPlayingTime(const LoadedPlugin& plugin, double ms) {  // as a script calls it
    Kestrel().numberArgument = ms;
    return plugin.getCommands()[0].function(&Kestrel());
}

// Three positions of three tracks with other chords; subsongs 1 and 2 start at positions 1 and 2.
Bytes Melody(ModuleFormat format, uint8_t speedMultiplier = 1) {
    ModuleDescription d;
    d.format = format;
    d.speedMultiplier = speedMultiplier;
    d.trackLength = 16;
    d.subsongs = {1, 2};
    d.tracks.assign(4, std::vector<BuiltStep>(16));
    for (uint8_t t = 1; t < 4; ++t) {
        for (uint8_t s = 0; s < 16; s += 4) d.tracks[t][s] = {uint8_t(t * 11 + s), 1};
    }
    for (uint8_t p = 0; p < 3; ++p) {
        d.positions.push_back({{uint8_t(1 + p), uint8_t(1 + (p + 1) % 3), uint8_t(1 + (p + 2) % 3)}, {0, 7, -5}});
    }
    d.instruments = {{.name = "triangle", .volume = 40, .envelope = {1, 64, 8, 48, 40, 10, 0},
                      .perfList = {{.waveform = 1}}}};
    return BuildModule(d);
}

// The engine's own render, resized so that slices stay in range after a failure: the reference for every stream.
Samples Render(const Bytes& module, uint32_t song, uint32_t frames) {
    Samples out = EngineRender(module, frames, 44100, 0, song);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](int16_t s) { return s != 0; })) << "silence proves nothing";
    out.resize(2 * size_t{frames});
    return out;
}

// Everything the destinations received, counted or not; frames written in all; the last end.
struct Pulled { Samples samples; uint32_t written = 0; int32_t end = -1; };

// Pulls frames in requests cycling through sizes; at least one request, even for 0 frames.
Pulled Pull(void* stream, uint32_t frames, const std::vector<uint32_t>& sizes) {
    Pulled result;
    size_t next = 0;
    do {
        const uint32_t wanted = std::min(sizes[next++ % sizes.size()], frames - uint32_t(result.samples.size() / 2));
        Samples destination(2 * size_t{wanted} + 1, 0x5A5A);
        SampleRequest request{destination.data(), wanted, 0xDEAD, -1};
        EXPECT_EQ(Plugin().streamSamples(stream, &request), 0);
        EXPECT_EQ(destination.back(), 0x5A5A) << "written past the request";
        result.samples.insert(result.samples.end(), destination.begin(), destination.end() - 1);
        result.written += request.framesWritten;
        result.end = request.end;
    } while (result.samples.size() < 2 * size_t{frames});
    return result;
}

using Stream = std::unique_ptr<void, CloseStreamFn>;  // closed when the test ends

Stream Open(const ModuleFile& file, int32_t subsong = 0) {
    StreamOpenInfo info = {};
    info.subsong = subsong;
    Stream stream(Plugin().openStream(file.path.c_str(), &info), Plugin().closeStream);
    EXPECT_NE(stream, nullptr);
    return stream;
}

// What the plug-in says of itself is its own table; what it must work out is checked here.
TEST(PluginStartup, DescribeOnlyFixedAnswersMissingServicesThenPlayingTime) {
    LoadedPlugin plugin;  // a private copy: never started, playing time never set
    ASSERT_TRUE(LoadFreshPlugin(AHX_PLUGIN_PATH, &plugin));
    ResetKestrel();
    PluginInfo info;
    std::memset(&info, 0xA5, sizeof info);
    info.hostVersion = 6;
    EXPECT_EQ(plugin.initPlugin(&info, nullptr), 1);
    EXPECT_EQ(info.capabilities, 0x00020012u);
    EXPECT_EQ(std::vector<int32_t>({info.version, info.revision, info.hostVersion, info.hostRevision}),
              std::vector<int32_t>({1, 3, 5, 0}));  // the host's version overwritten by the oldest needed
    EXPECT_STREQ(info.name + sizeof("AHX"), "$VER: ahx.kpl 1.3 (27.09.19) [MacOS]");  // right behind the name
    EXPECT_TRUE(info.reserved1 == nullptr && info.reserved2 == nullptr);
    EXPECT_STREQ(plugin.getCommands()[0].name, "SetPlayingTime");  // its function is called below

    // Neither without a host nor on one lacking every service table does anything reach the host.
    static HostApi emptyHost = {};  // the plug-in keeps the pointer
    ModuleFile file(Melody(ModuleFormat::kHvl));
    for (HostApi* host : {static_cast<HostApi*>(nullptr), &emptyHost}) {
        PluginInfo hostInfo = HostPluginInfo(6, 0);
        EXPECT_TRUE(host == nullptr || plugin.initPlugin(&hostInfo, host) == 1);
        StreamOpenInfo open = {};
        EXPECT_EQ(plugin.openStream(file.path.c_str(), &open), nullptr);
        EXPECT_EQ(SetPlayingTime(plugin, 2000), 0);
    }
    EXPECT_EQ(Kestrel().fileOpenCalls + Kestrel().fileOpenTagsCalls + Kestrel().numberArgumentCalls, 0u);

    // Started, the playing time sets the length of later streams. Worked out by hand: whole seconds times
    // 44100, 0 below one second, 0xFFFFFFFF from 97392 s (past 32 bits); NaN keeps the default of 600 s.
    const struct { double ms; uint32_t frames; } cases[] = {
        {NAN, 26460000}, {2500.9, 88200}, {999, 0}, {-1.5, 0},
        {97391999, 4294943100u}, {97392000, 0xFFFFFFFFu}, {INFINITY, 0xFFFFFFFFu}, {3000, 132300}, {NAN, 132300},
    };
    Start(plugin, 6, 0);
    for (const auto& c : cases) {
        EXPECT_EQ(SetPlayingTime(plugin, c.ms), 0);
        StreamOpenInfo open = {};
        void* stream = plugin.openStream(file.path.c_str(), &open);
        EXPECT_EQ(open.length, c.frames) << "ms " << c.ms;
        plugin.closeStream(stream);
    }
    EXPECT_EQ(Kestrel().numberArgumentCalls, std::size(cases));
    EXPECT_TRUE(Kestrel().lastArgumentIndex == 1 && Kestrel().lastScriptState == &Kestrel());  // argument 1 read
}

TEST(PluginStartup, HostVersionGatesRegistrationSubsongSongCountAndOpenTag) {
    const LoadedPlugin& plugin = Plugin();
    const ModuleFile file(Melody(ModuleFormat::kHvl));
    const Samples song[2] = {Render(file.bytes, 0, 2000), Render(file.bytes, 1, 2000)};
    ASSERT_FALSE(song[0] == song[1]) << "subsong 1 must differ from the main song to tell them apart";
    // From 5.3 on: file types registered, subsong read, song count written. From 6 on: the open tag.
    const struct { int32_t version, revision; uint32_t openTag; bool from5Point3, tagged; } cases[] = {
        {5, 2, 77, false, false}, {4, 9, 77, false, false}, {5, 3, 77, true, false}, {5, 10, 77, true, false},
        {6, 0, 77, true, true},   {6, 0, 0, true, false},   {7, 2, 0xFFFFFFFF, true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "host " << c.version << "." << c.revision << " tag " << c.openTag);
        const PluginInfo& info = Start(plugin, c.version, c.revision);
        ASSERT_EQ(Kestrel().registrations.size(), c.from5Point3 ? 2u : 0u);
        for (const auto& call : Kestrel().registrations) EXPECT_EQ(call.info, &info) << "the record keeps its address";
        StreamOpenInfo open = {0, 0, 0, 0, 0x100, 1, -7, c.openTag};  // flags, subsong, song count, tag
        void* stream = plugin.openStream(file.path.c_str(), &open);
        ASSERT_NE(stream, nullptr);
        EXPECT_TRUE(open.channels == 2 && open.bits == 16 && open.frequency == 44100);  // 16-bit stereo, 44100 Hz
        EXPECT_EQ(open.flags, 0x102u);  // bit 2 added, the host's own bits kept
        EXPECT_EQ(open.songCount, c.from5Point3 ? 3 : -7);  // main song and two subsongs
        EXPECT_EQ(std::vector<uint32_t>({Kestrel().fileOpenTagsCalls, Kestrel().fileOpenCalls, Kestrel().lastOpenTag}),
                  std::vector<uint32_t>({c.tagged, !c.tagged, c.tagged ? c.openTag : 0}));
        EXPECT_EQ(Kestrel().malformedTagLists + Kestrel().unexpectedModes + Kestrel().openFiles, 0u);
        EXPECT_TRUE(Pull(stream, 2000, {2000}).samples == song[c.from5Point3 ? 1 : 0]);
        plugin.closeStream(stream);
    }
}

TEST(PluginStream, StreamsOpenTogetherDeliverTheEngineOutputInAnyRequestSizes) {
    Start(Plugin(), 6, 0);
    SetPlayingTime(Plugin(), 10000);
    // A chunk is 882 frames (at speeds 1 to 3; 880 at speed 4): requests of 0, 1, odd sizes, a chunk and more.
    const std::vector<uint32_t> patterns[] = {{1}, {0, 7, 0, 881}, {882}, {883, 1}, {1000}, {880, 2, 3}, {5000}};
    for (const auto& [format, speed] : {std::pair{ModuleFormat::kHvl, 1}, {ModuleFormat::kAhx, 4}}) {
        const Bytes module = Melody(format, uint8_t(speed));
        const Samples reference = Render(module, 0, 4500);
        ModuleFile file(module);
        std::vector<Stream> streams;  // one per pattern, all open at once and pulled in turn
        for (size_t i = 0; i < std::size(patterns); ++i) streams.push_back(Open(file));
        for (uint32_t first : {0u, 2000u}) {
            for (size_t i = 0; i < std::size(patterns); ++i) {
                SCOPED_TRACE(testing::Message() << "speed " << speed << ", pattern " << i << " from frame " << first);
                const Pulled pulled = Pull(streams[i].get(), 2000, patterns[i]);
                EXPECT_TRUE(pulled.samples == Slice(reference, first, 2000));
                EXPECT_EQ(pulled.written, 2000u);
                EXPECT_EQ(pulled.end, 0);
            }
        }
        streams.erase(streams.begin());  // closing one leaves the others playing
        EXPECT_TRUE(Pull(streams.back().get(), 500, {500}).samples == Slice(reference, 4000, 500));
    }
}

TEST(PluginStream, EndOfStreamAndSeeksCountAgainstTheLengthOfTheOpen) {
    Start(Plugin(), 6, 0);
    const Bytes module = Melody(ModuleFormat::kHvl);
    const Samples reference = Render(module, 2, 45200);  // the last subsong, which a rewind must keep
    ASSERT_FALSE(Slice(reference, 0, 2000) == Render(module, 0, 2000));
    ModuleFile file(module);
    SetPlayingTime(Plugin(), 1000);  // 44100 frames
    const Stream stream = Open(file, 2);
    SetPlayingTime(Plugin(), 60000);  // an open stream keeps its length
    // Each row: a seek first (-1: none), the request, what it reports; the destination receives the song
    // even past the end. 764 frames stay buffered: a seek to 5000 keeps them, a rewind drops them.
    const struct { int64_t seek; uint32_t wanted, written; int32_t end; } requests[] = {
        {-1, 1000, 1000, 0},   {5000, 1000, 1000, 0}, {-1, 42000, 42000, 0}, {-1, 0, 0, 0}, {-1, 1000, 100, 1},
        {-1, 0, 0, 1},         {-1, 200, 0, 1},       {0, 44099, 44099, 0},  {-1, 1, 1, 1},  {0, 44100, 44100, 1},
    };
    size_t frame = 0;
    for (const auto& r : requests) {
        SCOPED_TRACE(testing::Message() << "seek " << r.seek << ", request " << r.wanted << " at frame " << frame);
        if (r.seek >= 0) Plugin().seekStream(stream.get(), uint32_t(r.seek));
        frame = r.seek == 0 ? 0 : frame;
        const Pulled pulled = Pull(stream.get(), r.wanted, {r.wanted});
        EXPECT_EQ(pulled.written, r.written);
        EXPECT_EQ(pulled.end, r.end);
        EXPECT_TRUE(pulled.samples == Slice(reference, frame, r.wanted));
        frame += r.wanted;
    }
}

TEST(PluginOpen, EveryFailureReturnsNullAndLeavesNoFileOpen) {
    const Bytes hvl = Melody(ModuleFormat::kHvl);
    // Call numbers of the injected faults: read 1 is the magic, read 2 the body; seek 1 goes to
    // the end, seek 2 back to the start. The rows that open show the same files succeed otherwise.
    // size > 0: a sparse extension, the module then zeros; < 0: no such file.
    const struct { const char* what; Bytes bytes; bool opens = false; off_t size = 0; FileFaults faults = {0, 0};
                   int32_t subsong = 0; } cases[] = {
        {.what = "exactly 16 MiB", .bytes = hvl, .opens = true, .size = 16 << 20},
        {.what = "subsong equal to the count", .bytes = hvl, .opens = true, .subsong = 2},
        {.what = "subsong beyond the count", .bytes = hvl, .subsong = 3},
        {.what = "negative subsong", .bytes = hvl, .subsong = -1},
        {.what = "larger than 16 MiB", .bytes = hvl, .size = (16 << 20) + 1},
        {.what = "missing file", .bytes = hvl, .size = -1},
        {"other magic", {'H', 'V', 'X', 1, 0, 0, 0, 0}},  // which bytes are refused is the library's table
        {.what = "short read of the magic", .bytes = hvl, .faults = {1, 0}},
        {.what = "short read of the body", .bytes = hvl, .faults = {2, 0}},
        {.what = "seek to the end fails", .bytes = hvl, .faults = {0, 1}},
        {.what = "seek back to the start fails", .bytes = hvl, .faults = {0, 2}},
    };
    const LoadedPlugin& plugin = Plugin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Start(plugin, 6, 0);
        ModuleFile file(c.bytes);
        ASSERT_EQ(c.size == 0 ? 0 : c.size < 0 ? unlink(file.path.c_str()) : truncate(file.path.c_str(), c.size), 0);
        Kestrel().faults = c.faults;
        StreamOpenInfo info = {};
        info.subsong = c.subsong;
        void* stream = plugin.openStream(file.path.c_str(), &info);
        EXPECT_EQ(stream != nullptr, c.opens);
        EXPECT_EQ(Kestrel().openFiles, 0);
        EXPECT_EQ(info.length, c.opens ? info.length : 0u) << "a failed open reports nothing";
        if (stream != nullptr) plugin.closeStream(stream);
    }
}

}  // namespace
