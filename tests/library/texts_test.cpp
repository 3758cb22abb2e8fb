// The texts every face shows the same way, worked out by hand.
#include <gtest/gtest.h>

#include <string>

#include "ahx/ahx.h"
#include "library_support.h"

namespace {

struct Written {
    ahx_result result;
    std::string text;
};

template <typename Format>
Written Write(size_t size, Format format) {
    char text[AHX_TEXT_BYTES] = "untouched";
    const ahx_result result = format(text, size);
    return {result, text};
}

struct TextRow {
    const char* name;
    Written got;
    ahx_result result;
    const char* text;
};

void PrintTo(const TextRow& row, std::ostream* out) { *out << row.name; }

class LibraryTexts : public testing::TestWithParam<TextRow> {};

TEST_P(LibraryTexts, AreWrittenAsShown) {
    EXPECT_EQ(GetParam().got.result, GetParam().result);
    EXPECT_EQ(GetParam().got.text, GetParam().text);
}

Written Clock(uint64_t frames, uint32_t rate, size_t size = AHX_TEXT_BYTES) {
    return Write(size, [&](char* text, size_t n) { return ahx_format_clock(frames, rate, text, n); });
}

Written Step(ahx_step step, int columns, size_t size = AHX_TEXT_BYTES) {
    return Write(size, [&](char* text, size_t n) {
        return ahx_format_step(&step, static_cast<ahx_step_columns>(columns), text, n);
    });
}

Written Refusal(ahx_result refusal, ahx_probe_info info, bool withInfo = true) {
    return Write(AHX_TEXT_BYTES, [&](char* text, size_t n) {
        return ahx_describe_refusal(refusal, withInfo ? &info : nullptr, text, n);
    });
}

// Song `song` of a module with one position, the given subsongs, format and version byte.
Written Song(ModuleFormat format, uint8_t version, std::vector<uint16_t> subsongs, uint32_t song) {
    ModuleDescription module;
    module.format = format;
    module.version = version;
    module.subsongs = std::move(subsongs);
    module.positions.resize(1);
    module.tracks.resize(1);
    const PlayerPtr player = OpenPlayer(BuildModule(module));
    return Write(AHX_TEXT_BYTES, [&](char* text, size_t n) { return ahx_describe_song(player.get(), song, text, n); });
}

constexpr ahx_result OK = AHX_OK, BAD = AHX_ERROR_INVALID_ARGUMENT;

INSTANTIATE_TEST_SUITE_P(Clock, LibraryTexts, testing::Values(
    TextRow{"start", Clock(0, 44100), OK, "0:00.00"},
    TextRow{"72 ticks", Clock(72 * 882, 44100), OK, "0:01.44"},
    TextRow{"the length cap", Clock(600 * 44100, 44100), OK, "10:00.00"},
    TextRow{"half a hundredth rounds up", Clock(1, 200), OK, "0:00.01"},
    TextRow{"just under half rounds down", Clock(220, 44100), OK, "0:00.00"},
    TextRow{"every frame count", Clock(UINT64_MAX, 192000), OK, "1601279867509:30.58"},
    TextRow{"no rate", Clock(1, 0), BAD, "untouched"},
    TextRow{"one byte short", Clock(0, 44100, 7), BAD, ""}));

INSTANTIATE_TEST_SUITE_P(Step, LibraryTexts, testing::Values(
    TextRow{"lowest note", Step({1, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "C-1"},
    TextRow{"highest playable note", Step({60, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "B-5"},
    TextRow{"octave 9", Step({108, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "B-9"},
    TextRow{"octave 10", Step({109, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "???"},
    TextRow{"empty", Step({}, AHX_STEP_COMMANDS), OK, "--- .. ... ..."},
    TextRow{"everything", Step({37, 123, 0xA, 0x04, 0, 0x10}, AHX_STEP_COMMANDS), OK, "C-4 23 A04 010"},
    TextRow{"first command", Step({2, 5, 0xF, 0xFF, 1, 1}, AHX_STEP_COMMAND), OK, "C#1 05 FFF"},
    TextRow{"instrument", Step({0, 64, 0, 0, 0, 0}, AHX_STEP_INSTRUMENT), OK, "--- 64"},
    TextRow{"no columns", Step({}, 0), BAD, "untouched"},
    TextRow{"five columns", Step({}, 5), BAD, "untouched"},
    TextRow{"one byte short", Step({}, AHX_STEP_INSTRUMENT, 6), BAD, ""}));

INSTANTIATE_TEST_SUITE_P(Refusal, LibraryTexts, testing::Values(
    TextRow{"limit", Refusal(AHX_ERROR_TOO_MANY_POSITIONS, {AHX_FORMAT_HVL, 1, 1001, 1000}), OK,
            "too many positions: 1001, at most 1000"},
    TextRow{"HVL version", Refusal(AHX_ERROR_UNSUPPORTED_VERSION, {AHX_FORMAT_HVL, 2, 0, 0}), OK,
            "unsupported HVL version 2"},
    TextRow{"AHX revision", Refusal(AHX_ERROR_UNSUPPORTED_VERSION, {AHX_FORMAT_AHX, 3, 0, 0}), OK,
            "unsupported AHX revision 3"},
    TextRow{"no header", Refusal(AHX_ERROR_NOT_A_MODULE, {}), OK, "not a module (no THX or HVL header)"},
    TextRow{"too large", Refusal(AHX_ERROR_TOO_LARGE, {}), OK, "not a module (larger than 16 MiB)"},
    TextRow{"other", Refusal(AHX_ERROR_TRUNCATED, {}), OK, "truncated or damaged"},
    TextRow{"without numbers", Refusal(AHX_ERROR_TOO_MANY_CHANNELS, {}, false), OK, "too many channels"}));

INSTANTIATE_TEST_SUITE_P(Song, LibraryTexts, testing::Values(
    TextRow{"only song", Song(ModuleFormat::kHvl, 1, {}, 0), OK, "HVL version 1, song 1 of 1"},
    TextRow{"last subsong", Song(ModuleFormat::kAhx, 0, {0, 0}, 2), OK, "AHX revision 0, song 3 of 3"},
    TextRow{"past the last", Song(ModuleFormat::kAhx, 1, {0}, 2), AHX_ERROR_NO_SUCH_SONG, "untouched"}));

TEST(LibraryTexts, FindingKindsHaveStableNames) {
    EXPECT_STREQ(ahx_finding_name(AHX_FINDING_SONG_NEVER_REPEATS), "song-never-repeats");
    EXPECT_STREQ(ahx_finding_name(static_cast<ahx_finding_kind>(AHX_FINDING_TRAILING_BYTES + 1)), "unknown");
}

}  // namespace
