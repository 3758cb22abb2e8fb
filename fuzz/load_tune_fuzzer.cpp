// Feeds arbitrary bytes to the readers and plays whatever loads: nothing may crash, read out of
// bounds or hit undefined behaviour, whatever the file claims.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "loader/module_findings.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

namespace {
constexpr uint32_t kDecodesPerSong = 25;  // half a second
constexpr uint32_t kMaxSongsPlayed = 3;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool built = (BuildWaveTables(), true);
    (void)built;
    if (size > 1u << 20) return 0;  // real modules are far smaller; keep iterations fast

    // The last byte picks the stereo mode and the output rate, so both vary with the input.
    const uint8_t selector = size ? data[size - 1] : 0;
    const int32_t stereoMode = selector % 5;
    const uint32_t mixFrequency = (selector & 0x80) ? 8000u : 44100u;

    // The check reads the same bytes with every finding reported, and walks the song's commands.
    const FindingSink ignore{[](void*, const ModuleFinding&) {}, nullptr};
    CheckModule(data, static_cast<uint32_t>(size), ignore);

    Tune* tune = LoadTune(data, static_cast<uint32_t>(size), stereoMode, mixFrequency);
    if (!tune) return 0;
    std::vector<int16_t> frames(2 * 882);
    for (uint32_t song = 0; song <= tune->subsongCount && song < kMaxSongsPlayed; ++song) {
        if (!StartSubsong(tune, song)) break;
        for (uint32_t i = 0; i < kDecodesPerSong; ++i) DecodeFrame(tune, frames.data(), frames.data() + 1, 4);
    }
    FreeTune(tune);
    return 0;
}
