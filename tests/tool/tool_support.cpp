#include "tool_support.h"

#include <fcntl.h>
#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "loader/tune.h"
#include "mixer/mixer.h"
#include "waves/wave_bank.h"

namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void EnsureWaveTables() {
    static const bool built = [] {
        BuildWaveTables();
        return true;
    }();
    (void)built;
}

}  // namespace

ToolRun RunTool(const std::vector<std::string>& args, const std::filesystem::path& workingFolder) {
    // Output goes to files, not pipes: a render to standard output can be megabytes.
    ScratchFolder capture;
    const std::string outPath = (capture / "stdout").string();
    const std::string errPath = (capture / "stderr").string();
    std::vector<std::string> argv{AHX_TOOL_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> pointers;
    for (std::string& a : argv) pointers.push_back(a.data());
    pointers.push_back(nullptr);

    const pid_t child = ::fork();
    if (child == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::chdir(workingFolder.c_str()) != 0) ::_exit(126);
        ::dup2(in, STDIN_FILENO);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(err, STDERR_FILENO);
        ::execv(pointers[0], pointers.data());
        ::_exit(127);
    }
    ToolRun run;
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = ReadText(outPath);
    run.err = ReadText(errPath);
    return run;
}

ScratchFolder::ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ahx-tool-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::vector<std::string> ScratchFolder::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

Audio ReadAudio(const std::filesystem::path& file) {
    SF_INFO info{};
    SNDFILE* sound = sf_open(file.c_str(), SFM_READ, &info);
    if (sound == nullptr) throw std::runtime_error("cannot read audio " + file.string());
    Audio audio;
    audio.sampleRate = info.samplerate;
    audio.channels = info.channels;
    audio.format = info.format & SF_FORMAT_TYPEMASK;
    audio.samples.resize(static_cast<size_t>(info.frames) * static_cast<size_t>(info.channels));
    sf_readf_short(sound, audio.samples.data(), info.frames);
    sf_close(sound);
    return audio;
}

std::vector<int16_t> SamplesFromRawBytes(const std::string& bytes) {
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<uint8_t>(bytes[2 * i]);
        const auto high = static_cast<uint8_t>(bytes[2 * i + 1]);
        samples[i] = static_cast<int16_t>(static_cast<uint16_t>(low | (high << 8)));
    }
    return samples;
}

std::vector<int16_t> EngineRender(const std::vector<uint8_t>& module, uint32_t song, int32_t stereoMode,
                                  uint32_t sampleRate, uint64_t frameCount) {
    EnsureWaveTables();
    Tune* tune = LoadTune(module.data(), static_cast<uint32_t>(module.size()), stereoMode, sampleRate);
    if (tune == nullptr || StartSubsong(tune, song) == 0) {
        FreeTune(tune);
        throw std::runtime_error("engine refused the module");
    }
    std::vector<int16_t> samples;
    std::vector<int16_t> chunk(size_t{FramesPerDecode(tune)} * 2);
    while (samples.size() < frameCount * 2) {
        DecodeFrame(tune, chunk.data(), chunk.data() + 1, 4);
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + FramesPerDecode(tune) * 2);
    }
    FreeTune(tune);
    samples.resize(frameCount * 2);
    return samples;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& file) {
    const std::string text = ReadText(file);
    return std::vector<uint8_t>(text.begin(), text.end());
}

void WriteBytes(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

ModuleDescription CountedSong(ModuleFormat format, uint16_t positionCount, uint8_t trackLength) {
    ModuleDescription song;
    song.format = format;
    song.name = "counted";
    song.trackLength = trackLength;
    song.channelCount = 4;
    BuiltInstrument tone;
    tone.name = "tone";
    tone.waveLength = 3;
    tone.envelope.sustainFrames = 255;
    BuiltPerfEntry triangle;
    triangle.waveform = 1;
    tone.perfList = {triangle};
    song.instruments = {tone};
    std::vector<BuiltStep> track(trackLength);
    track[0].note = 37;
    track[0].instrument = 1;
    song.tracks = {std::vector<BuiltStep>(trackLength), track};
    BuiltPosition position;
    position.track[0] = 1;
    song.positions.assign(positionCount, position);
    return song;
}
