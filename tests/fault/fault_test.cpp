// Allocation failure at every point: each allocation of opening a plug-in stream and of opening a
// library player (which load the module) is made to fail in turn, and a rewind's. Each must fail
// cleanly (null, no file left open, nothing leaked) or, where the failure was survivable, behave
// exactly as if nothing had failed; and the process must stay usable afterwards.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"
#include "tests/fault/failing_allocator.h"
#include "tests/support/engine_render.h"
#include "tests/support/files.h"

namespace {

using Samples = std::vector<int16_t>;

constexpr uint32_t kStreamFrames = 3000;
constexpr uint32_t kRequestFrames = 1000;
constexpr uint64_t kMostAllocations = 1000;  // far more than any of these operations makes

const LoadedPlugin& Plugin() {
    static LoadedPlugin plugin;
    static const bool started = StartPlugin(AHX_PLUGIN_PATH, &plugin);
    EXPECT_TRUE(started) << "cannot start " << AHX_PLUGIN_PATH;
    return plugin;
}

// A way to open a module: open() answers whether it opened, play() renders what it opened and closes it;
// leastRefused counts the allocations of the face's own that no open survives.
struct Face { const char* name; uint64_t leastRefused; std::function<bool(const ModuleFile&)> open;
              std::function<Samples()> play; };

TEST(AllocationFailure, OpeningFailsCleanlyAtEveryAllocation) {
    void* stream = nullptr;
    ahx_player* player = nullptr;
    const Face faces[] = {
        // The file copy, the stream record and the Tune: failing each shows the hook reaches into the plug-in.
        {"plug-in stream", 3,
         [&](const ModuleFile& file) {
             StreamOpenInfo info = {};
             stream = Plugin().openStream(file.path.c_str(), &info);
             EXPECT_EQ(Kestrel().openFiles, 0);
             return stream != nullptr;
         },
         [&] {
             const Samples samples = PullFrames(Plugin(), stream, kStreamFrames, kRequestFrames);
             Plugin().closeStream(stream);
             return samples;
         }},
        {"library player", 2,  // the player and its tune at least
         [&](const ModuleFile& file) {
             const ahx_result result = ahx_open(file.bytes.data(), file.bytes.size(), nullptr, &player);
             EXPECT_EQ(player == nullptr, result == AHX_ERROR_OUT_OF_MEMORY) << ahx_result_text(result);
             return player != nullptr;
         },
         [&] {
             Samples samples(2 * size_t{kStreamFrames});
             EXPECT_EQ(ahx_render_s16(player, samples.data(), kStreamFrames), AHX_OK);
             ahx_close(player);
             return samples;
         }},
    };
    const struct { const char* name; ModuleDescription song; } modules[] = {
        {"busy HVL, 16 channels", BusySong(16)}, {"busy THX", AsAhx(BusySong(4))},
        {"largest HVL", LargestSong(ModuleFormat::kHvl)}, {"largest THX", LargestSong(ModuleFormat::kAhx)}};
    for (const auto& module : modules) {
        const ModuleFile file(BuildModule(module.song));
        for (const Face& face : faces) {
            SCOPED_TRACE(testing::Message() << face.name << ", " << module.name);
            ASSERT_TRUE(face.open(file));
            const Samples reference = face.play();
            // Fails allocation 1, 2, ... in turn, until a run makes fewer allocations than the number failed.
            uint64_t k = 1, refused = 0;
            for (; k < kMostAllocations; ++k) {
                const int64_t heapBefore = HeapBytesInUse();
                FailAllocationNumber(k);
                const bool opened = face.open(file);
                const uint64_t attempted = AllocationsCounted();
                StopFailingAllocations();
                EXPECT_TRUE(!opened || face.play() == reference) << "allocation " << k;
                refused += !opened;
                EXPECT_TRUE(opened || k <= attempted) << "an open with every allocation granted must succeed";
                EXPECT_EQ(HeapBytesInUse(), heapBefore) << "allocation " << k;
                EXPECT_FALSE(LeakCheckFindsLeaks()) << "allocation " << k;
                if (k > attempted) break;  // every allocation the open makes has failed once
            }
            EXPECT_LT(k, kMostAllocations);
            EXPECT_GE(refused, face.leastRefused);
            ASSERT_TRUE(face.open(file)) << "usable after the failures";
            EXPECT_EQ(face.play(), reference) << "usable after the failures";
        }
    }
}

TEST(AllocationFailure, RewindWithoutMemoryKeepsPlayingThenRewindsWhenItCan) {
    const LoadedPlugin& plugin = Plugin();
    const ModuleFile file(BuildModule(BusySong(8)));
    StreamOpenInfo info = {};
    void* stream = plugin.openStream(file.path.c_str(), &info);
    ASSERT_NE(stream, nullptr);
    const Samples reference = PullFrames(plugin, stream, 2 * kStreamFrames, kRequestFrames);
    plugin.seekStream(stream, 0);
    ASSERT_EQ(PullFrames(plugin, stream, kStreamFrames, kRequestFrames), Slice(reference, 0, kStreamFrames));
    // The rewind's one allocation, a fresh Tune, fails: the old Tune plays on where it was.
    FailAllocationNumber(1);
    plugin.seekStream(stream, 0);
    EXPECT_EQ(AllocationsCounted(), 1u);
    StopFailingAllocations();
    EXPECT_EQ(PullFrames(plugin, stream, kStreamFrames, kRequestFrames),
              Slice(reference, kStreamFrames, kStreamFrames));
    EXPECT_FALSE(LeakCheckFindsLeaks());
    // With memory back, the same rewind starts the song again.
    plugin.seekStream(stream, 0);
    EXPECT_EQ(PullFrames(plugin, stream, 2 * kStreamFrames, kRequestFrames), reference);
    plugin.closeStream(stream);
}

}  // namespace
