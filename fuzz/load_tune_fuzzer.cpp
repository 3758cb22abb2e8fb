// Feeds arbitrary bytes to the readers and the module check, and plays whatever loads: every song
// starts and renders a little, at an output rate and stereo mode the input picks. Nothing may
// crash, read out of bounds, leak or hit undefined behaviour, whatever the file claims.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "loader/module_findings.h"
#include "loader/module_findings.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

namespace {

constexpr uint32_t kLowestRateHz = 8000;  // the tool's range, the widest any host asks for
constexpr uint32_t kHighestRateHz = 192000;
constexpr uint32_t kSecondsPerSong = 2;
// All songs together render at most this many frames, so a file with 255 subsongs stays as quick
// as one with a single song (and a slow fiftieth shows up as a timeout).
constexpr uint32_t kFrameBudget = 6 * 44100;
constexpr uint32_t kMaxFileBytes = 1u << 20;  // real modules are far smaller; keep iterations fast

// The last three bytes choose the stereo mode and the rate. They stay part of the file: a reader
// ignores what lies past the sections a module declares.
struct RenderChoice {
    int32_t stereoMode;
    uint32_t mixFrequency;
};

RenderChoice ChooseRender(const uint8_t* data, size_t size) {
    if (size < 3) return {0, 44100};  // too short to be a module anyway
    const uint8_t* tail = data + size - 3;
    const uint32_t rateSpan = kHighestRateHz - kLowestRateHz + 1;
    return {static_cast<int32_t>(tail[0] % kStereoModeCount),
            kLowestRateHz + ((uint32_t{tail[1]} << 8 | tail[2]) * 3u) % rateSpan};
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    BuildWaveTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxFileBytes) return 0;  // see kMaxFileBytes
    const RenderChoice choice = ChooseRender(data, size);
    // The check reads the same bytes with every finding reported, and walks the song's commands.
    const FindingSink ignore{[](void*, const ModuleFinding&) {}, nullptr};
    CheckModule(data, static_cast<uint32_t>(size), ignore);
    Tune* tune = LoadTune(data, static_cast<uint32_t>(size), choice.stereoMode, choice.mixFrequency);
    if (tune == nullptr) return 0;  // refused: the readers' only duty here is not to crash

    const uint32_t songCount = tune->subsongCount + 1u;
    const uint32_t framesPerDecode = FramesPerDecode(tune);
    const uint32_t decodesPerSong = kSecondsPerSong * kDecodesPerSecond;
    const uint32_t budgetDecodes = kFrameBudget / framesPerDecode / songCount;
    const uint32_t decodes = budgetDecodes < decodesPerSong ? (budgetDecodes == 0 ? 1 : budgetDecodes) : decodesPerSong;
    std::vector<int16_t> frames(2 * size_t{framesPerDecode});
    for (uint32_t song = 0; song < songCount; ++song) {
        if (StartSubsong(tune, song) == 0) __builtin_trap();  // every counted song must start
        for (uint32_t i = 0; i < decodes; ++i) DecodeFrame(tune, frames.data(), frames.data() + 1, 4);
    }
    // One past the last song is refused and leaves the tune playable.
    if (StartSubsong(tune, songCount) != 0) __builtin_trap();
    DecodeFrame(tune, frames.data(), frames.data() + 1, 4);
    FreeTune(tune);
    return 0;
}
