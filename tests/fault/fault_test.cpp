// Allocation failure at every point: each allocation of opening a stream, rewinding one and
// opening a library player (which load the module) is made to fail in turn. Each must fail cleanly
// (null, no file left open, nothing leaked) or, where the failure was survivable, behave exactly
// as if nothing had failed; and the process must stay usable afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "ahx/ahx.h"
#include "builder/sample_songs.h"
#include "host/kestrel/stand_in_host.h"
#include "host/kestrel/stream_driver.h"
#include "tests/fault/failing_allocator.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Samples = std::vector<int16_t>;

constexpr uint32_t kStreamFrames = 3000;
constexpr uint32_t kRequestFrames = 1000;
constexpr uint64_t kMostAllocations = 1000;  // far more than any of these operations makes

struct NamedModule {
    const char* name;
    Bytes bytes;
};

std::vector<NamedModule> Modules() {
    return {{"busy HVL, 16 channels", BuildModule(BusySong(16))},
            {"busy THX", BuildModule(AsAhx(BusySong(4)))},
            {"largest HVL", BuildModule(LargestSong(ModuleFormat::kHvl))},
            {"largest THX", BuildModule(LargestSong(ModuleFormat::kAhx))}};
}

const LoadedPlugin& Plugin() {
    static LoadedPlugin plugin;
    static const bool started = StartPlugin(AHX_PLUGIN_PATH, &plugin);
    EXPECT_TRUE(started) << "cannot start " << AHX_PLUGIN_PATH;
    return plugin;
}

struct ModuleOnDisk {  // removed when the test ends
    std::string path = TemporaryPath("ahx-fault");
    explicit ModuleOnDisk(const Bytes& bytes) { EXPECT_TRUE(WriteFileBytes(path, bytes)); }
    ~ModuleOnDisk() { unlink(path.c_str()); }
};

// Counts and fails allocations only for the duration of one call.
template <typename Call>
auto WithAllocationFailing(uint64_t k, uint64_t* attempted, Call call) {
    FailAllocationNumber(k);
    auto result = call();
    *attempted = AllocationsCounted();
    StopFailingAllocations();
    return result;
}

// Fails allocation 1, 2, ... of open() in turn, until a run makes fewer allocations than the
// number failed. open() answers whether it opened; opened(k) then checks and closes what it
// opened. Nothing may leak either way. Returns how many runs were refused.
template <typename Open, typename Opened>
uint64_t FailEachAllocationInTurn(Open open, Opened opened) {
    uint64_t k = 1, attempted = 0, refused = 0;
    for (; k < kMostAllocations; ++k) {
        const int64_t heapBefore = HeapBytesInUse();
        if (WithAllocationFailing(k, &attempted, open)) {
            opened(k);
        } else {
            ++refused;
            EXPECT_LE(k, attempted) << "an open with every allocation granted must succeed";
        }
        EXPECT_EQ(HeapBytesInUse(), heapBefore) << "allocation " << k;
        EXPECT_FALSE(LeakCheckFindsLeaks()) << "allocation " << k;
        if (k > attempted) break;  // every allocation the open makes has failed once
    }
    EXPECT_LT(k, kMostAllocations);
    return refused;
}

TEST(AllocationFailure, OpenStreamFailsCleanlyAtEveryAllocation) {
    const LoadedPlugin& plugin = Plugin();
    for (const NamedModule& module : Modules()) {
        SCOPED_TRACE(module.name);
        ModuleOnDisk file(module.bytes);
        StreamOpenInfo info = {};
        void* stream = plugin.openStream(file.path.c_str(), &info);
        ASSERT_NE(stream, nullptr);
        const Samples reference = PullFrames(plugin, stream, kStreamFrames, kRequestFrames);
        plugin.closeStream(stream);
        // Some failures are survivable (the C library reads unbuffered without its buffer); a
        // stream that opened must then be the stream as it always is.
        const uint64_t refused = FailEachAllocationInTurn(
            [&] {
                info = {};
                stream = plugin.openStream(file.path.c_str(), &info);
                EXPECT_EQ(Kestrel().openFiles, 0);
                return stream != nullptr;
            },
            [&](uint64_t k) {
                EXPECT_EQ(PullFrames(plugin, stream, kStreamFrames, kRequestFrames), reference) << "allocation " << k;
                plugin.closeStream(stream);
            });
        // The file copy, the stream record and the Tune are the plug-in's own; failing any one of
        // them refuses the open, so the hook demonstrably reaches inside the dlopen'd plug-in.
        EXPECT_GE(refused, 3u);
        stream = plugin.openStream(file.path.c_str(), &info);
        EXPECT_EQ(PullFrames(plugin, stream, kStreamFrames, kRequestFrames), reference) << "usable after the failures";
        plugin.closeStream(stream);
    }
}

Samples PlayerRender(ahx_player* player) {
    Samples out(2 * size_t{kStreamFrames});
    EXPECT_EQ(ahx_render_s16(player, out.data(), kStreamFrames), AHX_OK);
    return out;
}

TEST(AllocationFailure, LibraryOpenFailsCleanlyAtEveryAllocation) {
    for (const NamedModule& module : Modules()) {
        SCOPED_TRACE(module.name);
        ahx_player* player = nullptr;
        ASSERT_EQ(ahx_open(module.bytes.data(), module.bytes.size(), nullptr, &player), AHX_OK);
        const Samples reference = PlayerRender(player);
        ahx_close(player);
        const uint64_t refused = FailEachAllocationInTurn(
            [&] {
                const ahx_result result = ahx_open(module.bytes.data(), module.bytes.size(), nullptr, &player);
                EXPECT_EQ(player == nullptr, result == AHX_ERROR_OUT_OF_MEMORY) << ahx_result_text(result);
                return player != nullptr;
            },
            [&](uint64_t k) {
                EXPECT_EQ(PlayerRender(player), reference) << "allocation " << k;
                ahx_close(player);
            });
        EXPECT_GE(refused, 2u) << "the player and its tune at least";
    }
}

TEST(AllocationFailure, RewindWithoutMemoryKeepsPlayingThenRewindsWhenItCan) {
    const LoadedPlugin& plugin = Plugin();
    const Bytes module = BuildModule(BusySong(8));
    ModuleOnDisk file(module);
    StreamOpenInfo info = {};
    void* stream = plugin.openStream(file.path.c_str(), &info);
    ASSERT_NE(stream, nullptr);
    const Samples reference = PullFrames(plugin, stream, 2 * kStreamFrames, kRequestFrames);
    plugin.seekStream(stream, 0);
    ASSERT_EQ(PullFrames(plugin, stream, kStreamFrames, kRequestFrames), Samples(reference.begin(), reference.begin() + 2 * kStreamFrames));

    // The rewind's one allocation, a fresh Tune, fails: the old Tune plays on where it was.
    uint64_t attempted = 0;
    WithAllocationFailing(1, &attempted, [&] { return plugin.seekStream(stream, 0), 0; });
    EXPECT_EQ(attempted, 1u);
    EXPECT_EQ(PullFrames(plugin, stream, kStreamFrames, kRequestFrames), Samples(reference.begin() + 2 * kStreamFrames, reference.end()));
    EXPECT_FALSE(LeakCheckFindsLeaks());
    // With memory back, the same rewind starts the song again.
    plugin.seekStream(stream, 0);
    EXPECT_EQ(PullFrames(plugin, stream, 2 * kStreamFrames, kRequestFrames), reference);
    plugin.closeStream(stream);
}

}  // namespace
