// Rendering through the library against the engine's own render: request sizes, seeks, float
// output, muting, stems and threads. The engine's render is what the plug-in delivers (the plug-in
// tests show that), so equal bytes here mean equal to the plug-in.
#include <algorithm>
#include <random>

#include "library_support.h"

namespace {

std::vector<int16_t> Slice(const std::vector<int16_t>& frames, size_t firstFrame, size_t frameCount) {
    return std::vector<int16_t>(frames.begin() + static_cast<ptrdiff_t>(2 * firstFrame),
                                frames.begin() + static_cast<ptrdiff_t>(2 * (firstFrame + frameCount)));
}

TEST(LibraryRender, AnyRequestSizeGivesTheEngineRender) {
    const struct {
        const char* what;
        ModuleDescription song;
        uint32_t sampleRate;
        int32_t stereoMode;
    } songs[] = {
        {"HVL, 16 voices", BusySong(16), 44100, 0},
        {"HVL, multiplier 4", ShortLoopSong(8, 4), 44100, 0},
        {"THX, stereo 3", [] { auto s = BusySong(4); s.format = ModuleFormat::kAhx; return s; }(), 44100, 3},
        {"ring modulation at 48000 Hz", RingSong(), 48000, 0},
    };
    const size_t requestSizes[] = {1, 7, 881, 882, 883, 5000};
    constexpr size_t kFrames = 30000;
    for (const auto& s : songs) {
        const auto bytes = BuildModule(s.song);
        const std::vector<int16_t> expected = EngineRender(bytes, kFrames, s.sampleRate, s.stereoMode);
        for (const size_t request : requestSizes) {
            const PlayerPtr player = OpenPlayer(bytes, s.sampleRate, s.stereoMode);
            std::vector<int16_t> rendered;
            while (rendered.size() < 2 * kFrames) {
                const auto piece = Render(player.get(), std::min(request, kFrames - rendered.size() / 2));
                rendered.insert(rendered.end(), piece.begin(), piece.end());
            }
            EXPECT_TRUE(rendered == expected) << s.what << ", requests of " << request;
        }
    }
}

TEST(LibraryRender, SeekingEqualsRenderingThrough) {
    const struct {
        const char* what;
        uint8_t speedMultiplier;
        uint32_t sampleRate;
    } cases[] = {
        {"multiplier 1, 44100 Hz", 1, 44100},
        {"multiplier 4, 44100 Hz", 4, 44100},
        {"multiplier 1, 8000 Hz", 1, 8000},
        {"multiplier 4, 192000 Hz", 4, 192000},
    };
    constexpr size_t kCompareFrames = 1000;
    for (const auto& c : cases) {
        const auto bytes = BuildModule(ShortLoopSong(6, c.speedMultiplier));
        // Three positions of 8 steps at tempo 6: 144 ticks, 2.88 s, before the song loops back to
        // position 1; the reference covers the loop and more.
        const size_t totalFrames = size_t{c.sampleRate} * 5;
        const std::vector<int16_t> expected = EngineRender(bytes, totalFrames + kCompareFrames, c.sampleRate);
        const PlayerPtr player = OpenPlayer(bytes, c.sampleRate);
        std::mt19937 random(c.sampleRate + c.speedMultiplier);
        std::uniform_int_distribution<size_t> frameOf(0, totalFrames);
        // Random targets, forwards and backwards, then the first frame and the frames next to a tick's end.
        std::vector<size_t> targets(12);
        for (size_t& target : targets) target = frameOf(random);
        const size_t framesPerTick = c.sampleRate / 50 / c.speedMultiplier;
        targets.insert(targets.end(), {0, framesPerTick - 1, framesPerTick, framesPerTick + 1, totalFrames});
        for (const size_t target : targets) {
            ASSERT_EQ(ahx_seek(player.get(), target), AHX_OK);
            EXPECT_TRUE(Render(player.get(), kCompareFrames) == Slice(expected, target, kCompareFrames))
                << c.what << ", seek to " << target;
            ahx_state state{};
            ahx_get_state(player.get(), &state);
            EXPECT_EQ(state.frame, target + kCompareFrames) << c.what;
        }
    }
}

// Measuring a song, and playing it, leave snapshots behind every ten seconds that later seeks start
// from; those seeks must land exactly too, also after a length was measured for another song.
TEST(LibraryRender, SeeksFromSnapshotsEqualRenderingThrough) {
    ModuleDescription song = BusySong(8);
    song.subsongs = {3};
    const auto bytes = BuildModule(song);
    constexpr size_t kCompareFrames = 2000;
    constexpr size_t kSongFrames = 50 * 44100;
    const std::vector<int16_t> expected = EngineRender(bytes, kSongFrames + kCompareFrames, 44100);
    const PlayerPtr player = OpenPlayer(bytes);
    ahx_length length{};
    ASSERT_EQ(ahx_measure_song(player.get(), 1, 1, &length), AHX_OK);  // another song: no snapshots
    ASSERT_EQ(ahx_measure_song(player.get(), 0, 1, &length), AHX_OK);  // this one: snapshots to its end
    ASSERT_GT(length.frames, kSongFrames);
    std::mt19937 random(7);
    std::uniform_int_distribution<size_t> frameOf(0, kSongFrames);
    std::vector<size_t> targets = {10 * 44100, 10 * 44100 - 1, 40 * 44100 + 5, 0};
    for (int i = 0; i < 12; ++i) targets.push_back(frameOf(random));
    for (const size_t target : targets) {
        ASSERT_EQ(ahx_seek(player.get(), target), AHX_OK);
        EXPECT_TRUE(Render(player.get(), kCompareFrames) == Slice(expected, target, kCompareFrames))
            << "seek to " << target;
        // A measurement in between changes nothing about what plays next.
        ASSERT_EQ(ahx_measure_song(player.get(), 1, 1, &length), AHX_OK);
        EXPECT_TRUE(Render(player.get(), 100) == Slice(expected, target + kCompareFrames, 100)) << "after " << target;
    }
}

TEST(LibraryRender, FloatSamplesAreTheShortSamplesOver32768) {
    const auto bytes = BuildModule(BusySong(8));
    const PlayerPtr shorts = OpenPlayer(bytes);
    const PlayerPtr floats = OpenPlayer(bytes);
    constexpr size_t kFrames = 20000;
    const std::vector<int16_t> expected = Render(shorts.get(), kFrames);
    std::vector<float> rendered(2 * kFrames);
    ASSERT_EQ(ahx_render_f32(floats.get(), rendered.data(), kFrames), AHX_OK);
    size_t mismatches = 0;
    for (size_t i = 0; i < rendered.size(); ++i) mismatches += rendered[i] != static_cast<float>(expected[i]) / 32768.0f;
    EXPECT_EQ(mismatches, 0u);
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](int16_t s) { return s != 0; }));
}

TEST(LibraryRender, MaskingNothingChangesNothingAndMaskingAllIsSilence) {
    const auto bytes = BuildModule(BusySong(16));
    constexpr size_t kFrames = 20000;
    const std::vector<int16_t> expected = EngineRender(bytes, kFrames, 44100);
    const struct {
        uint32_t mask;
        bool metering;
        bool silent;
    } cases[] = {{0xFFFF, false, false}, {0xFFFFFFFF, false, false}, {0xFFFF, true, false}, {0, false, true}, {0, true, true}};
    for (const auto& c : cases) {
        const PlayerPtr player = OpenPlayer(bytes);
        ahx_set_voice_mask(player.get(), c.mask);
        ahx_set_metering(player.get(), c.metering);
        const std::vector<int16_t> rendered = Render(player.get(), kFrames);
        if (c.silent) {
            EXPECT_TRUE(std::all_of(rendered.begin(), rendered.end(), [](int16_t s) { return s == 0; })) << c.mask;
        } else {
            EXPECT_TRUE(rendered == expected) << std::hex << c.mask << " metering " << c.metering;
        }
    }
}

TEST(LibraryRender, EachStemEqualsThatVoiceAloneAndMutedStemsAreSilent) {
    const auto bytes = BuildModule(ShortLoopSong(16, 2));
    constexpr size_t kFrames = 3 * 44100;
    constexpr uint32_t kMask = ~(1u << 5);  // channel 5 muted
    const PlayerPtr stemmed = OpenPlayer(bytes);
    ahx_set_voice_mask(stemmed.get(), kMask);
    std::vector<std::vector<int16_t>> stems(16, std::vector<int16_t>(2 * kFrames));
    std::vector<int16_t*> outputs;
    for (auto& stem : stems) outputs.push_back(stem.data());
    // In uneven pieces, to show that stems keep their place across calls too.
    for (size_t done = 0, piece = 1; done < kFrames; done += piece, piece = piece * 3 + 1) {
        piece = std::min(piece, kFrames - done);
        std::vector<int16_t*> at;
        for (int16_t* output : outputs) at.push_back(output + 2 * done);
        ASSERT_EQ(ahx_render_stems_s16(stemmed.get(), at.data(), piece), AHX_OK);
    }
    for (uint32_t voice = 0; voice < 16; ++voice) {
        const PlayerPtr alone = OpenPlayer(bytes);
        ahx_set_voice_mask(alone.get(), (1u << voice) & kMask);
        const std::vector<int16_t> expected = Render(alone.get(), kFrames);
        EXPECT_TRUE(stems[voice] == expected) << "voice " << voice;
        const bool silent = std::all_of(expected.begin(), expected.end(), [](int16_t s) { return s == 0; });
        EXPECT_EQ(silent, voice == 5) << "voice " << voice;
    }
}

}  // namespace
