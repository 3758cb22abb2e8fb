// libahx's public API as any caller may use it: the fuzzed bytes as a module (probed, checked and
// opened with any settings) and a fuzzed sequence of calls with any arguments, NULL pointers included.
// Every call must answer a documented result, leave the player as documented on failure, and keep
// the promises that can be checked from outside: frame counts, f32 equal to s16 / 32768, a seek
// landing where rendering through lands, the state a display reads within its ranges.
#include <algorithm>
#include <vector>

#include "ahx/ahx.h"
#include "fuzz/harness.h"
#include "tests/support/library_render.h"

namespace {

constexpr uint32_t kMaxCalls = 32;
constexpr uint32_t kMaxFramesPerCall = 8192;
constexpr uint32_t kMaxSeekSeconds = 30;  // a seek advances the replay tick by tick
constexpr uint32_t kMaxMeasures = 1;      // a measure runs up to ten minutes of ticks
constexpr uint32_t kCommonRatesHz[] = {0, 8000, 22050, 44100, 48000, 192000};

// A common rate and a stereo mode in range, or any numbers at all.
ahx_settings AnySettings(FuzzedDataProvider& input) {
    const bool common = input.ConsumeBool();
    return {common ? OneOf(input, kCommonRatesHz) : Any<uint32_t>(input),
            common ? In<int32_t>(input, 0, 4) : Any<int32_t>(input)};
}

ahx_state StateOf(const ahx_player* player) {
    ahx_state state;
    Require(ahx_get_state(player, &state) == AHX_OK, "a player has a state");
    const ahx_info& info = *ahx_get_info(player);
    Require(state.channels == info.channels, "the state has the module's channels");
    Require(state.song <= info.subsongs, "the state's song exists");
    Require(info.positions == 0 || state.position < info.positions, "the heard position exists");
    Require(state.row < 64 && (info.track_length == 0 || state.row < info.track_length), "the heard row exists");
    for (uint32_t v = 0; v < state.channels; ++v) {
        // Envelope volumes are played as stored, up to 255, so volumes and levels may pass 64 and 1.
        Require(state.voices[v].instrument <= info.instruments, "a voice plays an instrument that exists");
        Require(state.voices[v].level >= 0.0f && state.voices[v].level <= 255.0f / 64.0f, "levels are 0 to 255 / 64");
    }
    return state;
}

// Calls on an open player, until the calls or the input run out.
void Play(FuzzedDataProvider& input, ahx_player* player) {
    const ahx_info info = *ahx_get_info(player);
    Require(info.channels >= 4 && info.channels <= 16, "4 to 16 channels");
    Require(info.speed_multiplier >= 1 && info.speed_multiplier <= 4, "speed multiplier 1 to 4");
    Require(info.stereo_mode <= 4 && info.title != nullptr, "info within its ranges");
    uint32_t measures = 0;
    for (uint32_t call = 0; call < kMaxCalls && input.remaining_bytes() > 0; ++call) {
        const ahx_state before = StateOf(player);
        switch (In(input, 0, 11)) {
            case 0: case 1: {  // s16, then from a seek back into it (to where it started, or further on) f32
                const uint64_t ahead = In(input, 0u, kMaxFramesPerCall);
                const uint32_t frames = In(input, 1u, 2048u);
                std::vector<int16_t> through(2 * (ahead + frames));
                Require(ahx_render_s16(player, through.data(), ahead + frames) == AHX_OK, "s16 renders");
                Require(StateOf(player).frame == before.frame + ahead + frames, "a render moves on by its frames");
                Require(ahx_seek(player, before.frame + ahead) == AHX_OK, "a seek back succeeds");
                std::vector<float> f32(2 * size_t{frames});
                Require(ahx_render_f32(player, f32.data(), frames) == AHX_OK, "f32 renders");
                for (size_t i = 0; i < f32.size(); ++i) {
                    Require(f32[i] == static_cast<float>(through[2 * ahead + i]) / 32768.0f,
                            "a seek lands where rendering through lands, and f32 is s16 / 32768");
                }
                break;
            }
            case 2: {
                const uint64_t frame = In<uint64_t>(input, 0, uint64_t{info.sample_rate} * kMaxSeekSeconds);
                Require(ahx_seek(player, frame) == AHX_OK && StateOf(player).frame == frame, "a seek goes to its frame");
                break;
            }
            case 3: {
                const uint32_t song = MostlyIn(input, 0u, 4u);
                const ahx_result result = ahx_select_song(player, song);
                const ahx_state after = StateOf(player);
                Require(song <= info.subsongs ? result == AHX_OK && after.song == song && after.frame == 0
                                              : result == AHX_ERROR_NO_SUCH_SONG && after.frame == before.frame,
                        "an existing song starts from its beginning, a missing one changes nothing");
                break;
            }
            case 4: {
                const uint32_t frames = In(input, 0u, kMaxFramesPerCall / 4);
                std::vector<std::vector<int16_t>> stems(info.channels, std::vector<int16_t>(2 * size_t{frames}));
                std::vector<int16_t*> pointers;
                for (auto& stem : stems) pointers.push_back(stem.data());
                const bool dropOne = frames > 0 && In(input, 0, 7) == 0;
                if (dropOne) pointers[In<size_t>(input, 0, pointers.size() - 1)] = nullptr;
                const ahx_result result = ahx_render_stems_s16(player, pointers.data(), frames);
                Require(result == (dropOne ? AHX_ERROR_INVALID_ARGUMENT : AHX_OK), "stems need every channel's buffer");
                break;
            }
            case 5:
                Require(ahx_set_voice_mask(player, Any<uint32_t>(input)) == AHX_OK, "any mask is taken");
                Require((StateOf(player).voice_mask >> info.channels) == 0, "mask bits past the channels are ignored");
                break;
            case 6:
                Require(ahx_set_metering(player, Any<int>(input)) == AHX_OK, "metering switches");
                break;
            case 7: {
                if (measures++ == kMaxMeasures) break;  // see kMaxMeasures
                const uint32_t song = In(input, 0u, info.subsongs + 1);
                const uint32_t loops = In(input, 0u, 2u);
                ahx_length length{};
                const ahx_result result = ahx_measure_song(player, song, loops, &length);
                const ahx_result expected =
                    loops == 0 ? AHX_ERROR_INVALID_ARGUMENT : song > info.subsongs ? AHX_ERROR_NO_SUCH_SONG : AHX_OK;
                Require(result == expected, "a measure answers as documented");
                if (result == AHX_OK) {
                    const uint64_t capFrames = uint64_t{AHX_LENGTH_CAP_SECONDS} * info.sample_rate;
                    Require(length.ends == (length.end == AHX_SONG_CUT ? 0 : 1), "ends is 1 unless the cap cut the song");
                    Require(length.frames <= capFrames + info.sample_rate / 50, "no length past the cap");
                }
                const ahx_state after = StateOf(player);
                Require(after.frame == before.frame && after.song == before.song, "a measure does not disturb playback");
                break;
            }
            case 8: {
                ahx_step step;
                const uint32_t track = In(input, 0u, 300u);
                const uint32_t row = In(input, 0u, 70u);
                const ahx_result result = ahx_get_step(player, track, row, &step);
                Require(result == ((track <= 255 && row < info.track_length) ? AHX_OK : AHX_ERROR_INVALID_ARGUMENT),
                        "steps of tracks 0 to 255 and rows below the track length");
                if (result == AHX_OK) Require(step.command1 <= 15 && step.command2 <= 15, "commands are 0 to 15");
                break;
            }
            case 9: {
                ahx_position position;
                const uint32_t index = In(input, 0u, info.positions + 1);
                Require(ahx_get_position(player, index, &position) == (index < info.positions ? AHX_OK : AHX_ERROR_INVALID_ARGUMENT),
                        "positions 0 to positions - 1");
                uint32_t start = 0;
                const uint32_t song = In(input, 0u, info.subsongs + 1);
                const ahx_result result = ahx_get_song_start(player, song, &start);
                Require(song <= info.subsongs ? result == AHX_OK && (info.positions == 0 || start < info.positions)
                                              : result != AHX_OK,
                        "every song starts at a position that exists");
                break;
            }
            case 10: {
                const uint32_t instrument = In(input, 0u, info.instruments + 1);
                const char* name = ahx_instrument_name(player, instrument);
                Require((name != nullptr) == (instrument >= 1 && instrument <= info.instruments), "names of 1 to instruments");
                break;
            }
            default:  // NULL pointers are refused, and change nothing
                Require(ahx_render_s16(player, nullptr, 1) == AHX_ERROR_INVALID_ARGUMENT, "NULL frames refused");
                Require(ahx_render_f32(player, nullptr, 1) == AHX_ERROR_INVALID_ARGUMENT, "NULL frames refused");
                Require(ahx_render_stems_s16(player, nullptr, 1) == AHX_ERROR_INVALID_ARGUMENT, "NULL stems refused");
                Require(ahx_render_s16(player, nullptr, 0) == AHX_OK, "no frames need no buffer");
                Require(ahx_get_state(player, nullptr) == AHX_ERROR_INVALID_ARGUMENT, "NULL state refused");
                Require(ahx_measure_song(player, 0, 1, nullptr) == AHX_ERROR_INVALID_ARGUMENT, "NULL length refused");
                Require(StateOf(player).frame == before.frame, "refused calls change nothing");
                break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const std::vector<uint8_t> module = TakeFile(input);

    ahx_probe_info probe{};
    const ahx_result probed = ahx_probe(module.data(), module.size(), &probe);
    Require(probed >= AHX_OK && probed <= AHX_ERROR_INVALID_ARGUMENT && probed != AHX_ERROR_OUT_OF_MEMORY,
            "a probe answers a documented result and allocates nothing");
    Require(ahx_result_text(static_cast<ahx_result>(Any<int>(input))) != nullptr, "every result has a text");

    const ahx_settings settings = AnySettings(input);
    const bool noSettings = In(input, 0, 7) == 0;
    ahx_player* opened = reinterpret_cast<ahx_player*>(1);  // must be overwritten either way
    const ahx_result result = ahx_open(module.data(), module.size(), noSettings ? nullptr : &settings, &opened);
    Require(result >= AHX_OK && result <= AHX_ERROR_INVALID_ARGUMENT, "open answers a documented result");
    Require((result == AHX_OK) == (opened != nullptr), "a player exactly on success");
    const bool rateValid = settings.sample_rate == 0 || (settings.sample_rate >= 8000 && settings.sample_rate <= 192000);
    const bool settingsValid = noSettings || (rateValid && settings.stereo_mode >= 0 && settings.stereo_mode <= 4);
    Require(settingsValid || result == AHX_ERROR_INVALID_ARGUMENT, "invalid settings are refused as such");
    Require(result != AHX_OK || probed == AHX_OK, "what opens also probes fine");
    // The check reads the same bytes with every finding reported, and agrees with an open. It plays
    // every song through, so modules with many songs are left to the open and the calls.
    if (opened == nullptr || ahx_get_info(opened)->subsongs < 4) {
        const ahx_result checked = ahx_check(module.data(), module.size(), nullptr, nullptr);
        Require(!settingsValid || checked == result, "the check agrees with open");
    }
    const PlayerPtr player(opened);
    if (player != nullptr) Play(input, player.get());
    return 0;
}
