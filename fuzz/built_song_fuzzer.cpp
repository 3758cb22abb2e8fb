// Structure-aware replay: the input describes a valid module (any commands and parameters, any
// instrument shape, 4 to 16 channels, speed multipliers 1 to 4) that the builder writes, so that the
// fuzzer explores the replay instead of headers the readers refuse. The engine must render a song
// the same way again after a restart on the used tune (which must forget everything), and the
// library, from a fresh parse, the same samples in any request sizes and after seeking anywhere.
#include <algorithm>
#include <iterator>
#include <vector>

#include "ahx/ahx.h"
#include "builder/module_builder.h"
#include "fuzz/harness.h"
#include "tests/support/engine_render.h"
#include "tests/support/library_render.h"

namespace {

constexpr uint8_t kHighestCommand = 15;
// Common rates, so that most cases render their seconds cheaply at low ones; any other rate in the
// tool's range (the widest any host asks for) stays possible.
constexpr uint32_t kCommonRatesHz[] = {8000, 11025, 16000, 22050, 44100, 48000, 96000, 192000};
// Frames each render may produce (four seconds at 8000 Hz): mixing dominates an input's cost and is
// the same code at any rate, while the replay, where the commands act, ticks the same at any rate.
constexpr uint32_t kFrameBudget = 32000;

using Samples = std::vector<int16_t>;

BuiltStep DescribeStep(FuzzedDataProvider& input, ModuleFormat format, uint8_t instrumentCount) {
    BuiltStep step;
    if (input.ConsumeBool()) return step;  // many steps are empty in real songs
    step.note = In<uint8_t>(input, 0, 60);
    step.instrument = In<uint8_t>(input, 0, instrumentCount);
    step.command1 = In<uint8_t>(input, 0, kHighestCommand);
    step.param1 = Any<uint8_t>(input);
    if (format == ModuleFormat::kHvl) {
        step.command2 = In<uint8_t>(input, 0, kHighestCommand);
        step.param2 = Any<uint8_t>(input);
    }
    return step;
}

BuiltInstrument DescribeInstrument(FuzzedDataProvider& input) {
    BuiltInstrument in;
    using I = BuiltInstrument;
    for (uint8_t I::*field : {&I::volume, &I::filterLowerLimit, &I::filterUpperLimit, &I::filterSpeed, &I::squareLowerLimit,
                              &I::squareUpperLimit, &I::squareSpeed, &I::vibratoDelay, &I::vibratoSpeed, &I::vibratoDepth,
                              &I::hardCutRelease, &I::hardCutFrames, &I::perfSpeed}) {
        in.*field = Any<uint8_t>(input);
    }
    in.waveLength = In<uint8_t>(input, 0, 5);
    in.envelope = {Any<uint8_t>(input), Any<uint8_t>(input), Any<uint8_t>(input), Any<uint8_t>(input),
                   Any<uint8_t>(input), Any<uint8_t>(input), Any<uint8_t>(input)};
    in.perfList.resize(In<uint8_t>(input, 0, 24));
    for (BuiltPerfEntry& entry : in.perfList) {
        entry.note = In<uint8_t>(input, 0, 63);
        entry.waveform = In<uint8_t>(input, 0, 4);
        entry.fixed = input.ConsumeBool();
        for (int i = 0; i < 2; ++i) {
            entry.commands[i] = In<uint8_t>(input, 0, kHighestCommand);
            entry.params[i] = Any<uint8_t>(input);
        }
    }
    return in;
}

ModuleDescription DescribeSong(FuzzedDataProvider& input) {
    ModuleDescription d;
    d.format = input.ConsumeBool() ? ModuleFormat::kAhx : ModuleFormat::kHvl;
    d.version = In<uint8_t>(input, 0, 1);
    d.speedMultiplier = In<uint8_t>(input, 1, 4);
    // The file stores channels minus four, so four is the fewest either format can hold.
    d.channelCount = d.format == ModuleFormat::kHvl ? In<uint16_t>(input, 4, 16) : 4;
    d.trackLength = In<uint8_t>(input, 1, 64);
    d.mixGainPercent = Any<uint8_t>(input);
    d.stereoMode = In<uint8_t>(input, 0, 4);
    d.omitTrack0 = input.ConsumeBool();
    d.hvlLongEmptySteps = input.ConsumeBool();

    // Up to 8 instruments, 13 tracks, 12 positions and 5 songs.
    const uint8_t instrumentCount = In<uint8_t>(input, 0, 8);
    const uint8_t trackCount = In<uint8_t>(input, 0, 12);
    d.positions.resize(In<uint8_t>(input, 1, 12));
    for (BuiltPosition& position : d.positions) {
        for (uint16_t c = 0; c < d.channelCount; ++c) {
            position.track[c] = In<uint8_t>(input, 0, trackCount);
            position.transpose[c] = Any<int8_t>(input);
        }
    }
    const uint16_t lastPosition = static_cast<uint16_t>(d.positions.size() - 1);
    d.restartPosition = In<uint16_t>(input, 0, lastPosition);
    d.subsongs.resize(In<uint8_t>(input, 0, 4));
    for (uint16_t& start : d.subsongs) start = In<uint16_t>(input, 0, lastPosition);
    d.tracks.resize(size_t{trackCount} + 1);
    for (std::vector<BuiltStep>& track : d.tracks) {
        track.resize(In<uint8_t>(input, 0, d.trackLength));
        for (BuiltStep& step : track) step = DescribeStep(input, d.format, instrumentCount);
    }
    d.instruments.resize(instrumentCount);
    for (BuiltInstrument& instrument : d.instruments) instrument = DescribeInstrument(input);
    return d;
}

// The library's render, in requests cycling through the given sizes.
Samples RenderInPieces(ahx_player* player, size_t frames, const std::vector<uint32_t>& pieces) {
    Samples out(2 * frames);
    for (size_t done = 0, wanted = 0, request = 0; done < frames; done += wanted) {
        wanted = std::min<size_t>(pieces[request++ % pieces.size()], frames - done);
        Require(ahx_render_s16(player, out.data() + 2 * done, wanted) == AHX_OK, "a render succeeds");
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32_t stereoMode = In<int32_t>(input, 0, 4);
    const uint32_t rateChoice = In<uint32_t>(input, 0, std::size(kCommonRatesHz));
    const uint32_t rate =
        rateChoice < std::size(kCommonRatesHz) ? kCommonRatesHz[rateChoice] : In<uint32_t>(input, 8000, 192000);
    const uint8_t songChoice = Any<uint8_t>(input);  // taken modulo the song count
    const uint32_t decodes = In<uint32_t>(input, 150, 300);  // fiftieths of a second
    // The library's request sizes, cycled; it mixes a tick in pieces when they are smaller.
    std::vector<uint32_t> pieces(In<uint32_t>(input, 1, 6));
    for (uint32_t& frames : pieces) frames = In<uint32_t>(input, 1, 1000);
    const uint32_t seekFraction = In<uint32_t>(input, 0, 65535);  // in 1/65536 of the render
    const std::vector<uint8_t> module = BuildModule(DescribeSong(input));

    const TunePtr tune = LoadBytes(module, stereoMode, rate);
    Require(tune != nullptr, "the readers accept every module the builder writes");
    const uint32_t song = songChoice % (tune->subsongCount + 1u);
    const uint32_t framesPerDecode = FramesPerDecode(tune.get());
    const size_t frames = size_t{framesPerDecode} * std::min(decodes, kFrameBudget / framesPerDecode);
    Require(StartSubsong(tune.get(), song) == 1, "every counted song starts");
    const Samples whole = RenderTune(tune.get(), frames);
    Require(StartSubsong(tune.get(), song) == 1, "a song starts again");
    Require(RenderTune(tune.get(), frames) == whole, "a restarted song renders as it did the first time");

    const PlayerPtr player = OpenPlayer(module, rate, stereoMode);
    Require(player != nullptr && ahx_select_song(player.get(), song) == AHX_OK, "the library starts the song");
    Require(RenderInPieces(player.get(), frames, pieces) == whole,
            "the library, a tick mixed in pieces of the request sizes, renders the engine's whole ticks");
    for (uint32_t fraction : {seekFraction, seekFraction / 3}) {  // backwards, then on from there
        const size_t target = frames * fraction / 65536;
        Require(ahx_seek(player.get(), target) == AHX_OK, "a seek succeeds");
        const Samples rest(whole.begin() + 2 * static_cast<std::ptrdiff_t>(target), whole.end());
        Require(RenderInPieces(player.get(), frames - target, pieces) == rest,
                "after a seek the library renders what rendering through renders");
    }
    return 0;
}
