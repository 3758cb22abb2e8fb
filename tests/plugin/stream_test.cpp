// Streams pulled the way Kestrel pulls them, compared with the engine rendering the same module
// directly: request sizes, the end of the stream, rewinds, subsongs and several streams at once.
#include <gtest/gtest.h>

#include <vector>

#include "tests/plugin/plugin_test_support.h"

namespace {

struct OpenedStream {
    void* handle;
    StreamOpenInfo info;
};

class PluginStream : public testing::Test {
protected:
    const LoadedPlugin& plugin = SharedPlugin();

    void SetUp() override {
        StartPlugin(plugin, 6, 0);
        RunSetPlayingTime(plugin, 10000);
    }

    void TearDown() override {
        for (void* stream : opened_) plugin.closeStream(stream);
        EXPECT_EQ(Kestrel().openFiles, 0) << "a file was left open";
    }

    OpenedStream Open(const TempFile& file, int32_t subsong = 0) {
        OpenedStream stream{nullptr, {}};
        stream.info.subsong = subsong;
        stream.handle = plugin.openStream(file.path.c_str(), &stream.info);
        EXPECT_NE(stream.handle, nullptr);
        if (stream.handle != nullptr) opened_.push_back(stream.handle);
        return stream;
    }

    void Close(void* stream) {
        std::erase(opened_, stream);
        plugin.closeStream(stream);
    }

private:
    std::vector<void*> opened_;
};

std::vector<int16_t> Slice(const std::vector<int16_t>& samples, size_t firstFrame, size_t frames) {
    if (2 * (firstFrame + frames) > samples.size()) {
        ADD_FAILURE() << "the reference is too short";
        return {};
    }
    return {samples.begin() + 2 * firstFrame, samples.begin() + 2 * (firstFrame + frames)};
}

TEST_F(PluginStream, EveryRequestPatternDeliversTheEngineOutput) {
    // 882 is one chunk (880 at speed 4): sizes below, at and beyond it, and odd ones.
    const std::vector<std::vector<uint32_t>> patterns = {
        {1}, {0, 7, 0, 881}, {882}, {883, 1}, {1000}, {880, 2, 3}, {5000},
    };
    const uint32_t frames = 4000;
    for (ModuleFormat format : {ModuleFormat::Hvl, ModuleFormat::Ahx}) {
        for (uint8_t speed : {1, 2, 3, 4}) {
            SCOPED_TRACE(testing::Message() << (format == ModuleFormat::Hvl ? "HVL" : "THX") << " speed "
                                            << int{speed});
            const std::vector<uint8_t> module = MelodyModule(format, speed);
            const std::vector<int16_t> reference = RenderWithEngine(module, 0, frames);
            ASSERT_TRUE(HasSound(reference)) << "a silent song would make the comparison meaningless";
            TempFile file(module);
            for (const std::vector<uint32_t>& pattern : patterns) {
                SCOPED_TRACE(testing::Message() << "first request " << pattern[0] << " of " << pattern.size());
                OpenedStream stream = Open(file);
                ASSERT_NE(stream.handle, nullptr);
                const PullResult pulled = Pull(plugin, stream.handle, frames, pattern);
                EXPECT_TRUE(pulled.samples == reference);
                EXPECT_EQ(pulled.framesWritten, frames);
                EXPECT_EQ(pulled.lastEnd, 0);
                Close(stream.handle);
            }
        }
    }
}

TEST_F(PluginStream, OpenReportsTheFormat) {
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    StreamOpenInfo info = {};
    info.flags = 0x100;
    void* stream = plugin.openStream(file.path.c_str(), &info);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(info.length, 10u * 44100);
    EXPECT_EQ(info.channels, 2);
    EXPECT_EQ(info.bits, 16);
    EXPECT_EQ(info.frequency, 44100);
    EXPECT_EQ(info.flags, 0x102u);  // our bit added, the host's kept
    EXPECT_EQ(info.songCount, kTestSubsongCount + 1);
    EXPECT_EQ(Kestrel().openFiles, 0) << "nothing stays open between calls";
    plugin.closeStream(stream);
}

TEST_F(PluginStream, ZeroFrameRequestWritesNothing) {
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    OpenedStream stream = Open(file);
    int16_t untouched[2] = {0x1234, 0x1234};
    SampleRequest request{untouched, 0, 99, -1};
    plugin.streamSamples(stream.handle, &request);
    EXPECT_EQ(request.framesWritten, 0u);
    EXPECT_EQ(request.end, 0);
    EXPECT_EQ(untouched[0], 0x1234);
    EXPECT_EQ(untouched[1], 0x1234);
}

TEST_F(PluginStream, EndOfStreamCountsOnlyFramesWithinTheLength) {
    const std::vector<uint8_t> module = MelodyModule(ModuleFormat::Hvl, 1);
    const std::vector<int16_t> reference = RenderWithEngine(module, 0, 45200);
    TempFile file(module);
    // One second: 44100 frames. Each row: request, then what it reports.
    const struct {
        uint32_t wanted, written;
        int32_t end;
    } requests[] = {{44000, 44000, 0}, {0, 0, 0}, {1000, 100, 1}, {0, 0, 1}, {200, 0, 1}};
    RunSetPlayingTime(plugin, 1000);
    OpenedStream stream = Open(file);
    ASSERT_EQ(stream.info.length, 44100u);
    size_t frame = 0;
    for (const auto& r : requests) {
        SCOPED_TRACE(testing::Message() << "request " << r.wanted << " at frame " << frame);
        std::vector<int16_t> destination(2 * size_t{r.wanted});
        SampleRequest request{destination.data(), r.wanted, 0, -1};
        plugin.streamSamples(stream.handle, &request);
        EXPECT_EQ(request.framesWritten, r.written);
        EXPECT_EQ(request.end, r.end);
        // The song goes on past the end; the destination still receives it.
        EXPECT_TRUE(destination == Slice(reference, frame, r.wanted));
        frame += r.wanted;
    }
}

TEST_F(PluginStream, RequestEndingExactlyAtTheLengthReportsTheEnd) {
    TempFile file(MelodyModule(ModuleFormat::Ahx, 1));
    RunSetPlayingTime(plugin, 2000);
    OpenedStream stream = Open(file);
    const PullResult pulled = Pull(plugin, stream.handle, 88200, {44100});
    EXPECT_EQ(pulled.framesWritten, 88200u);
    EXPECT_EQ(pulled.lastEnd, 1);
}

TEST_F(PluginStream, StreamShorterThanASecondIsEmpty) {
    TempFile file(MelodyModule(ModuleFormat::Hvl, 1));
    RunSetPlayingTime(plugin, 999);
    OpenedStream stream = Open(file);
    EXPECT_EQ(stream.info.length, 0u);
    const PullResult pulled = Pull(plugin, stream.handle, 10, {10});
    EXPECT_EQ(pulled.framesWritten, 0u);
    EXPECT_EQ(pulled.lastEnd, 1);
}

TEST_F(PluginStream, RewindRestartsTheSongAtOnce) {
    const std::vector<uint8_t> module = MelodyModule(ModuleFormat::Hvl, 1);
    const std::vector<int16_t> reference = RenderWithEngine(module, 0, 3000);
    TempFile file(module);
    OpenedStream stream = Open(file);
    // 1000 frames leave 764 buffered; a seek elsewhere than 0 must not disturb them.
    EXPECT_TRUE(Pull(plugin, stream.handle, 1000, {1000}).samples == Slice(reference, 0, 1000));
    plugin.seekStream(stream.handle, 5000);
    EXPECT_TRUE(Pull(plugin, stream.handle, 1000, {1000}).samples == Slice(reference, 1000, 1000));
    // A rewind drops what was buffered: the next frame is the song's first.
    plugin.seekStream(stream.handle, 0);
    EXPECT_TRUE(Pull(plugin, stream.handle, 3000, {7}).samples == reference);
}

TEST_F(PluginStream, RewindAfterTheEndCountsFramesAgain) {
    TempFile file(MelodyModule(ModuleFormat::Ahx, 1));
    RunSetPlayingTime(plugin, 1000);
    OpenedStream stream = Open(file);
    EXPECT_EQ(Pull(plugin, stream.handle, 50000, {50000}).lastEnd, 1);
    plugin.seekStream(stream.handle, 0);
    const PullResult again = Pull(plugin, stream.handle, 44099, {44099});
    EXPECT_EQ(again.framesWritten, 44099u);
    EXPECT_EQ(again.lastEnd, 0);
}

TEST_F(PluginStream, SubsongsPlayFromTheirOwnStartAndSurviveARewind) {
    const std::vector<uint8_t> module = MelodyModule(ModuleFormat::Hvl, 1);
    TempFile file(module);
    const std::vector<int16_t> mainSong = RenderWithEngine(module, 0, 2000);
    for (int32_t song = 0; song <= kTestSubsongCount; ++song) {
        SCOPED_TRACE(testing::Message() << "song " << song);
        const std::vector<int16_t> reference = RenderWithEngine(module, static_cast<uint32_t>(song), 2000);
        if (song != 0) {
            EXPECT_FALSE(reference == mainSong) << "subsongs should differ from the main song";
        }
        OpenedStream stream = Open(file, song);
        ASSERT_NE(stream.handle, nullptr);
        EXPECT_TRUE(Pull(plugin, stream.handle, 2000, {500}).samples == reference);
        plugin.seekStream(stream.handle, 0);
        EXPECT_TRUE(Pull(plugin, stream.handle, 2000, {2000}).samples == reference);
        Close(stream.handle);
    }
}

TEST_F(PluginStream, HostsBefore5Point3AlwaysGetTheMainSong) {
    const std::vector<uint8_t> module = MelodyModule(ModuleFormat::Hvl, 1);
    TempFile file(module);
    StartPlugin(plugin, 5, 2);
    StreamOpenInfo info = {};
    info.subsong = 2;
    info.songCount = -7;
    void* stream = plugin.openStream(file.path.c_str(), &info);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(info.songCount, -7) << "older hosts have no song count field to write";
    EXPECT_TRUE(Pull(plugin, stream, 2000, {2000}).samples == RenderWithEngine(module, 0, 2000));
    plugin.closeStream(stream);
}

TEST_F(PluginStream, OpenTagIsPassedOnlyByHost6) {
    const struct {
        int32_t version, revision;
        uint32_t openTag;
        bool tagged;
    } cases[] = {{6, 0, 77, true}, {7, 2, 0xFFFFFFFF, true}, {6, 0, 0, false}, {5, 3, 77, false}, {5, 2, 77, false}};
    TempFile file(MelodyModule(ModuleFormat::Ahx, 1));
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "host " << c.version << "." << c.revision << " tag " << c.openTag);
        StartPlugin(plugin, c.version, c.revision);
        StreamOpenInfo info = {};
        info.openTag = c.openTag;
        void* stream = plugin.openStream(file.path.c_str(), &info);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(Kestrel().fileOpenTagsCalls, c.tagged ? 1u : 0u);
        EXPECT_EQ(Kestrel().fileOpenCalls, c.tagged ? 0u : 1u);
        EXPECT_EQ(Kestrel().lastOpenTag, c.tagged ? c.openTag : 0u);
        EXPECT_EQ(Kestrel().malformedTagLists, 0u);
        EXPECT_EQ(Kestrel().unexpectedModes, 0u);
        plugin.closeStream(stream);
    }
}

TEST_F(PluginStream, SeveralStreamsPlayIndependently) {
    const std::vector<uint8_t> hvl = MelodyModule(ModuleFormat::Hvl, 1);
    const std::vector<uint8_t> ahx = MelodyModule(ModuleFormat::Ahx, 4);
    TempFile hvlFile(hvl);
    TempFile ahxFile(ahx);
    const uint32_t frames = 3000;
    struct Pulling {
        OpenedStream stream;
        std::vector<int16_t> reference;
        uint32_t requestFrames;
        std::vector<int16_t> pulled;
    };
    std::vector<Pulling> streams = {
        {Open(hvlFile), RenderWithEngine(hvl, 0, frames), 131, {}},
        {Open(ahxFile), RenderWithEngine(ahx, 0, frames), 977, {}},
        {Open(hvlFile, 1), RenderWithEngine(hvl, 1, frames), 882, {}},
        {Open(hvlFile), RenderWithEngine(hvl, 0, frames), 1, {}},
    };
    bool pulling = true;
    while (pulling) {
        pulling = false;
        for (Pulling& s : streams) {
            const uint32_t have = static_cast<uint32_t>(s.pulled.size() / 2);
            if (have >= frames) continue;
            pulling = true;
            const uint32_t wanted = std::min(s.requestFrames * 5, frames - have);
            const PullResult part = Pull(plugin, s.stream.handle, wanted, {s.requestFrames});
            s.pulled.insert(s.pulled.end(), part.samples.begin(), part.samples.end());
        }
    }
    for (size_t i = 0; i < streams.size(); ++i) EXPECT_TRUE(streams[i].pulled == streams[i].reference) << i;
    // Closing one stream leaves the others playing.
    Close(streams[0].stream.handle);
    const std::vector<int16_t> more = RenderWithEngine(ahx, 0, frames + 500);
    EXPECT_TRUE(Pull(plugin, streams[1].stream.handle, 500, {500}).samples == Slice(more, frames, 500));
}

}  // namespace
