#include "fuzz/built_song_input.h"

#include <iterator>

namespace {

constexpr uint8_t kMaxTracksDescribed = 12;
constexpr uint8_t kMaxPositionsDescribed = 12;
constexpr uint8_t kMaxInstrumentsDescribed = 8;
constexpr uint8_t kMaxPerfEntriesDescribed = 24;
constexpr uint8_t kMaxSubsongsDescribed = 4;
constexpr uint8_t kHighestNote = 60;
constexpr uint8_t kHighestPerfNote = 63;
constexpr uint8_t kHighestCommand = 15;
constexpr uint8_t kHighestWaveLength = 5;
constexpr uint8_t kHighestWaveform = 4;
constexpr uint32_t kLowestRateHz = 8000;  // the tool's range, the widest any host asks for
constexpr uint32_t kHighestRateHz = 192000;
// Common rates, so that most cases render their seconds cheaply at low ones; any other rate in the
// range stays possible.
constexpr uint32_t kCommonRatesHz[] = {8000, 11025, 16000, 22050, 44100, 48000, 96000, 192000};
constexpr uint32_t kMinDecodes = 150;  // three seconds
constexpr uint32_t kMaxDecodes = 300;  // six
constexpr uint32_t kMaxPieces = 6;

template <typename T>
T Any(FuzzedDataProvider& input) {
    return input.ConsumeIntegral<T>();
}

uint8_t UpTo(FuzzedDataProvider& input, uint8_t highest) {
    return input.ConsumeIntegralInRange<uint8_t>(0, highest);
}

BuiltStep DescribeStep(FuzzedDataProvider& input, ModuleFormat format, uint8_t instrumentCount) {
    BuiltStep step;
    if (input.ConsumeBool()) return step;  // many steps are empty in real songs
    step.note = UpTo(input, kHighestNote);
    step.instrument = UpTo(input, instrumentCount);
    step.command1 = UpTo(input, kHighestCommand);
    step.param1 = Any<uint8_t>(input);
    if (format == ModuleFormat::kHvl) {
        step.command2 = UpTo(input, kHighestCommand);
        step.param2 = Any<uint8_t>(input);
    }
    return step;
}

BuiltPerfEntry DescribePerfEntry(FuzzedDataProvider& input) {
    BuiltPerfEntry entry;
    entry.note = UpTo(input, kHighestPerfNote);
    entry.waveform = UpTo(input, kHighestWaveform);
    entry.fixed = input.ConsumeBool();
    for (int i = 0; i < 2; ++i) {
        entry.commands[i] = UpTo(input, kHighestCommand);
        entry.params[i] = Any<uint8_t>(input);
    }
    return entry;
}

BuiltInstrument DescribeInstrument(FuzzedDataProvider& input) {
    BuiltInstrument in;
    in.volume = Any<uint8_t>(input);
    in.waveLength = UpTo(input, kHighestWaveLength);
    in.filterLowerLimit = Any<uint8_t>(input);
    in.filterUpperLimit = Any<uint8_t>(input);
    in.filterSpeed = Any<uint8_t>(input);
    in.squareLowerLimit = Any<uint8_t>(input);
    in.squareUpperLimit = Any<uint8_t>(input);
    in.squareSpeed = Any<uint8_t>(input);
    in.vibratoDelay = Any<uint8_t>(input);
    in.vibratoSpeed = Any<uint8_t>(input);
    in.vibratoDepth = Any<uint8_t>(input);
    in.hardCutRelease = Any<uint8_t>(input);
    in.hardCutFrames = Any<uint8_t>(input);
    BuiltEnvelope& e = in.envelope;
    e = {Any<uint8_t>(input), Any<uint8_t>(input), Any<uint8_t>(input), Any<uint8_t>(input),
         Any<uint8_t>(input), Any<uint8_t>(input), Any<uint8_t>(input)};
    in.perfSpeed = Any<uint8_t>(input);
    in.perfList.resize(UpTo(input, kMaxPerfEntriesDescribed));
    for (BuiltPerfEntry& entry : in.perfList) entry = DescribePerfEntry(input);
    return in;
}

}  // namespace

ModuleDescription DescribeSong(FuzzedDataProvider& input) {
    ModuleDescription d;
    d.format = input.ConsumeBool() ? ModuleFormat::kAhx : ModuleFormat::kHvl;
    d.version = UpTo(input, 1);
    d.speedMultiplier = input.ConsumeIntegralInRange<uint8_t>(1, 4);
    // The file stores channels minus four, so four is the fewest either format can hold.
    d.channelCount = d.format == ModuleFormat::kHvl ? input.ConsumeIntegralInRange<uint16_t>(4, 16) : 4;
    d.trackLength = input.ConsumeIntegralInRange<uint8_t>(1, 64);
    d.mixGainPercent = Any<uint8_t>(input);
    d.stereoMode = UpTo(input, 4);
    d.omitTrack0 = input.ConsumeBool();
    d.hvlLongEmptySteps = input.ConsumeBool();

    const uint8_t instrumentCount = UpTo(input, kMaxInstrumentsDescribed);
    const uint8_t trackCount = UpTo(input, kMaxTracksDescribed);
    d.positions.resize(input.ConsumeIntegralInRange<uint8_t>(1, kMaxPositionsDescribed));
    for (BuiltPosition& position : d.positions) {
        for (uint16_t c = 0; c < d.channelCount; ++c) {
            position.track[c] = UpTo(input, trackCount);
            position.transpose[c] = Any<int8_t>(input);
        }
    }
    d.restartPosition = input.ConsumeIntegralInRange<uint16_t>(0, static_cast<uint16_t>(d.positions.size() - 1));
    d.subsongs.resize(UpTo(input, kMaxSubsongsDescribed));
    for (uint16_t& start : d.subsongs) {
        start = input.ConsumeIntegralInRange<uint16_t>(0, static_cast<uint16_t>(d.positions.size() - 1));
    }
    d.tracks.resize(size_t{trackCount} + 1);
    for (std::vector<BuiltStep>& track : d.tracks) {
        track.resize(UpTo(input, d.trackLength));
        for (BuiltStep& step : track) step = DescribeStep(input, d.format, instrumentCount);
    }
    d.instruments.resize(instrumentCount);
    for (BuiltInstrument& instrument : d.instruments) instrument = DescribeInstrument(input);
    return d;
}

RenderPlan PlanRender(FuzzedDataProvider& input) {
    RenderPlan plan;
    plan.stereoMode = UpTo(input, 4);
    const uint32_t rateChoice = input.ConsumeIntegralInRange<uint32_t>(0, std::size(kCommonRatesHz));
    plan.mixFrequency = rateChoice < std::size(kCommonRatesHz)
                            ? kCommonRatesHz[rateChoice]
                            : input.ConsumeIntegralInRange<uint32_t>(kLowestRateHz, kHighestRateHz);
    plan.song = Any<uint8_t>(input);
    plan.decodes = input.ConsumeIntegralInRange<uint32_t>(kMinDecodes, kMaxDecodes);
    plan.pieceFrames.resize(input.ConsumeIntegralInRange<uint32_t>(1, kMaxPieces));
    for (uint32_t& frames : plan.pieceFrames) frames = input.ConsumeIntegralInRange<uint32_t>(1, 1000);
    plan.seekFraction = input.ConsumeIntegralInRange<uint32_t>(0, 65535);
    return plan;
}
