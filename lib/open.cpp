// Probing, opening and closing players.
#include <atomic>
#include <cstdlib>

#include "lib/keyframes.h"
#include "lib/player.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

static_assert(AHX_MAX_MODULE_BYTES == kMaxModuleBytes, "the public limit is the engine's");
static_assert(AHX_LENGTH_CAP_SECONDS > 0, "a cap of 0 would measure nothing");
static_assert(AHX_DEFAULT_SAMPLE_RATE == kStandardMixFrequency, "the public default is the engine's");
static_assert(AHX_MAX_CHANNELS == kMaxChannels, "the public channel limit is the engine's");
static_assert(AHX_HIGHEST_STEREO_MODE + 1 == kStereoModeCount, "the public stereo modes are the engine's");

namespace {

// Builds the process-wide tables exactly once, also when several threads open players at the same
// moment. An atomic flag rather than a function-local static: the library must not need the C++
// runtime's guard functions, so that C programs can link it statically.
void EnsureWaveTables() {
    static std::atomic<int> state{0};  // 0 not built, 1 being built, 2 built
    int expected = 0;
    if (state.compare_exchange_strong(expected, 1, std::memory_order_acquire)) {
        BuildWaveTables();
        state.store(2, std::memory_order_release);
        return;
    }
    while (state.load(std::memory_order_acquire) != 2) {
        // Another thread is building; it takes a few milliseconds.
    }
}

ahx_format FormatOf(ModuleFormat format) {
    switch (format) {
        case ModuleFormat::kAhx: return AHX_FORMAT_AHX;
        case ModuleFormat::kHvl: return AHX_FORMAT_HVL;
        case ModuleFormat::kUnknown: break;
    }
    return AHX_FORMAT_UNKNOWN;
}

bool SettingsValid(const ahx_settings& settings) {
    const bool rateValid = settings.sample_rate >= AHX_LOWEST_SAMPLE_RATE && settings.sample_rate <= AHX_HIGHEST_SAMPLE_RATE;
    return rateValid && settings.stereo_mode >= 0 && static_cast<uint32_t>(settings.stereo_mode) < kStereoModeCount;
}

void FillInfo(ahx_player* player, ModuleFormat format, uint8_t version) {
    const Tune& tune = *player->tune;
    ahx_info& info = player->info;
    info.format = FormatOf(format);
    info.version = version;
    info.title = tune.name;
    info.channels = tune.channelCount;
    info.positions = tune.positionCount;
    info.restart = tune.restartPosition;
    info.track_length = tune.trackLength;
    info.tracks = tune.trackCount + 1u;
    info.instruments = tune.instrumentCount;
    info.subsongs = tune.subsongCount;
    info.speed_multiplier = tune.speedMultiplier;
    info.stereo_mode = tune.stereoMode;
    info.mix_gain = tune.mixGain;
    info.sample_rate = tune.mixFrequency;
    info.ticks_per_second = kDecodesPerSecond * tune.speedMultiplier;
}

}  // namespace

ahx_result ResultOf(LoadStatus status) {
    switch (status) {
        case LoadStatus::kLoaded: return AHX_OK;
        case LoadStatus::kNotAModule: return AHX_ERROR_NOT_A_MODULE;
        case LoadStatus::kUnsupportedVersion: return AHX_ERROR_UNSUPPORTED_VERSION;
        case LoadStatus::kTruncated: return AHX_ERROR_TRUNCATED;
        case LoadStatus::kTooManyPositions: return AHX_ERROR_TOO_MANY_POSITIONS;
        case LoadStatus::kTrackTooLong: return AHX_ERROR_TRACK_TOO_LONG;
        case LoadStatus::kTooManyInstruments: return AHX_ERROR_TOO_MANY_INSTRUMENTS;
        case LoadStatus::kTooManyChannels: return AHX_ERROR_TOO_MANY_CHANNELS;
        case LoadStatus::kTooLarge: return AHX_ERROR_TOO_LARGE;
        case LoadStatus::kOutOfMemory: return AHX_ERROR_OUT_OF_MEMORY;
    }
    return AHX_ERROR_NOT_A_MODULE;
}

uint32_t ModuleByteCount(size_t size) {
    return size > kMaxModuleBytes ? kMaxModuleBytes + 1 : static_cast<uint32_t>(size);
}

ahx_result ahx_probe(const void* data, size_t size, ahx_probe_info* info) {
    if (data == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    const ModuleProbe probe = ProbeModule(static_cast<const uint8_t*>(data), ModuleByteCount(size));
    if (info != nullptr) *info = ahx_probe_info{FormatOf(probe.format), probe.version, probe.foundValue, probe.limitValue};
    return ResultOf(probe.status);
}

ahx_result ahx_open(const void* data, size_t size, const ahx_settings* settings, ahx_player** player) {
    if (player == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    *player = nullptr;
    if (data == nullptr) return AHX_ERROR_INVALID_ARGUMENT;
    ahx_settings wanted = settings != nullptr ? *settings : ahx_settings{};
    if (wanted.sample_rate == 0) wanted.sample_rate = kStandardMixFrequency;
    if (!SettingsValid(wanted)) return AHX_ERROR_INVALID_ARGUMENT;
    EnsureWaveTables();

    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    const uint32_t byteCount = ModuleByteCount(size);
    ModuleProbe probe{};
    Tune* tune = LoadTuneWithProbe(bytes, byteCount, wanted.stereo_mode, wanted.sample_rate, &probe);
    if (tune == nullptr) return ResultOf(probe.status);
    // Counted before anything else is allocated: the played-step flags of the length measure and
    // the keyframes for seeking.
    const size_t stepFlagBytes = size_t{tune->positionCount} * kMaxTrackLength;
    const size_t keyframeBytes = KeyframeBytes(tune->channelCount);
    uint8_t* playedSteps = static_cast<uint8_t*>(std::malloc(stepFlagBytes > 0 ? stepFlagBytes : 1));
    uint8_t* keyframes = static_cast<uint8_t*>(std::calloc(kKeyframeSlots, keyframeBytes));
    auto* opened = static_cast<ahx_player*>(std::calloc(1, sizeof(ahx_player)));
    if (playedSteps == nullptr || keyframes == nullptr || opened == nullptr) {
        FreeTune(tune);
        std::free(playedSteps);
        std::free(keyframes);
        std::free(opened);
        return AHX_ERROR_OUT_OF_MEMORY;
    }
    opened->tune = tune;
    opened->playedSteps = playedSteps;
    opened->keyframes = keyframes;
    opened->keyframeBytes = static_cast<uint32_t>(keyframeBytes);
    opened->recordingKeyframes = true;
    opened->audibleVoices = kAllVoices;
    opened->framesPerTick = FramesPerTick(tune);
    FillInfo(opened, probe.format, probe.version);
    RestartSong(opened, 0);
    *player = opened;
    return AHX_OK;
}

void ahx_close(ahx_player* player) {
    if (player == nullptr) return;
    FreeTune(player->tune);
    std::free(player->playedSteps);
    std::free(player->keyframes);
    std::free(player);
}
