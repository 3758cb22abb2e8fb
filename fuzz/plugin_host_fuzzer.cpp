// The plug-in as Kestrel sees it: the real ahx.kpl, loaded by the stand-in host, gets a fuzzed file
// and calls: opens with any subsong, tag and host version (with injected short reads and failed
// seeks), requests of any size, rewinds and seeks anywhere, the playing-time command with any double,
// closes. After every call counts stay within what was asked, the end flag and the length follow the
// playing time and no file is left open; libFuzzer's leak check sees anything the plug-in keeps.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "fuzz/harness.h"
#include "host/kestrel/plugin_loader.h"
#include "host/kestrel/stand_in_host.h"

namespace {

constexpr uint32_t kMaxFileBytes = 1u << 20;
constexpr uint32_t kMaxStreams = 4;
constexpr uint32_t kMaxCalls = 48;
constexpr uint32_t kMaxFramesWanted = 20000;  // the destination is allocated for real
constexpr uint32_t kFramesPerSecond = 44100;

LoadedPlugin plugin;
std::string modulePath;

// What the host expects of a stream, worked out from the calls it made.
struct OpenedStream {
    void* handle;
    uint32_t lengthFrames;
    uint32_t deliveredFrames;
};

// The length a playing time gives: whole seconds at 44100 Hz of the time clamped to 32-bit
// milliseconds, none under a second (or negative), saturated at the 32-bit count.
uint32_t LengthFrames(double milliseconds) {
    if (!(milliseconds >= 1000.0)) return 0;
    const int64_t seconds = static_cast<int64_t>(std::min(milliseconds, double{INT32_MAX})) / 1000;
    return static_cast<uint32_t>(std::min<int64_t>(seconds * kFramesPerSecond, UINT32_MAX));
}

double AnyTime(FuzzedDataProvider& input) {
    using Double = std::numeric_limits<double>;
    static const double kSpecial[] = {Double::quiet_NaN(), Double::infinity(), -Double::infinity(), -0.0, 999.0, 1000.0,
                                      2999.999, 2147483647.9, 2147483648.0, -2147483648.5, -2147483649.0, 97408000.0,
                                      1e300, -1e300, Double::denorm_min()};
    switch (In(input, 0, 2)) {
        case 0: return OneOf(input, kSpecial);
        case 1: return In(input, -2000, 10000);  // short streams end soon
        default: return input.ConsumeFloatingPoint<double>();
    }
}

uint32_t AnyFrameCount(FuzzedDataProvider& input) {
    switch (In(input, 0, 2)) {
        case 0: return In(input, 0u, 3u);
        case 1: return In(input, 876u, 886u);  // around one chunk
        default: return In(input, 0u, kMaxFramesWanted);
    }
}

// The playing-time command, which keeps the time it had for NaN.
void SetPlayingTime(double milliseconds, double& playingTimeMs) {
    Kestrel().numberArgument = milliseconds;
    Require(plugin.getCommands()[0].function(&Kestrel()) == 0, "the command answers 0");
    if (!std::isnan(milliseconds)) playingTimeMs = milliseconds;
}

void StartHost(FuzzedDataProvider& input) {
    // A describe-only start changes the host version the plug-in honours and keeps the host.
    PluginInfo info = HostPluginInfo(In(input, 4, 7), In(input, 0, 5));
    Require(plugin.initPlugin(&info, nullptr) == 1, "a describe-only start succeeds");
}

void Open(FuzzedDataProvider& input, double playingTimeMs, std::vector<OpenedStream>& streams) {
    KestrelHost& host = Kestrel();
    host.faults.shortReadAtCall = input.ConsumeBool() ? host.readCalls + In(input, 1u, 3u) : 0;
    host.faults.failSeekAtCall = input.ConsumeBool() ? host.seekCalls + In(input, 1u, 2u) : 0;
    const uint32_t callerFlags = Any<uint32_t>(input);
    StreamOpenInfo info = {.flags = callerFlags, .subsong = MostlyIn(input, 0, 5),
                           .openTag = input.ConsumeBool() ? Any<uint32_t>(input) : 0};
    const bool missingFile = In(input, 0, 15) == 0;
    void* handle = plugin.openStream(missingFile ? "/nonexistent/ahx-fuzz" : modulePath.c_str(), &info);
    host.faults = {0, 0};
    Require(host.openFiles == 0, "an open leaves no file open");
    if (handle == nullptr) return;  // refused: a failed open owes nothing but the closed file above
    Require(!missingFile, "a missing file does not open");
    Require(info.length == LengthFrames(playingTimeMs), "the length is the playing time in whole seconds");
    Require(info.channels == 2 && info.bits == 16 && info.frequency == 44100, "16-bit stereo at 44100 Hz");
    Require(info.flags == (callerFlags | 2u), "the flags gain bit value 2 and keep the rest");
    if (streams.size() < kMaxStreams) streams.push_back({handle, info.length, 0});
    else plugin.closeStream(handle);  // enough streams to interleave; this one proved the open
}

void Pull(FuzzedDataProvider& input, OpenedStream& stream) {
    const uint32_t wanted = AnyFrameCount(input);
    std::vector<uint8_t> destination(size_t{wanted} * 4);  // 16-bit stereo, exact: ASan sees any overrun
    SampleRequest request = {destination.data(), wanted, 0xDEADBEEF, -1};
    Require(plugin.streamSamples(stream.handle, &request) == 0, "StreamSamples answers 0");
    const uint32_t framesToEnd = stream.lengthFrames - stream.deliveredFrames;
    const uint32_t expected = std::min(wanted, framesToEnd);
    Require(request.framesWritten == expected, "frames written are those wanted, up to the end");
    Require(request.end == (wanted >= framesToEnd ? 1 : 0), "end is set exactly when the length is reached");
    stream.deliveredFrames += expected;
}

void Seek(FuzzedDataProvider& input, OpenedStream& stream) {
    const uint32_t position = input.ConsumeBool() ? 0 : Any<uint32_t>(input);
    plugin.seekStream(stream.handle, position);
    if (position == 0) stream.deliveredFrames = 0;  // other positions are ignored
    Require(Kestrel().openFiles == 0, "a rewind opens no file");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Require(LoadPlugin(AHX_PLUGIN_PATH, &plugin), "the plug-in at AHX_PLUGIN_PATH loads");
    ResetKestrel();
    PluginInfo info = HostPluginInfo(6, 0);
    Require(plugin.initPlugin(&info, &Kestrel().api) == 1, "the plug-in starts");
    const char* tmp = std::getenv("TMPDIR");
    modulePath = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/ahx-fuzz-" + std::to_string(getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > kMaxFileBytes) return 0;  // keep iterations fast
    FuzzedDataProvider input(data, size);
    const std::vector<uint8_t> file = TakeFile(input);
    std::FILE* out = std::fopen(modulePath.c_str(), "wb");
    Require(out != nullptr && std::fwrite(file.data(), 1, file.size(), out) == file.size() && std::fclose(out) == 0,
            "the fuzz input is written to a file");

    double playingTimeMs;
    SetPlayingTime(600000, playingTimeMs);  // the default: ten minutes
    StartHost(input);
    std::vector<OpenedStream> streams;
    for (uint32_t call = 0; call < kMaxCalls && input.remaining_bytes() > 0; ++call) {
        OpenedStream* stream = streams.empty() ? nullptr : &streams[In<size_t>(input, 0, streams.size() - 1)];
        switch (In(input, 0, 6)) {
            case 0: Open(input, playingTimeMs, streams); break;
            case 1: case 2: if (stream) Pull(input, *stream); break;
            case 3: if (stream) Seek(input, *stream); break;
            case 4: SetPlayingTime(AnyTime(input), playingTimeMs); break;
            case 5:
                if (stream) {
                    plugin.closeStream(stream->handle);
                    streams.erase(streams.begin() + (stream - streams.data()));
                }
                break;
            default: StartHost(input); break;
        }
    }
    StreamOpenInfo info = {};  // null arguments, with the streams still open
    Require(plugin.openStream(modulePath.c_str(), nullptr) == nullptr, "no open without a record");
    Require(plugin.openStream(nullptr, &info) == nullptr, "no open without a name");
    Require(plugin.streamSamples(nullptr, nullptr) == 0, "null handles are ignored");
    plugin.seekStream(nullptr, 0);
    plugin.closeStream(nullptr);
    for (const OpenedStream& stream : streams) plugin.closeStream(stream.handle);
    Require(Kestrel().openFiles == 0, "every file is closed");
    return 0;
}
