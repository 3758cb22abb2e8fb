// Every reason the library gives, from ahx_probe and ahx_open, on modules built to carry it.
#include <string>
#include <tuple>

#include "library_support.h"

namespace {

ModuleDescription SmallSong(ModuleFormat format) {
    ModuleDescription song;
    song.format = format;
    song.version = format == ModuleFormat::kAhx ? 2 : 1;
    song.trackLength = 4;
    song.positions.resize(2);
    song.tracks.resize(2);
    song.tracks[1] = {BuiltStep{13, 1}};
    song.instruments.resize(1);
    return song;
}

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> Cut(std::vector<uint8_t> bytes, size_t keep) {
    bytes.resize(keep);
    return bytes;
}

template <typename Change>
std::vector<uint8_t> Built(ModuleFormat format, Change change) {
    ModuleDescription song = SmallSong(format);
    change(song);
    return BuildModule(song);
}

std::vector<uint8_t> Oversized(const std::string& start) {
    std::vector<uint8_t> bytes(AHX_MAX_MODULE_BYTES + 1, 0);
    std::copy(start.begin(), start.end(), bytes.begin());
    return bytes;
}

TEST(LibraryResults, ProbeAndOpenGiveTheReason) {
    const auto hvl = BuildModule(SmallSong(ModuleFormat::kHvl));
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        ahx_result probeResult;
        ahx_result openResult;
        uint32_t found, limit;
    } cases[] = {
        {"HVL", hvl, AHX_OK, AHX_OK, 0, 0},
        {"THX", BuildModule(SmallSong(ModuleFormat::kAhx)), AHX_OK, AHX_OK, 0, 0},
        {"empty", Cut(hvl, 0), AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, 0, 0},
        {"two bytes", Bytes("HV"), AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, 0, 0},
        {"lower-case magic", Bytes("hvl\x01"), AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, 0, 0},
        {"HVL version 2", Built(ModuleFormat::kHvl, [](auto& s) { s.version = 2; }), AHX_ERROR_UNSUPPORTED_VERSION,
         AHX_ERROR_UNSUPPORTED_VERSION, 0, 0},
        {"THX revision 3", Built(ModuleFormat::kAhx, [](auto& s) { s.version = 3; }), AHX_ERROR_UNSUPPORTED_VERSION,
         AHX_ERROR_UNSUPPORTED_VERSION, 0, 0},
        {"magic alone", Bytes("HVL"), AHX_ERROR_TRUNCATED, AHX_ERROR_TRUNCATED, 0, 0},
        {"half a header", Cut(hvl, 10), AHX_ERROR_TRUNCATED, AHX_ERROR_TRUNCATED, 0, 0},
        // The header is whole, so the probe is content; the sections after it are not.
        {"cut in the tracks", Cut(hvl, 22), AHX_OK, AHX_ERROR_TRUNCATED, 0, 0},
        {"1001 positions", Built(ModuleFormat::kHvl, [](auto& s) { s.positions.resize(1001); }),
         AHX_ERROR_TOO_MANY_POSITIONS, AHX_ERROR_TOO_MANY_POSITIONS, 1001, 1000},
        {"1000 positions", Built(ModuleFormat::kAhx, [](auto& s) { s.positions.resize(1000); }), AHX_OK, AHX_OK, 0, 0},
        {"track length 65", Built(ModuleFormat::kAhx, [](auto& s) { s.trackLength = 65; }), AHX_ERROR_TRACK_TOO_LONG,
         AHX_ERROR_TRACK_TOO_LONG, 65, 64},
        {"65 instruments", Built(ModuleFormat::kHvl, [](auto& s) { s.instruments.resize(65); }),
         AHX_ERROR_TOO_MANY_INSTRUMENTS, AHX_ERROR_TOO_MANY_INSTRUMENTS, 65, 64},
        {"17 channels", Built(ModuleFormat::kHvl, [](auto& s) { s.channelCount = 17; }), AHX_ERROR_TOO_MANY_CHANNELS,
         AHX_ERROR_TOO_MANY_CHANNELS, 17, 16},
        {"16 channels", Built(ModuleFormat::kHvl, [](auto& s) { s.channelCount = 16; }), AHX_OK, AHX_OK, 0, 0},
        {"over 16 MiB", Oversized("HVL\x01"), AHX_ERROR_TOO_LARGE, AHX_ERROR_TOO_LARGE, 0, 0},
        {"over 16 MiB, not a module", Oversized("WAV"), AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, 0, 0},
    };
    for (const auto& c : cases) {
        ahx_probe_info info{};
        const uint8_t none = 0;
        const void* data = c.bytes.empty() ? &none : c.bytes.data();
        EXPECT_EQ(ahx_probe(data, c.bytes.size(), &info), c.probeResult) << c.what;
        EXPECT_EQ(std::tie(info.found, info.limit), std::tie(c.found, c.limit)) << c.what;
        ahx_player* player = reinterpret_cast<ahx_player*>(1);
        EXPECT_EQ(ahx_open(data, c.bytes.size(), nullptr, &player), c.openResult) << c.what;
        EXPECT_EQ(player == nullptr, c.openResult != AHX_OK) << c.what;
        ahx_close(player);
    }
}

TEST(LibraryResults, ProbeTellsFormatAndVersion) {
    for (const auto& [format, version, expected] : {std::tuple{ModuleFormat::kHvl, 0, AHX_FORMAT_HVL},
                                                    {ModuleFormat::kHvl, 1, AHX_FORMAT_HVL},
                                                    {ModuleFormat::kAhx, 0, AHX_FORMAT_AHX},
                                                    {ModuleFormat::kAhx, 2, AHX_FORMAT_AHX}}) {
        const auto bytes = Built(format, [v = static_cast<uint8_t>(version)](auto& s) { s.version = v; });
        ahx_probe_info info{};
        ASSERT_EQ(ahx_probe(bytes.data(), bytes.size(), &info), AHX_OK);
        EXPECT_EQ(std::make_tuple(info.format, info.version), std::make_tuple(expected, uint32_t(version)));
    }
}

TEST(LibraryResults, SettingsAndArgumentsOutsideTheirRangeAreRefused) {
    const auto bytes = BuildModule(SmallSong(ModuleFormat::kAhx));
    const struct {
        uint32_t sampleRate;
        int32_t stereoMode;
        ahx_result expected;
    } settings[] = {
        {0, 0, AHX_OK},          {8000, 4, AHX_OK},          {192000, 0, AHX_OK},
        {7999, 0, AHX_ERROR_INVALID_ARGUMENT}, {192001, 0, AHX_ERROR_INVALID_ARGUMENT},
        {44100, -1, AHX_ERROR_INVALID_ARGUMENT}, {44100, 5, AHX_ERROR_INVALID_ARGUMENT},
    };
    for (const auto& s : settings) {
        const ahx_settings wanted{s.sampleRate, s.stereoMode};
        ahx_player* player = nullptr;
        EXPECT_EQ(ahx_open(bytes.data(), bytes.size(), &wanted, &player), s.expected) << s.sampleRate << " " << s.stereoMode;
        ahx_close(player);
    }
    ahx_player* player = nullptr;
    EXPECT_EQ(ahx_open(nullptr, 10, nullptr, &player), AHX_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(ahx_open(bytes.data(), bytes.size(), nullptr, nullptr), AHX_ERROR_INVALID_ARGUMENT);
    EXPECT_EQ(ahx_probe(nullptr, 10, nullptr), AHX_ERROR_INVALID_ARGUMENT);

    const PlayerPtr opened = OpenPlayer(bytes);
    ahx_player* p = opened.get();
    ahx_length length{};
    ahx_step step{};
    ahx_position position{};
    uint32_t start = 0;
    const struct {
        const char* what;
        ahx_result result;
        ahx_result expected;
    } calls[] = {
        {"render without a player", ahx_render_s16(nullptr, nullptr, 0), AHX_ERROR_INVALID_ARGUMENT},
        {"render nowhere", ahx_render_s16(p, nullptr, 5), AHX_ERROR_INVALID_ARGUMENT},
        {"render nothing nowhere", ahx_render_f32(p, nullptr, 0), AHX_OK},
        {"stems nowhere", ahx_render_stems_s16(p, nullptr, 5), AHX_ERROR_INVALID_ARGUMENT},
        {"seek without a player", ahx_seek(nullptr, 0), AHX_ERROR_INVALID_ARGUMENT},
        {"song 0", ahx_select_song(p, 0), AHX_OK},
        {"song 1 of none", ahx_select_song(p, 1), AHX_ERROR_NO_SUCH_SONG},
        {"start of song 1 of none", ahx_get_song_start(p, 1, &start), AHX_ERROR_NO_SUCH_SONG},
        {"length of song 1 of none", ahx_measure_song(p, 1, 1, &length), AHX_ERROR_NO_SUCH_SONG},
        {"no loops", ahx_measure_song(p, 0, 0, &length), AHX_ERROR_INVALID_ARGUMENT},
        {"length nowhere", ahx_measure_song(p, 0, 1, nullptr), AHX_ERROR_INVALID_ARGUMENT},
        {"row 3 of 4", ahx_get_step(p, 255, 3, &step), AHX_OK},
        {"row 4 of 4", ahx_get_step(p, 0, 4, &step), AHX_ERROR_INVALID_ARGUMENT},
        {"track 256", ahx_get_step(p, 256, 0, &step), AHX_ERROR_INVALID_ARGUMENT},
        {"position 2 of 2", ahx_get_position(p, 2, &position), AHX_ERROR_INVALID_ARGUMENT},
        {"state nowhere", ahx_get_state(p, nullptr), AHX_ERROR_INVALID_ARGUMENT},
        {"mask without a player", ahx_set_voice_mask(nullptr, 0), AHX_ERROR_INVALID_ARGUMENT},
        {"metering without a player", ahx_set_metering(nullptr, 1), AHX_ERROR_INVALID_ARGUMENT},
    };
    for (const auto& c : calls) EXPECT_EQ(c.result, c.expected) << c.what;
    EXPECT_EQ(ahx_get_info(nullptr), nullptr);
    EXPECT_EQ(ahx_instrument_name(p, 2), nullptr);
}

}  // namespace
