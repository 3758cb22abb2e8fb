// What the library tells about a module and about playback, against the built module's description
// and against timings worked out by hand.
#include "library_support.h"

namespace {

auto Fields(const ahx_info& i) {
    return std::make_tuple(i.format, i.version, i.channels, i.positions, i.restart, i.track_length, i.tracks,
                           i.instruments, i.subsongs, i.speed_multiplier, i.ticks_per_second, i.stereo_mode,
                           i.mix_gain, i.sample_rate);
}

// Two subsongs, named instruments, and tracks whose steps carry both commands.
ModuleDescription DescribedSong() {
    ModuleDescription song;
    song.name = "Described";
    song.speedMultiplier = 2;
    song.channelCount = 6;
    song.stereoMode = 4;
    song.mixGainPercent = 150;
    song.trackLength = 4;
    song.restartPosition = 2;
    song.subsongs = {1, 2};
    song.tracks = {{}, {BuiltStep{25, 1, 0xC, 0x20, 0x4, 0x41}, BuiltStep{}, BuiltStep{37, 2}}, {},
                   {BuiltStep{}, BuiltStep{}, BuiltStep{}, BuiltStep{60, 2, 0x8, 3}}};
    song.positions.resize(3);
    for (uint32_t p = 0; p < 3; ++p) {
        for (uint32_t c = 0; c < 6; ++c) {
            song.positions[p].track[c] = static_cast<uint8_t>((p + c) % 4);
            song.positions[p].transpose[c] = static_cast<int8_t>(c == 1 ? -12 : int(p));
        }
    }
    for (const char* name : {"Lead", "Bass"}) {  // triangles held for the whole of these tests
        song.instruments.push_back({.name = name, .envelope = {.sustainFrames = 200}, .perfList = {{.waveform = 1}}});
    }
    return song;
}

// HVL modules carry stereo mode and gain; THX modules take them from the settings.
TEST(LibraryModule, InfoNamesAndSongStartsAreTheDescription) {
    const ModuleDescription song = DescribedSong();
    const PlayerPtr player = OpenPlayer(BuildModule(song), 22050, 3);
    const ahx_info& info = *ahx_get_info(player.get());
    EXPECT_STREQ(info.title, "Described");
    // Two ticks each fiftieth of a second; a gain of 150 % is 150 * 256 / 100.
    EXPECT_EQ(Fields(info),
              std::make_tuple(AHX_FORMAT_HVL, 1u, 6u, 3u, 2u, 4u, 4u, 2u, 2u, 2u, 100u, 4u, 384u, 22050u));
    // 85 % at stereo mode 3: 85 * 256 / 100.
    const PlayerPtr thx = OpenPlayer(BuildModule(With(AsAhx(song), [](auto& s) { s.channelCount = 4; })), 44100, 3);
    const ahx_info& thxInfo = *ahx_get_info(thx.get());
    EXPECT_EQ(std::tie(thxInfo.format, thxInfo.channels, thxInfo.stereo_mode, thxInfo.mix_gain),
              std::make_tuple(AHX_FORMAT_AHX, 4u, 3u, 217u));
    EXPECT_STREQ(ahx_instrument_name(player.get(), 1), "Lead");
    EXPECT_STREQ(ahx_instrument_name(player.get(), 2), "Bass");
    for (uint32_t s = 0; s < 3; ++s) {  // song s starts at position s
        uint32_t start = 99;
        EXPECT_TRUE(ahx_get_song_start(player.get(), s, &start) == AHX_OK && start == s) << "song " << s;
    }
}

TEST(LibraryModule, PatternDataIsTheDescription) {
    const ModuleDescription song = DescribedSong();
    const PlayerPtr player = OpenPlayer(BuildModule(song));
    for (const uint32_t t : {0u, 1u, 2u, 3u, 200u}) {  // track 200 is not stored: its steps are empty
        for (uint32_t r = 0; r < 4; ++r) {
            const BuiltStep want = t < song.tracks.size() && r < song.tracks[t].size() ? song.tracks[t][r] : BuiltStep{};
            ahx_step step{1, 1, 1, 1, 1, 1};
            ASSERT_EQ(ahx_get_step(player.get(), t, r, &step), AHX_OK);
            const auto fields = [](const auto& s) {
                return std::make_tuple(s.note, s.instrument, s.command1, s.param1, s.command2, s.param2);
            };
            EXPECT_EQ(fields(step), fields(want)) << t << "/" << r;
        }
    }
    for (uint32_t p = 0; p < 3; ++p) {
        ahx_position position{};
        ASSERT_EQ(ahx_get_position(player.get(), p, &position), AHX_OK);
        for (uint32_t c = 0; c < 6; ++c) {
            EXPECT_EQ(std::tie(position.track[c], position.transpose[c]),
                      std::tie(song.positions[p].track[c], song.positions[p].transpose[c])) << p << "/" << c;
        }
    }
}

// Lengths by hand. Tempo 6 throughout; a tick is rate / 50 / multiplier frames. A song of P
// positions of L steps plays P * L steps before it returns to its restart position r; a second pass
// plays (P - r) * L more.
TEST(LibraryModule, SongLengthsAreWorkedOutFromTheSteps) {
    const struct { const char* what; uint32_t sampleRate, song, loops; uint64_t frames; } cases[] = {
        // 3 * 4 steps * 6 ticks * (44100 / 50 / 2) = 72 * 441
        {"main song once", 44100, 0, 1, 72 * 441},
        // plus (3 - 2) * 4 * 6 = 24 ticks
        {"main song twice", 44100, 0, 2, 96 * 441},
        {"main song twice at 8000 Hz", 8000, 0, 2, 96 * 80},
        // Subsong 1 starts at position 1 and plays positions 1 and 2 (8 steps) before the restart
        // takes it back to position 2, which it has played.
        {"subsong 1 once", 44100, 1, 1, 48 * 441},
        // Subsong 2 starts at the restart position: 4 steps, then back to its own start.
        {"subsong 2 once", 44100, 2, 1, 24 * 441},
    };
    const ModuleDescription song = DescribedSong();
    for (const auto& c : cases) {
        const PlayerPtr player = OpenPlayer(BuildModule(song), c.sampleRate);
        ahx_length length{};
        ASSERT_EQ(ahx_measure_song(player.get(), c.song, c.loops, &length), AHX_OK) << c.what;
        EXPECT_EQ(length.frames, c.frames) << c.what;
        EXPECT_EQ(length.ends, 1) << c.what;
    }
    // Commands that change the course, on songs of four-step positions at 882 frames a tick.
    const ModuleDescription four = CountedSong(ModuleFormat::kHvl, 4);
    const struct { const char* what; ModuleDescription song; uint64_t ticks; } commands[] = {
        // B00 on the last step of position 2 goes back to position 0: position 3 never plays.
        {"jump back", WithCommand(four, 2, 3, 0xB, 0), 72},
        // D02 on position 0 lands on row 2 of position 1, whose B00 goes back to row 0 of position 0.
        {"break, then jump", WithCommand(WithCommand(four, 0, 0, 0xD, 2), 1, 2, 0xB, 0), 12},
    };
    for (const auto& c : commands) {
        const PlayerPtr player = OpenPlayer(BuildModule(c.song));
        ahx_length length{};
        ASSERT_EQ(ahx_measure_song(player.get(), 0, 1, &length), AHX_OK) << c.what;
        EXPECT_EQ(length.frames, c.ticks * 882) << c.what;
    }
}

// Measuring and summarising play the song on the side, also one stuck on tempo 0.
TEST(LibraryModule, MeasuringAndSummarisingLeavePlaybackAlone) {
    for (const bool stuck : {false, true}) {
        ModuleDescription song = DescribedSong();
        if (stuck) song.tracks[1][0] = BuiltStep{25, 1, 0xF, 0};  // tempo 0 on the first step: the song stands still
        const auto bytes = BuildModule(song);
        const PlayerPtr player = OpenPlayer(bytes);
        Render(player.get(), 5000);
        ahx_length length{};
        ahx_song_summary summary{};
        ASSERT_EQ(ahx_measure_song(player.get(), 0, 1, &length), AHX_OK);
        ASSERT_EQ(ahx_summarise_song(player.get(), 0, &summary), AHX_OK);
        EXPECT_TRUE(Render(player.get(), 5000) == Slice(EngineRender(bytes, 10000), 5000, 5000)) << "stuck " << stuck;
    }
}

// Where the song is, after whole ticks: 441 frames a tick at 44100 Hz and multiplier 2, six ticks a
// step; and what each voice plays.
TEST(LibraryModule, StateFollowsTheStepBeingHeardAndShowsEachVoice) {
    ModuleDescription song = DescribedSong();
    song.tracks[1][0].command1 = 0;  // plain note 25 with instrument 1, full volume
    song.tracks[1][0].command2 = 0;
    const PlayerPtr player = OpenPlayer(BuildModule(song));
    ahx_set_metering(player.get(), 1);
    ahx_state state{};
    const struct { uint64_t frames; uint32_t position, row, tick; } cases[] = {  // frames rendered from the start
        {1, 0, 0, 0},
        {6 * 441, 0, 0, 5},          // the last frame of row 0's sixth tick
        {6 * 441 + 1, 0, 1, 0},      // the first frame of row 1
        {4 * 6 * 441 + 1, 1, 0, 0},  // four rows in: position 1
        {13 * 6 * 441 + 1, 2, 1, 0},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(ahx_seek(player.get(), 0), AHX_OK);
        Render(player.get(), c.frames);
        ASSERT_EQ(ahx_get_state(player.get(), &state), AHX_OK);
        EXPECT_EQ(std::tie(state.frame, state.position, state.row, state.tick, state.tempo, state.channels),
                  std::make_tuple(c.frames, c.position, c.row, c.tick, 6u, 6u));
    }
    ASSERT_EQ(ahx_seek(player.get(), 0), AHX_OK);
    ahx_set_voice_mask(player.get(), ~(1u << 2));
    Render(player.get(), 3 * 441);
    ASSERT_EQ(ahx_get_state(player.get(), &state), AHX_OK);
    // Position 0: channel c plays track c % 4, so channel 1 plays track 1 (note 25, instrument 1)
    // and channel 2 track 2 (empty). Stereo mode 4 pans channels left, right, right, left.
    EXPECT_EQ(std::tie(state.voices[1].note, state.voices[1].instrument), std::make_tuple(25, 1));
    EXPECT_TRUE(state.voices[1].volume > 0 && state.voices[1].level > 0.0f && state.voices[1].level <= 1.0f);
    EXPECT_TRUE(state.voices[2].note == 0 && state.voices[2].level == 0.0f);
    const uint8_t pans[] = {0, 255, 255, 0, 0, 255};
    for (uint32_t c = 0; c < 6; ++c) EXPECT_EQ(state.voices[c].pan, pans[c]) << c;
    EXPECT_EQ(state.voice_mask, 0x3Fu & ~(1u << 2));

    // Muted, or with metering off, a channel shows no level.
    for (const auto& [mask, metering] : {std::pair{~(1u << 1), 1}, {0xFFFFu, 0}}) {
        ahx_set_voice_mask(player.get(), mask);
        ahx_set_metering(player.get(), metering);
        Render(player.get(), 441);
        ahx_get_state(player.get(), &state);
        EXPECT_EQ(state.voices[1].level, 0.0f) << "mask " << mask << ", metering " << metering;
    }
}

}  // namespace
