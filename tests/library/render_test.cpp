// Rendering through the library against the engine's own render: request sizes, seeks, float
// output, muting and stems. The engine's render is what the plug-in delivers (the plug-in tests
// show that), so equal bytes here mean equal to the plug-in.
#include <algorithm>
#include <random>

#include "library_support.h"

namespace {

// Metering, and a mask with bits beyond the channels, change nothing of what is heard.
TEST(LibraryRender, AnyRequestSizeGivesTheEngineRender) {
    const struct { const char* what; ModuleDescription song; uint32_t sampleRate; int32_t stereoMode;
                   uint32_t mask = 0xFFFF; bool metering = false; } songs[] = {
        {"HVL, 16 voices", BusySong(16), 44100, 0, 0xFFFFFFFF, true},
        {"HVL, multiplier 4", ShortLoopSong(8, 4), 44100, 0},
        {"THX, stereo 3", AsAhx(BusySong(4)), 44100, 3},
        {"ring modulation at 48000 Hz", RingSong(), 48000, 0},
    };
    const size_t requestSizes[] = {1, 7, 881, 882, 883, 5000};
    constexpr size_t kFrames = 30000;
    for (const auto& s : songs) {
        const auto bytes = BuildModule(s.song);
        const std::vector<int16_t> expected = EngineRender(bytes, kFrames, s.sampleRate, s.stereoMode);
        for (const size_t request : requestSizes) {
            const PlayerPtr player = OpenPlayer(bytes, s.sampleRate, s.stereoMode);
            ahx_set_voice_mask(player.get(), s.mask);
            ahx_set_metering(player.get(), s.metering);
            std::vector<int16_t> rendered;
            while (rendered.size() < 2 * kFrames) {
                const auto piece = Render(player.get(), std::min(request, kFrames - rendered.size() / 2));
                rendered.insert(rendered.end(), piece.begin(), piece.end());
            }
            EXPECT_TRUE(rendered == expected) << s.what << ", requests of " << request;
        }
    }
}

// Seeks forwards and backwards land where rendering through lands. Measuring a song, and playing
// it, leave snapshots behind every ten seconds that later seeks start from; a measurement of
// another song in between changes nothing about what plays next.
TEST(LibraryRender, SeekingEqualsRenderingThrough) {
    // measured: measured first, so that snapshots reach its end
    const struct { const char* what; ModuleDescription song; uint32_t sampleRate; size_t seconds; bool measured; }
        cases[] = {
        {"multiplier 1, 44100 Hz", ShortLoopSong(6, 1), 44100, 5, false},
        {"multiplier 4, 44100 Hz", ShortLoopSong(6, 4), 44100, 5, false},
        {"multiplier 1, 8000 Hz", ShortLoopSong(6, 1), 8000, 5, false},
        {"multiplier 4, 192000 Hz", ShortLoopSong(6, 4), 192000, 5, false},
        {"snapshots", With(BusySong(8), [](auto& s) { s.subsongs = {3}; }), 44100, 50, true},
    };
    constexpr size_t kCompareFrames = 1000;
    for (const auto& c : cases) {
        const auto bytes = BuildModule(c.song);
        // The short songs loop back to position 1 after 2.88 s; the reference covers the loop and more.
        const size_t totalFrames = size_t{c.sampleRate} * c.seconds;
        const std::vector<int16_t> expected = EngineRender(bytes, totalFrames + 2 * kCompareFrames, c.sampleRate);
        const PlayerPtr player = OpenPlayer(bytes, c.sampleRate);
        ahx_length length{};
        if (c.measured) {
            ASSERT_EQ(ahx_measure_song(player.get(), 1, 1, &length), AHX_OK);  // another song: no snapshots
            ASSERT_EQ(ahx_measure_song(player.get(), 0, 1, &length), AHX_OK);
            ASSERT_GT(length.frames, totalFrames);
        }
        std::mt19937 random(c.sampleRate + c.seconds);
        std::uniform_int_distribution<size_t> frameOf(0, totalFrames);
        // Random targets, forwards and backwards, then the first frame, the frames next to a tick's
        // end and next to a snapshot.
        std::vector<size_t> targets(12);
        for (size_t& target : targets) target = frameOf(random);
        const size_t tick = c.sampleRate / 50 / c.song.speedMultiplier;
        targets.insert(targets.end(), {0, tick - 1, tick, tick + 1, totalFrames, 10 * 44100 - 1, 10 * 44100});
        for (const size_t target : targets) {
            if (target > totalFrames) continue;
            ASSERT_EQ(ahx_seek(player.get(), target), AHX_OK);
            EXPECT_TRUE(Render(player.get(), kCompareFrames) == Slice(expected, target, kCompareFrames))
                << c.what << ", seek to " << target;
            ahx_state state{};
            ahx_get_state(player.get(), &state);
            EXPECT_EQ(state.frame, target + kCompareFrames) << c.what;
            EXPECT_TRUE(!c.measured || ahx_measure_song(player.get(), 1, 1, &length) == AHX_OK);
            EXPECT_TRUE(Render(player.get(), 100) == Slice(expected, target + kCompareFrames, 100)) << "after " << target;
        }
    }
}

TEST(LibraryRender, FloatSamplesAreTheShortSamplesOver32768) {
    const auto bytes = BuildModule(BusySong(8));
    const PlayerPtr floats = OpenPlayer(bytes);
    constexpr size_t kFrames = 20000;
    const std::vector<int16_t> expected = LibraryRender(bytes, {}, kFrames);
    std::vector<float> rendered(2 * kFrames);
    ASSERT_EQ(ahx_render_f32(floats.get(), rendered.data(), kFrames), AHX_OK);
    size_t mismatches = 0;
    for (size_t i = 0; i < rendered.size(); ++i) mismatches += rendered[i] != static_cast<float>(expected[i]) / 32768.0f;
    EXPECT_EQ(mismatches, 0u);
    EXPECT_TRUE(std::any_of(expected.begin(), expected.end(), [](int16_t s) { return s != 0; }));
}

// A muted voice's stem is silent, and no other is.
TEST(LibraryRender, EachStemEqualsThatVoiceAloneAndMutedStemsAreSilent) {
    const auto bytes = BuildModule(ShortLoopSong(16, 2));
    constexpr size_t kFrames = 3 * 44100;
    constexpr uint32_t kMask = ~(1u << 5);  // channel 5 muted
    const PlayerPtr stemmed = OpenPlayer(bytes);
    ahx_set_voice_mask(stemmed.get(), kMask);
    std::vector<std::vector<int16_t>> stems(16, std::vector<int16_t>(2 * kFrames));
    // In uneven pieces, to show that stems keep their place across calls too.
    for (size_t done = 0, piece = 1; done < kFrames; done += piece, piece = piece * 3 + 1) {
        piece = std::min(piece, kFrames - done);
        std::vector<int16_t*> at;
        for (auto& stem : stems) at.push_back(stem.data() + 2 * done);
        ASSERT_EQ(ahx_render_stems_s16(stemmed.get(), at.data(), piece), AHX_OK);
    }
    for (uint32_t voice = 0; voice < 16; ++voice) {
        const std::vector<int16_t> expected = LibraryRender(bytes, {.mask = (1u << voice) & kMask}, kFrames);
        EXPECT_TRUE(stems[voice] == expected) << "voice " << voice;
        const bool silent = std::all_of(expected.begin(), expected.end(), [](int16_t s) { return s == 0; });
        EXPECT_EQ(silent, voice == 5) << "voice " << voice;
    }
}

}  // namespace
