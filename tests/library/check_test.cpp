// What ahx_check reports for modules built to carry one fault each, with the place worked out by
// hand from the file layouts, and how ahx_summarise_song says a song goes on.
#include <string>
#include <tuple>

#include "library_support.h"

namespace {

// A THX song whose layout is easy to count: header 14 bytes, no subsongs, 3 positions of 8 bytes
// (tracks from 38), tracks 0 and 1 of 4 steps of 3 bytes (instruments from 62), one instrument
// of 22 + 4 bytes (names from 88): "counted\0tone\0", 101 bytes in all. Track 1 plays a note on
// channel 0 of every position; at tempo 6 a position lasts 24 ticks.
ModuleDescription Counted(ModuleFormat format = ModuleFormat::kAhx) {
    ModuleDescription song;
    song.format = format;
    song.name = "counted";
    song.trackLength = 4;
    song.tracks = {{}, {BuiltStep{.note = 37, .instrument = 1}}};
    song.positions.assign(3, BuiltPosition{{1}});
    song.instruments = {BuiltInstrument{.name = "tone", .envelope = {.sustainFrames = 255}, .perfList = {{.waveform = 1}}}};
    return song;
}

// Position `position` plays a copy of track 1 on `channel` with the given step at `row`.
ModuleDescription WithStep(ModuleDescription song, uint32_t position, uint32_t channel, uint32_t row, BuiltStep step) {
    std::vector<BuiltStep> track = song.tracks[1];
    track.resize(song.trackLength);
    track[row] = step;
    song.tracks.push_back(track);
    song.positions[position].track[channel] = static_cast<uint8_t>(song.tracks.size() - 1);
    return song;
}

constexpr uint32_t N = AHX_NOWHERE;

// The fields a row expects; everything else must be AHX_NOWHERE (or 0 for found and used).
struct Expected {
    ahx_finding_kind kind;
    ahx_section section;
    uint32_t offset = N;
    uint32_t song = N, position = N, channel = N, track = N, row = N, instrument = N, entry = N;
    int32_t found = 0, used = 0;
    ahx_result refusal = AHX_OK;
};

// Of an ahx_finding, or of what a row expects of one: the same names.
auto Fields(const auto& f) {
    return std::make_tuple(f.kind, f.refusal, f.section, f.offset, f.song, f.position, f.channel, f.track,
                           f.row, f.instrument, f.entry, f.found, f.used);
}

void Collect(void* context, const ahx_finding* finding) {
    static_cast<std::vector<ahx_finding>*>(context)->push_back(*finding);
}

TEST(LibraryCheck, EachFaultIsReportedOnceWithItsPlace) {
    const BuiltStep jump15{.command1 = 0xB, .param1 = 0x15};
    const struct { const char* what; std::vector<uint8_t> bytes; ahx_result result; std::vector<Expected> findings; }
        cases[] = {
        {"clean", BuildModule(Counted()), AHX_OK, {}},
        {"clean HVL", BuildModule(Counted(ModuleFormat::kHvl)), AHX_OK, {}},
        // THX keeps the restart position in bytes 8 and 9.
        {"restart beyond the positions", BuildModule(With(Counted(), [](auto& s) { s.restartPosition = 5; })), AHX_OK,
         {{.kind = AHX_FINDING_RESTART_BEYOND_END, .section = AHX_SECTION_HEADER, .offset = 8, .found = 5, .used = 2}}},
        // The subsong list follows the header: song 2's start is at 14 + 2.
        {"subsong beyond the positions", BuildModule(With(Counted(), [](auto& s) { s.subsongs = {1, 7}; })), AHX_OK,
         {{.kind = AHX_FINDING_SUBSONG_BEYOND_END, .section = AHX_SECTION_SUBSONGS, .offset = 16, .song = 2,
           .found = 7, .used = 0}}},
        // HVL header byte 15.
        {"stereo mode 6", BuildModule(With(Counted(ModuleFormat::kHvl), [](auto& s) { s.stereoMode = 6; })), AHX_OK,
         {{.kind = AHX_FINDING_STEREO_MODE, .section = AHX_SECTION_HEADER, .offset = 15, .found = 6, .used = 0}}},
        // Instrument header byte 1.
        {"wave length 7", BuildModule(With(Counted(), [](auto& s) { s.instruments[0].waveLength = 7; })), AHX_OK,
         {{.kind = AHX_FINDING_WAVE_LENGTH, .section = AHX_SECTION_INSTRUMENTS, .offset = 63, .instrument = 1,
           .found = 7, .used = 5}}},
        // Entry 1 follows the 22-byte header and entry 0.
        {"waveform 6", BuildModule(With(Counted(), [](auto& s) { s.instruments[0].perfList.push_back({.waveform = 6}); })),
         AHX_OK,
         {{.kind = AHX_FINDING_PERF_WAVEFORM, .section = AHX_SECTION_INSTRUMENTS, .offset = 88, .instrument = 1,
           .entry = 1, .found = 6, .used = 0}}},
        // Position 1 starts at 14 + 8; channel 2 two bytes further on.
        {"track not stored", BuildModule(With(Counted(), [](auto& s) { s.positions[1].track[2] = 9; })), AHX_OK,
         {{.kind = AHX_FINDING_TRACK_NOT_STORED, .section = AHX_SECTION_POSITIONS, .offset = 26, .position = 1,
           .channel = 2, .found = 9}}},
        // Track 1, row 2: 38 + 3 * (4 + 2).
        {"instrument not defined", BuildModule(With(Counted(), [](auto& s) { s.tracks[1].resize(4), s.tracks[1][2].instrument = 3; })),
         AHX_OK,
         {{.kind = AHX_FINDING_INSTRUMENT_NOT_DEFINED, .section = AHX_SECTION_TRACKS, .offset = 56, .track = 1,
           .row = 2, .found = 3}}},
        {"note 62", BuildModule(With(Counted(), [](auto& s) { s.tracks[1].resize(4), s.tracks[1][1].note = 62; })), AHX_OK,
         {{.kind = AHX_FINDING_NOTE_OUT_OF_RANGE, .section = AHX_SECTION_TRACKS, .offset = 53, .track = 1, .row = 1,
           .found = 62}}},
        // A jump aims at position 15 of 3: play goes on at the restart position, 0.
        {"jump beyond the positions", BuildModule(WithStep(Counted(), 2, 0, 3, jump15)), AHX_OK,
         {{.kind = AHX_FINDING_JUMP_BEYOND_END, .section = AHX_SECTION_TRACKS, .position = 2, .channel = 0,
           .track = 2, .row = 3, .found = 15, .used = 0}}},
        {"jump inside the song", BuildModule(WithStep(Counted(), 2, 0, 3, {.command1 = 0xB, .param1 = 0x01})), AHX_OK, {}},
        // The hundreds digit of command 0 goes with a later B in the same row: 1 * 100 + 2.
        {"jump with hundreds",
         BuildModule(WithStep(Counted(ModuleFormat::kHvl), 0, 1, 1,
                              {.command1 = 0x0, .param1 = 0x01, .command2 = 0xB, .param2 = 0x02})),
         AHX_OK,
         {{.kind = AHX_FINDING_JUMP_BEYOND_END, .section = AHX_SECTION_TRACKS, .position = 0, .channel = 1,
           .track = 2, .row = 1, .found = 102, .used = 0}}},
        // Tempo 0 at the first step of position 1: the song stops there and never repeats.
        {"tempo 0", BuildModule(WithStep(Counted(), 1, 0, 0, {.command1 = 0xF, .param1 = 0})), AHX_OK,
         {{.kind = AHX_FINDING_TEMPO_ZERO, .section = AHX_SECTION_TRACKS, .position = 1, .channel = 0, .track = 2,
           .row = 0},
          {.kind = AHX_FINDING_SONG_NEVER_REPEATS, .section = AHX_SECTION_SONG, .song = 0, .position = 1, .row = 0}}},
        // A later channel's tempo in the same row wins.
        {"tempo 0 overruled",
         BuildModule(WithStep(WithStep(Counted(), 1, 0, 0, {.command1 = 0xF, .param1 = 0}), 1, 1, 0,
                              {.command1 = 0xF, .param1 = 6})),
         AHX_OK, {}},
        // 3 positions of 64 rows at 255 ticks a row: 979 seconds before it comes back.
        {"longer than the cap",
         BuildModule(With(WithStep(Counted(), 0, 1, 0, {.command1 = 0xF, .param1 = 0xFF}),
                          [](auto& s) { s.trackLength = 64; })),
         AHX_OK, {{.kind = AHX_FINDING_SONG_NEVER_REPEATS, .section = AHX_SECTION_SONG, .song = 0}}},
        // The instrument's name starts after "counted\0", at 96, and the file ends inside it.
        {"name unterminated", BuildModule(With(Counted(), [](auto& s) { s.terminateLastName = false; })), AHX_OK,
         {{.kind = AHX_FINDING_NAME_UNTERMINATED, .section = AHX_SECTION_NAMES, .offset = 96, .instrument = 1}}},
        {"title too long", BuildModule(With(Counted(), [](auto& s) { s.name = std::string(130, 'a'); })), AHX_OK,
         {{.kind = AHX_FINDING_NAME_TOO_LONG, .section = AHX_SECTION_NAMES, .offset = 88, .instrument = 0,
           .found = 130, .used = 127}}},
        {"instrument name missing", BuildModule(With(Counted(), [](auto& s) { s.namedInstruments = 0; })), AHX_OK,
         {{.kind = AHX_FINDING_NAMES_MISSING, .section = AHX_SECTION_NAMES, .offset = 96, .instrument = 1}}},
        {"one trailing byte", BuildModule(With(Counted(), [](auto& s) { s.trailingBytes = {7}; })), AHX_OK,
         {{.kind = AHX_FINDING_TRAILING_BYTES, .section = AHX_SECTION_END, .offset = 101, .found = 1}}},
        // Cut inside the tracks, which start at 38.
        {"truncated", [] { auto b = BuildModule(Counted()); b.resize(50); return b; }(), AHX_ERROR_TRUNCATED,
         {{.kind = AHX_FINDING_REFUSED, .section = AHX_SECTION_TRACKS, .offset = 38,
           .refusal = AHX_ERROR_TRUNCATED}}},
        {"revision 3", BuildModule(With(Counted(), [](auto& s) { s.version = 3; })), AHX_ERROR_UNSUPPORTED_VERSION,
         {{.kind = AHX_FINDING_REFUSED, .section = AHX_SECTION_HEADER, .offset = 3,
           .refusal = AHX_ERROR_UNSUPPORTED_VERSION}}},
        {"1001 positions", BuildModule(With(Counted(), [](auto& s) { s.positions.resize(1001); })),
         AHX_ERROR_TOO_MANY_POSITIONS,
         {{.kind = AHX_FINDING_REFUSED, .section = AHX_SECTION_HEADER, .offset = 0, .found = 1001, .used = 1000,
           .refusal = AHX_ERROR_TOO_MANY_POSITIONS}}},
        {"not a module", {'M', 'O', 'D', 1}, AHX_ERROR_NOT_A_MODULE,
         {{.kind = AHX_FINDING_REFUSED, .section = AHX_SECTION_HEADER, .offset = 0,
           .refusal = AHX_ERROR_NOT_A_MODULE}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ahx_finding> got;
        EXPECT_EQ(ahx_check(c.bytes.data(), c.bytes.size(), Collect, &got), c.result);
        EXPECT_EQ(ahx_check(c.bytes.data(), c.bytes.size(), nullptr, nullptr), c.result);
        ASSERT_EQ(got.size(), c.findings.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(Fields(got[i]), Fields(c.findings[i])) << ahx_finding_text(got[i].kind);
        }
    }
}

// The song's length agrees: a song that stops is over where it stops; only the cap is not its own.
TEST(LibrarySong, SummaryAndLengthTellHowTheSongGoesOnAndTheChannelsItUses) {
    constexpr uint64_t T = 882;  // frames per tick at 44100 Hz
    const BuiltStep note{.note = 25, .instrument = 1};
    const BuiltStep stop{.command1 = 0xF, .param1 = 0};
    const struct { const char* what; ModuleDescription song; ahx_song_summary expected; } cases[] = {
        // Three positions of 24 ticks, back to position 0; only channel 0 plays notes.
        {"loops to the start", Counted(), {AHX_SONG_LOOPS, 72 * T, 0, 0, 0x1}},
        {"loops to the restart", With(Counted(), [](auto& s) { s.restartPosition = 1; }), {AHX_SONG_LOOPS, 72 * T, 1, 0, 0x1}},
        // A note on channel 3 at position 2, row 1.
        {"a second channel", WithStep(Counted(), 2, 3, 1, note), {AHX_SONG_LOOPS, 72 * T, 0, 0, 0x9}},
        // Stuck at position 1, row 2, after 24 + 2 * 6 ticks; position 2's channel 3 is never reached.
        {"stops", WithStep(WithStep(Counted(), 1, 0, 2, stop), 2, 3, 1, note), {AHX_SONG_STOPS, 36 * T, 1, 2, 0x1}},
        {"cut", With(WithStep(Counted(), 0, 1, 0, {.command1 = 0xF, .param1 = 0xFF}), [](auto& s) { s.trackLength = 64; }),
         {AHX_SONG_CUT, 600 * 44100, 0, 0, 0x1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const PlayerPtr player = OpenPlayer(BuildModule(c.song));
        ahx_song_summary got{};
        ASSERT_EQ(ahx_summarise_song(player.get(), 0, &got), AHX_OK);
        const auto summary = [](const ahx_song_summary& s) {
            return std::make_tuple(s.end, s.frames, s.position, s.row, s.channels_used);
        };
        EXPECT_EQ(summary(got), summary(c.expected));
        ahx_length length{};
        ASSERT_EQ(ahx_measure_song(player.get(), 0, 1, &length), AHX_OK);
        EXPECT_EQ(std::make_tuple(length.frames, length.ends, length.end),
                  std::make_tuple(c.expected.frames, int{c.expected.end != AHX_SONG_CUT}, c.expected.end));
        EXPECT_EQ(ahx_summarise_song(player.get(), 1, &got), AHX_ERROR_NO_SUCH_SONG);
    }
}

// Every cut of a module and a flip of every byte: the check agrees with ahx_open on whether it
// opens, reports a refusal exactly when it does not, and reads nothing outside the bytes given.
TEST(LibraryCheck, AgreesWithOpenOnDamagedModules) {
    for (const ModuleFormat format : {ModuleFormat::kAhx, ModuleFormat::kHvl}) {
        ModuleDescription song = BusySong(4);
        song.format = format;
        song.positions.resize(2);
        const std::vector<uint8_t> whole = BuildModule(song);
        std::vector<std::vector<uint8_t>> damaged;
        for (size_t size = 0; size <= whole.size(); size += 7) damaged.emplace_back(whole.begin(), whole.begin() + size);
        for (size_t at = 0; at < whole.size(); at += 5) {
            damaged.push_back(whole);
            damaged.back()[at] ^= 0xA5;
        }
        for (const std::vector<uint8_t>& bytes : damaged) {
            // A copy of exactly the size given, so that the sanitizers see any read past it.
            const std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size()]);
            std::copy(bytes.begin(), bytes.end(), exact.get());
            ahx_player* player = nullptr;
            const ahx_result opened = ahx_open(exact.get(), bytes.size(), nullptr, &player);
            ahx_close(player);
            std::vector<ahx_finding> findings;
            ASSERT_EQ(ahx_check(exact.get(), bytes.size(), Collect, &findings), opened) << bytes.size() << " bytes";
            const auto refusals = std::count_if(findings.begin(), findings.end(),
                                                [](const ahx_finding& f) { return f.kind == AHX_FINDING_REFUSED; });
            EXPECT_EQ(refusals, opened == AHX_OK ? 0 : 1);
        }
    }
}

}  // namespace
