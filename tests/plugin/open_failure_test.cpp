// Every way OpenStream can fail: it returns null, closes the file and keeps nothing allocated (the
// sanitizer build's leak checker watches the allocations).
#include <gtest/gtest.h>

#include <unistd.h>

#include <vector>

#include "tests/plugin/plugin_test_support.h"

namespace {

enum class Content { Melody, NoFile, Empty, TwoBytes, LowerHvl, LowerThx, OtherMagic, HvlJunk, Truncated, Oversized };

std::vector<uint8_t> Bytes(Content content) {
    std::vector<uint8_t> melody = MelodyModule(ModuleFormat::Hvl, 1);
    switch (content) {
    case Content::Empty:
        return {};
    case Content::TwoBytes:
        return {'H', 'V'};
    case Content::LowerHvl:
        melody[0] = 'h', melody[1] = 'v', melody[2] = 'l';
        return melody;
    case Content::LowerThx: {
        std::vector<uint8_t> ahx = MelodyModule(ModuleFormat::Ahx, 1);
        ahx[0] = 't', ahx[1] = 'h', ahx[2] = 'x';
        return ahx;
    }
    case Content::OtherMagic:
        melody[2] = 'X';
        return melody;
    case Content::HvlJunk:
        return {'H', 'V', 'L', 1, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    case Content::Truncated:
        melody.resize(melody.size() / 2);
        return melody;
    default:
        return melody;
    }
}

TEST(PluginOpenFailure, EveryFailureReturnsNullAndClosesTheFile) {
    const struct {
        const char* what;
        Content content;
        FileFaults faults;
        int32_t subsong;
    } cases[] = {
        {"missing file", Content::NoFile, {0, 0}, 0},
        {"empty file", Content::Empty, {0, 0}, 0},
        {"shorter than the magic", Content::TwoBytes, {0, 0}, 0},
        {"lower-case hvl", Content::LowerHvl, {0, 0}, 0},
        {"lower-case thx", Content::LowerThx, {0, 0}, 0},
        {"other magic", Content::OtherMagic, {0, 0}, 0},
        {"magic with junk the reader refuses", Content::HvlJunk, {0, 0}, 0},
        {"module cut in half", Content::Truncated, {0, 0}, 0},
        {"larger than 16 MiB", Content::Oversized, {0, 0}, 0},
        {"short read of the magic", Content::Melody, {1, 0}, 0},
        {"short read of the body", Content::Melody, {2, 0}, 0},
        {"seek to the end fails", Content::Melody, {0, 1}, 0},
        {"seek back to the start fails", Content::Melody, {0, 2}, 0},
        {"subsong beyond the count", Content::Melody, {0, 0}, kTestSubsongCount + 1},
        {"negative subsong", Content::Melody, {0, 0}, -1},
    };
    const LoadedPlugin& plugin = SharedPlugin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartPlugin(plugin, 6, 0);
        TempFile file(Bytes(c.content));
        if (c.content == Content::Oversized) {
            ASSERT_EQ(truncate(file.path.c_str(), (16 << 20) + 1), 0);  // sparse: the module, then zeros
        }
        const std::string path = c.content == Content::NoFile ? file.path + ".absent" : file.path;
        Kestrel().faults = c.faults;
        StreamOpenInfo info = {};
        info.subsong = c.subsong;
        EXPECT_EQ(plugin.openStream(path.c_str(), &info), nullptr);
        EXPECT_EQ(Kestrel().openFiles, 0);
        EXPECT_EQ(info.length, 0u) << "a failed open reports nothing";
    }
}

TEST(PluginOpenFailure, ControlsForTheFailureCases) {
    // The same host and files succeed without the fault: the cases above fail for their stated reason.
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        off_t paddedBytes;
        int32_t subsong;
    } cases[] = {
        {"HVL", MelodyModule(ModuleFormat::Hvl, 1), 0, 0},
        {"THX", MelodyModule(ModuleFormat::Ahx, 1), 0, 0},
        {"exactly 16 MiB", MelodyModule(ModuleFormat::Hvl, 1), 16 << 20, 0},
        {"last subsong", MelodyModule(ModuleFormat::Hvl, 1), 0, kTestSubsongCount},
    };
    const LoadedPlugin& plugin = SharedPlugin();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StartPlugin(plugin, 6, 0);
        TempFile file(c.bytes);
        if (c.paddedBytes != 0) {
            ASSERT_EQ(truncate(file.path.c_str(), c.paddedBytes), 0);
        }
        StreamOpenInfo info = {};
        info.subsong = c.subsong;
        void* stream = plugin.openStream(file.path.c_str(), &info);
        EXPECT_NE(stream, nullptr);
        EXPECT_EQ(Kestrel().openFiles, 0);
        if (stream != nullptr) plugin.closeStream(stream);
    }
}

}  // namespace
