// Hostile input: every truncation of a few built modules and every value of every byte
// must give null or a Tune inside the model's limits. Under the sanitizer build this is also a
// check that no reader touches memory outside the file or the block.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "tests/loader/loader_test_support.h"

namespace {

ModuleDescription RichModule(ModuleFormat format, uint8_t version, bool omitTrack0) {
    ModuleDescription d = SmallModule(format);
    d.version = version;
    d.omitTrack0 = omitTrack0;
    d.channelCount = format == ModuleFormat::Hvl ? 6 : 4;
    d.stereoMode = 3;
    d.positions.resize(5);
    d.positions[4].track[0] = 3;
    d.subsongs = {1, 4, 3};
    d.restartPosition = 2;
    d.tracks.resize(4);
    d.tracks[3] = {BuiltStep{60, 2, 4, 0x35, 0xE, 0xF1}, {}, BuiltStep{1, 1, 0xF, 3, 0, 0}};
    d.instruments[1].perfList.resize(3);
    d.instruments[1].perfList[2].waveform = 2;
    d.instruments[1].perfList[2].commands[1] = 4;
    d.instruments[1].perfList[2].params[1] = 0x5F;
    return d;
}

::testing::AssertionResult WithinModelLimits(const Tune* tune) {
    if (tune == nullptr) return ::testing::AssertionSuccess();
    const auto fail = [](const std::string& what) { return ::testing::AssertionFailure() << what; };
    if (tune->channelCount < 4 || tune->channelCount > 16) return fail("channelCount");
    if (tune->positionCount > 1000) return fail("positionCount");
    if (tune->trackLength > 64) return fail("trackLength");
    if (tune->instrumentCount > 64) return fail("instrumentCount");
    if (tune->stereoMode > 4) return fail("stereoMode");
    if (tune->speedMultiplier < 1 || tune->speedMultiplier > 4) return fail("speedMultiplier");
    if (tune->positionCount > 0) {
        if (tune->restartPosition >= tune->positionCount) return fail("restartPosition");
        for (uint32_t s = 0; s < tune->subsongCount; ++s) {
            if (tune->subsongList[s] >= tune->positionCount) return fail("subsong start");
        }
    }
    for (uint32_t i = 1; i <= tune->instrumentCount; ++i) {
        const Instrument& in = tune->instruments[i];
        if (in.waveLength > 5) return fail("waveLength");
        if (in.perfList.length < 0 || in.perfList.length > 255) return fail("perfList.length");
        for (int32_t e = 0; e < in.perfList.length; ++e) {
            if (in.perfList.entries[e].waveform > 4) return fail("perf waveform");
        }
        if (in.name[kNameBytes - 1] != 0) return fail("instrument name unterminated");
    }
    if (tune->name[kNameBytes - 1] != 0) return fail("song name unterminated");
    return ::testing::AssertionSuccess();
}

struct SweepCase {
    ModuleFormat format;
    uint8_t version;
    bool omitTrack0;
};

std::ostream& operator<<(std::ostream& out, const SweepCase& c) {
    return out << (c.format == ModuleFormat::Hvl ? "HVL" : "THX") << " version " << int{c.version}
               << (c.omitTrack0 ? " without track 0" : "");
}

class RobustnessTest : public ::testing::TestWithParam<SweepCase> {
protected:
    static void SetUpTestSuite() { EnsureWaveTables(); }
    static std::vector<uint8_t> Module() {
        return BuildModule(RichModule(GetParam().format, GetParam().version, GetParam().omitTrack0));
    }
};

INSTANTIATE_TEST_SUITE_P(BuiltModules, RobustnessTest,
                         ::testing::Values(SweepCase{ModuleFormat::Hvl, 1, false}, SweepCase{ModuleFormat::Hvl, 0, true},
                                           SweepCase{ModuleFormat::Ahx, 0, false},
                                           SweepCase{ModuleFormat::Ahx, 2, true}));

TEST_P(RobustnessTest, EveryPrefix) {
    const std::vector<uint8_t> bytes = Module();
    ASSERT_NE(LoadBytes(bytes), nullptr) << "the whole module loads";
    uint32_t loaded = 0;
    for (size_t length = 0; length < bytes.size(); ++length) {
        // A fresh copy of exactly this length, so that a read past its end is a sanitizer error.
        const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + static_cast<long>(length));
        TunePtr tune = LoadBytes(prefix);
        ASSERT_TRUE(WithinModelLimits(tune.get())) << "length " << length;
        loaded += tune != nullptr;
    }
    // Only cuts inside the name table may load.
    EXPECT_EQ(loaded, bytes.size() - NameTableOffset(bytes));
}

// Every byte, not only the header: section lengths hide in instrument headers and step bytes too.
TEST_P(RobustnessTest, EveryValueOfEveryByte) {
    const std::vector<uint8_t> bytes = Module();
    for (size_t offset = 0; offset < bytes.size(); ++offset) {
        for (uint32_t value = 0; value < 256; ++value) {
            std::vector<uint8_t> changed = bytes;
            changed[offset] = static_cast<uint8_t>(value);
            TunePtr tune = LoadBytes(changed);
            ASSERT_TRUE(WithinModelLimits(tune.get())) << "byte " << offset << " = " << value;
            if (tune != nullptr) {
                for (uint32_t song = 0; song <= tune->subsongCount; ++song) StartSubsong(tune.get(), song);
            }
        }
    }
}

}  // namespace
