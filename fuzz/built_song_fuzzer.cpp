// Structure-aware replay: the input describes a valid module (any commands and parameters, any
// instrument shape, 4 to 16 channels, speed multipliers 1 to 4) that the builder writes; the engine
// must load it and render it the same way three times over:
//   - whole: DecodeFrame, one fiftieth at a time;
//   - in pieces: each tick's frames mixed in input-chosen sizes, which must not change a sample;
//   - after a restart: the same song started again on the used tune, which must forget everything;
//   - through the library: in input-chosen request sizes, and after seeking anywhere in the song
//     (forwards, and backwards, which starts it again), the frames from there on.
// A parse of the same bytes into a fresh tune must also render identically (no state outside the tune).
#include <algorithm>
#include <vector>

#include "ahx/ahx.h"
#include "fuzz/built_song_input.h"
#include "fuzz/contract.h"
#include "loader/tune.h"
#include "mixer/mixer.h"
#include "replay/replay.h"
#include "tests/support/library_render.h"
#include "waves/wave_bank.h"

namespace {

// Frames each render may produce: the planned seconds at low rates (four at 8000 Hz), fewer at high
// ones. Mixing dominates the cost of an input, and it is the same code whatever the rate, while the
// replay, where the commands act, runs its ticks per second whatever the rate.
constexpr uint32_t kFrameBudget = 32000;
constexpr uint32_t kFrameBytes = 4;

using Samples = std::vector<int16_t>;

Samples RenderWhole(Tune* tune, uint32_t decodes) {
    const uint32_t framesPerDecode = FramesPerDecode(tune);
    Samples out(2 * size_t{framesPerDecode} * decodes);
    for (uint32_t i = 0; i < decodes; ++i) {
        int16_t* at = out.data() + 2 * size_t{framesPerDecode} * i;
        DecodeFrame(tune, at, at + 1, kFrameBytes);
    }
    return out;
}

// The same ticks as DecodeFrame, each tick's frames mixed in several calls.
Samples RenderInPieces(Tune* tune, uint32_t decodes, const std::vector<uint32_t>& pieceFrames) {
    const uint32_t ticks = tune->speedMultiplier;
    const uint32_t framesPerTick = FramesPerTick(tune);
    Samples out(2 * size_t{framesPerTick} * ticks * decodes);
    int16_t* at = out.data();
    size_t piece = 0;
    for (uint32_t tick = 0; tick < ticks * decodes; ++tick) {
        PlayTick(tune);
        for (uint32_t framesLeft = framesPerTick; framesLeft > 0;) {
            const uint32_t wanted = pieceFrames[piece++ % pieceFrames.size()];
            const uint32_t frames = wanted < framesLeft ? wanted : framesLeft;
            MixChunk(tune, frames, at, at + 1, kFrameBytes);
            at += 2 * size_t{frames};
            framesLeft -= frames;
        }
    }
    return out;
}

Samples RenderThroughLibrary(ahx_player* player, size_t frames, const std::vector<uint32_t>& requestFrames) {
    Samples out(2 * frames);
    size_t request = 0;
    for (size_t done = 0; done < frames;) {
        const size_t wanted = std::min<size_t>(requestFrames[request++ % requestFrames.size()], frames - done);
        Require(ahx_render_s16(player, out.data() + 2 * done, wanted) == AHX_OK, "a render succeeds");
        done += wanted;
    }
    return out;
}

// The library plays what the engine plays, in any request sizes, and a seek lands where rendering
// through would have arrived.
void CheckLibrary(const std::vector<uint8_t>& module, const RenderPlan& plan, uint32_t song, const Samples& whole) {
    const ahx_settings settings{plan.mixFrequency, plan.stereoMode};
    ahx_player* opened = nullptr;
    Require(ahx_open(module.data(), module.size(), &settings, &opened) == AHX_OK, "the library opens the module");
    PlayerPtr player(opened);
    Require(ahx_select_song(player.get(), song) == AHX_OK, "the library starts every counted song");
    const size_t frames = whole.size() / 2;
    Require(RenderThroughLibrary(player.get(), frames, plan.pieceFrames) == whole,
            "the library renders the engine's samples in any request sizes");
    for (uint32_t fraction : {plan.seekFraction, plan.seekFraction / 3}) {  // backwards, then on from there
        const size_t target = frames * fraction / 65536;
        Require(ahx_seek(player.get(), target) == AHX_OK, "a seek succeeds");
        const Samples rest(whole.begin() + 2 * static_cast<std::ptrdiff_t>(target), whole.end());
        Require(RenderThroughLibrary(player.get(), frames - target, plan.pieceFrames) == rest,
                "after a seek the library renders what rendering through renders");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    BuildWaveTables();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const RenderPlan plan = PlanRender(input);
    const std::vector<uint8_t> module = BuildModule(DescribeSong(input));
    const uint32_t moduleBytes = static_cast<uint32_t>(module.size());

    Tune* tune = LoadTune(module.data(), moduleBytes, plan.stereoMode, plan.mixFrequency);
    Require(tune != nullptr, "the readers accept every module the builder writes");
    const uint32_t song = plan.song % (tune->subsongCount + 1u);
    const uint32_t budgetDecodes = kFrameBudget / FramesPerDecode(tune);
    const uint32_t decodes = plan.decodes < budgetDecodes ? plan.decodes : budgetDecodes;

    Require(StartSubsong(tune, song) == 1, "every counted song starts");
    const Samples whole = RenderWhole(tune, decodes);
    Require(StartSubsong(tune, song) == 1, "a song starts again");
    Require(RenderWhole(tune, decodes) == whole, "a restarted song renders as it did the first time");
    FreeTune(tune);

    Tune* fresh = LoadTune(module.data(), moduleBytes, plan.stereoMode, plan.mixFrequency);
    Require(fresh != nullptr && StartSubsong(fresh, song) == 1, "the same bytes load again");
    Require(RenderInPieces(fresh, decodes, plan.pieceFrames) == whole,
            "mixing a tick in pieces gives the samples of mixing it whole");
    FreeTune(fresh);
    CheckLibrary(module, plan, song, whole);
    return 0;
}
