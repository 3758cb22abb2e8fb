// The texts every face shows the same way, worked out by hand: clock, step and song descriptions.
#include <functional>

#include "library_support.h"

namespace {

struct TextRow { const char* what; std::function<ahx_result(char*, size_t)> write; ahx_result result; const char* text;
                 size_t size = AHX_TEXT_BYTES; };

auto Clock(uint64_t frames, uint32_t rate) {
    return [=](char* text, size_t n) { return ahx_format_clock(frames, rate, text, n); };
}

auto Step(ahx_step step, int columns) {
    return [=](char* text, size_t n) { return ahx_format_step(&step, static_cast<ahx_step_columns>(columns), text, n); };
}

// Song `song` of a module with one position, the given subsongs, format and version byte.
auto Song(ModuleFormat format, uint8_t version, std::vector<uint16_t> subsongs, uint32_t song) {
    ModuleDescription module;
    module.format = format;
    module.version = version;
    module.subsongs = std::move(subsongs);
    module.positions.resize(1);
    module.tracks.resize(1);
    const std::shared_ptr<ahx_player> player(OpenPlayer(BuildModule(module)).release(), ahx_close);
    return [=](char* text, size_t n) { return ahx_describe_song(player.get(), song, text, n); };
}

constexpr ahx_result OK = AHX_OK, BAD = AHX_ERROR_INVALID_ARGUMENT;

TEST(LibraryTexts, AreWrittenAsShown) {
    const TextRow rows[] = {
        {"clock at the start", Clock(0, 44100), OK, "0:00.00"},
        {"72 ticks", Clock(72 * 882, 44100), OK, "0:01.44"},
        {"the length cap", Clock(600 * 44100, 44100), OK, "10:00.00"},
        {"half a hundredth rounds up", Clock(1, 200), OK, "0:00.01"},
        {"just under half rounds down", Clock(220, 44100), OK, "0:00.00"},
        {"every frame count", Clock(UINT64_MAX, 192000), OK, "1601279867509:30.58"},
        {"clock without a rate", Clock(1, 0), BAD, "untouched"},
        {"clock one byte short", Clock(0, 44100), BAD, "", 7},
        {"lowest note", Step({1, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "C-1"},
        {"highest playable note", Step({60, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "B-5"},
        {"octave 9", Step({108, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "B-9"},
        {"octave 10", Step({109, 0, 0, 0, 0, 0}, AHX_STEP_NOTE), OK, "???"},
        {"empty step", Step({}, AHX_STEP_COMMANDS), OK, "--- .. ... ..."},
        {"every column", Step({37, 123, 0xA, 0x04, 0, 0x10}, AHX_STEP_COMMANDS), OK, "C-4 23 A04 010"},
        {"first command", Step({2, 5, 0xF, 0xFF, 1, 1}, AHX_STEP_COMMAND), OK, "C#1 05 FFF"},
        {"instrument", Step({0, 64, 0, 0, 0, 0}, AHX_STEP_INSTRUMENT), OK, "--- 64"},
        {"five columns", Step({}, 5), BAD, "untouched"},
        {"step one byte short", Step({}, AHX_STEP_INSTRUMENT), BAD, "", 6},
        {"only song", Song(ModuleFormat::kHvl, 1, {}, 0), OK, "HVL version 1, song 1 of 1"},
        {"last subsong", Song(ModuleFormat::kAhx, 0, {0, 0}, 2), OK, "AHX revision 0, song 3 of 3"},
        {"past the last song", Song(ModuleFormat::kAhx, 1, {0}, 2), AHX_ERROR_NO_SUCH_SONG, "untouched"},
    };
    for (const TextRow& row : rows) {
        char text[AHX_TEXT_BYTES] = "untouched";
        EXPECT_EQ(row.write(text, row.size), row.result) << row.what;
        EXPECT_STREQ(text, row.text) << row.what;
    }
}

}  // namespace
