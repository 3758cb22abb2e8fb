// Every reason the library gives, from ahx_probe, ahx_open and ahx_describe_refusal, on modules
// built to carry it; and the settings and arguments it refuses.
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
    song.tracks = {{}, {BuiltStep{13, 1}}};
    song.instruments.resize(1);
    return song;
}

std::vector<uint8_t> Bytes(const std::string& text, size_t size = 0) {
    std::vector<uint8_t> bytes(std::max(size, text.size()), 0);
    std::copy(text.begin(), text.end(), bytes.begin());
    return bytes;
}

template <typename Change>
std::vector<uint8_t> Built(ModuleFormat format, Change change) {
    ModuleDescription song = SmallSong(format);
    change(song);
    return BuildModule(song);
}

// The description is what ahx_describe_refusal writes for the open's result with the probe's info.
TEST(LibraryResults, ProbeOpenAndDescriptionGiveTheReason) {
    const auto hvl = BuildModule(SmallSong(ModuleFormat::kHvl));
    const auto H = ModuleFormat::kHvl, A = ModuleFormat::kAhx;
    // The probe's format and version are compared where the header was read.
    const struct { const char* what; std::vector<uint8_t> bytes; ahx_result probeResult, openResult;
                   ahx_probe_info probe; const char* description; } cases[] = {
        {"HVL", hvl, AHX_OK, AHX_OK, {AHX_FORMAT_HVL, 1, 0, 0}, ""},
        {"HVL version 0", Built(H, [](auto& s) { s.version = 0; }), AHX_OK, AHX_OK, {AHX_FORMAT_HVL, 0, 0, 0}, ""},
        {"THX revision 0", Built(A, [](auto& s) { s.version = 0; }), AHX_OK, AHX_OK, {AHX_FORMAT_AHX, 0, 0, 0}, ""},
        {"THX revision 2", BuildModule(SmallSong(A)), AHX_OK, AHX_OK, {AHX_FORMAT_AHX, 2, 0, 0}, ""},
        {"empty", {}, AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, {}, "not a module (no THX or HVL header)"},
        {"two bytes", Bytes("HV"), AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, {}, "not a module (no THX or HVL header)"},
        {"lower-case magic", Bytes("hvl\x01"), AHX_ERROR_NOT_A_MODULE, AHX_ERROR_NOT_A_MODULE, {},
         "not a module (no THX or HVL header)"},
        {"HVL version 2", Built(H, [](auto& s) { s.version = 2; }), AHX_ERROR_UNSUPPORTED_VERSION,
         AHX_ERROR_UNSUPPORTED_VERSION, {AHX_FORMAT_HVL, 2, 0, 0}, "unsupported HVL version 2"},
        {"THX revision 3", Built(A, [](auto& s) { s.version = 3; }), AHX_ERROR_UNSUPPORTED_VERSION,
         AHX_ERROR_UNSUPPORTED_VERSION, {AHX_FORMAT_AHX, 3, 0, 0}, "unsupported AHX revision 3"},
        {"magic alone", Bytes("HVL"), AHX_ERROR_TRUNCATED, AHX_ERROR_TRUNCATED, {}, "truncated or damaged"},
        {"half a header", {hvl.begin(), hvl.begin() + 10}, AHX_ERROR_TRUNCATED, AHX_ERROR_TRUNCATED, {},
         "truncated or damaged"},
        // The header is whole, so the probe is content; the sections after it are not.
        {"cut in the tracks", {hvl.begin(), hvl.begin() + 22}, AHX_OK, AHX_ERROR_TRUNCATED, {AHX_FORMAT_HVL, 1, 0, 0},
         "truncated or damaged"},
        {"1001 positions", Built(H, [](auto& s) { s.positions.resize(1001); }), AHX_ERROR_TOO_MANY_POSITIONS,
         AHX_ERROR_TOO_MANY_POSITIONS, {AHX_FORMAT_HVL, 1, 1001, 1000}, "too many positions: 1001, at most 1000"},
        {"1000 positions", Built(A, [](auto& s) { s.positions.resize(1000); }), AHX_OK, AHX_OK, {AHX_FORMAT_AHX, 2, 0, 0}, ""},
        {"track length 65", Built(A, [](auto& s) { s.trackLength = 65; }), AHX_ERROR_TRACK_TOO_LONG,
         AHX_ERROR_TRACK_TOO_LONG, {AHX_FORMAT_AHX, 2, 65, 64}, "tracks too long: 65, at most 64"},
        {"track length 64", Built(A, [](auto& s) { s.trackLength = 64; }), AHX_OK, AHX_OK, {AHX_FORMAT_AHX, 2, 0, 0}, ""},
        {"65 instruments", Built(H, [](auto& s) { s.instruments.resize(65); }), AHX_ERROR_TOO_MANY_INSTRUMENTS,
         AHX_ERROR_TOO_MANY_INSTRUMENTS, {AHX_FORMAT_HVL, 1, 65, 64}, "too many instruments: 65, at most 64"},
        {"64 instruments", Built(H, [](auto& s) { s.instruments.resize(64); }), AHX_OK, AHX_OK, {AHX_FORMAT_HVL, 1, 0, 0}, ""},
        {"17 channels", Built(H, [](auto& s) { s.channelCount = 17; }), AHX_ERROR_TOO_MANY_CHANNELS,
         AHX_ERROR_TOO_MANY_CHANNELS, {AHX_FORMAT_HVL, 1, 17, 16}, "too many channels: 17, at most 16"},
        {"16 channels", Built(H, [](auto& s) { s.channelCount = 16; }), AHX_OK, AHX_OK, {AHX_FORMAT_HVL, 1, 0, 0}, ""},
        {"over 16 MiB", Bytes("HVL\x01", AHX_MAX_MODULE_BYTES + 1), AHX_ERROR_TOO_LARGE, AHX_ERROR_TOO_LARGE, {},
         "not a module (larger than 16 MiB)"},
        {"over 16 MiB, not a module", Bytes("WAV", AHX_MAX_MODULE_BYTES + 1), AHX_ERROR_NOT_A_MODULE,
         AHX_ERROR_NOT_A_MODULE, {}, "not a module (no THX or HVL header)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ahx_probe_info info{};
        const uint8_t none = 0;
        const void* data = c.bytes.empty() ? &none : c.bytes.data();
        EXPECT_EQ(ahx_probe(data, c.bytes.size(), &info), c.probeResult);
        EXPECT_EQ(std::tie(info.found, info.limit), std::tie(c.probe.found, c.probe.limit));
        if (c.probe.format != AHX_FORMAT_UNKNOWN) {
            EXPECT_EQ(std::tie(info.format, info.version), std::tie(c.probe.format, c.probe.version));
        }
        ahx_player* player = reinterpret_cast<ahx_player*>(1);
        EXPECT_EQ(ahx_open(data, c.bytes.size(), nullptr, &player), c.openResult);
        EXPECT_EQ(player == nullptr, c.openResult != AHX_OK);
        ahx_close(player);
        char text[AHX_TEXT_BYTES] = "";
        const ahx_result described = ahx_describe_refusal(c.openResult, &info, text, sizeof text);
        EXPECT_STREQ(c.openResult == AHX_OK ? "" : text, c.description) << ahx_result_text(described);
    }
    // Without the probe's numbers, the result's own words.
    char text[AHX_TEXT_BYTES];
    ASSERT_EQ(ahx_describe_refusal(AHX_ERROR_TOO_MANY_CHANNELS, nullptr, text, sizeof text), AHX_OK);
    EXPECT_STREQ(text, "too many channels");
}

// One row for each kind of check: the setting ranges at both ends, a missing player, a missing
// output, a song or index past the module's count.
TEST(LibraryResults, SettingsAndArgumentsOutsideTheirRangeAreRefused) {
    const auto bytes = BuildModule(SmallSong(ModuleFormat::kAhx));
    const auto open = [&](uint32_t sampleRate, int32_t stereoMode) {
        const ahx_settings wanted{sampleRate, stereoMode};
        ahx_player* player = nullptr;
        const ahx_result result = ahx_open(bytes.data(), bytes.size(), &wanted, &player);
        ahx_close(player);
        return result;
    };
    const PlayerPtr opened = OpenPlayer(bytes);
    ahx_player* p = opened.get();
    ahx_length length{};
    ahx_step step{};
    ahx_position position{};
    const struct { const char* what; ahx_result result, expected; } calls[] = {
        {"rate 0: the default", open(0, 0), AHX_OK},
        {"lowest rate, highest stereo mode", open(8000, 4), AHX_OK},
        {"highest rate", open(192000, 0), AHX_OK},
        {"rate 7999", open(7999, 0), AHX_ERROR_INVALID_ARGUMENT},
        {"rate 192001", open(192001, 0), AHX_ERROR_INVALID_ARGUMENT},
        {"stereo mode -1", open(44100, -1), AHX_ERROR_INVALID_ARGUMENT},
        {"stereo mode 5", open(44100, 5), AHX_ERROR_INVALID_ARGUMENT},
        {"no player", ahx_seek(nullptr, 0), AHX_ERROR_INVALID_ARGUMENT},
        {"render nowhere", ahx_render_s16(p, nullptr, 5), AHX_ERROR_INVALID_ARGUMENT},
        {"render nothing nowhere", ahx_render_f32(p, nullptr, 0), AHX_OK},
        {"song 0", ahx_select_song(p, 0), AHX_OK},
        {"song 1 of none", ahx_select_song(p, 1), AHX_ERROR_NO_SUCH_SONG},
        {"no loops", ahx_measure_song(p, 0, 0, &length), AHX_ERROR_INVALID_ARGUMENT},
        {"row 3 of 4 of a track not stored", ahx_get_step(p, 255, 3, &step), AHX_OK},
        {"row 4 of 4", ahx_get_step(p, 0, 4, &step), AHX_ERROR_INVALID_ARGUMENT},
        {"position 2 of 2", ahx_get_position(p, 2, &position), AHX_ERROR_INVALID_ARGUMENT},
    };
    for (const auto& c : calls) EXPECT_EQ(c.result, c.expected) << c.what;
    EXPECT_EQ(ahx_instrument_name(p, 2), nullptr);
}

}  // namespace
