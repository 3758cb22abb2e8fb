#include "play/sound_device.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "ahx/ahx.h"

namespace {

constexpr uint32_t kPreferredRate = AHX_DEFAULT_SAMPLE_RATE;
// Buffers that must pass after the last sound before it has left the server's queue as well; the
// servers SDL talks to keep about one buffer of their own.
constexpr uint64_t kDrainBuffers = 4;
constexpr auto kLongestDrain = std::chrono::seconds(1);

// The sound server asks for a buffer when the one before is about to run out, so a buffer's time is
// all the slack the device's thread has when other programs keep the processor busy.
uint32_t BufferFramesFor(uint32_t sampleRate, uint32_t bufferMilliseconds) {
    return std::max<uint32_t>(1, static_cast<uint32_t>(uint64_t{sampleRate} * bufferMilliseconds / 1000));
}

// Sound libraries that SDL tries in turn print their own complaints (ALSA's run to eight lines when
// there is no card); SDL's reason for the one that failed last says it in one. Stderr goes to
// /dev/null while this lives.
class QuietStderr {
public:
    QuietStderr() : saved_(::dup(STDERR_FILENO)) {
        const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) ::dup2(null, STDERR_FILENO);
        if (null >= 0) ::close(null);
    }
    ~QuietStderr() {
        if (saved_ < 0) return;  // nothing was redirected
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_;
};

extern "C" void SDLCALL FillDevice(void* deck, Uint8* bytes, int byteCount) {
    FillBuffer(*static_cast<Deck*>(deck), reinterpret_cast<int16_t*>(bytes),
               static_cast<size_t>(byteCount) / (kSamplesPerFrame * sizeof(int16_t)));
}

}  // namespace

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AHX_LEAK_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(AHX_LEAK_CHECKED)
// The sound libraries SDL loads keep a few allocations for the life of the process (PulseAudio's
// client library now and then when a stream ends); the leak checker of sanitized builds looks at
// our code, not theirs.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libpulse\nleak:libSDL2\nleak:libasound\nleak:libdbus\n";
}
// Without the table of suppressions used: stderr is for the tool's own messages.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0"; }
#endif

SoundDevice::SoundDevice(Deck& deck, const std::optional<std::string>& driver, uint32_t bufferMilliseconds)
    : deck_(deck) {
    // The command line's choice wins over SDL_AUDIODRIVER in the environment.
    if (driver) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver->c_str(), SDL_HINT_OVERRIDE);
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ahx");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, "ahx play");
    const QuietStderr quiet;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) throw NoSoundDevice(SDL_GetError());

    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(kPreferredRate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(kSamplesPerFrame);
    wanted.samples = static_cast<Uint16>(BufferFramesFor(kPreferredRate, bufferMilliseconds));
    wanted.callback = FillDevice;
    wanted.userdata = &deck_;
    SDL_AudioSpec obtained{};
    // Only the rate may differ: the library renders at any rate, and SDL converts nothing else.
    device_ = SDL_OpenAudioDevice(nullptr, 0, &wanted, &obtained, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
    if (device_ == 0) {
        const std::string reason = SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        throw NoSoundDevice(reason);
    }
    sampleRate_ = static_cast<uint32_t>(obtained.freq);
    bufferFrames_ = obtained.samples;
    if (sampleRate_ < AHX_LOWEST_SAMPLE_RATE || sampleRate_ > AHX_HIGHEST_SAMPLE_RATE) {
        SDL_CloseAudioDevice(device_);
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        throw NoSoundDevice("the device plays at " + std::to_string(sampleRate_) + " Hz, outside " +
                            std::to_string(AHX_LOWEST_SAMPLE_RATE) + " to " + std::to_string(AHX_HIGHEST_SAMPLE_RATE));
    }
}

SoundDevice::~SoundDevice() {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    SDL_Quit();
}

std::string SoundDevice::DriverName() const {
    const char* name = SDL_GetCurrentAudioDriver();
    return name != nullptr ? name : "";
}

void SoundDevice::Start() { SDL_PauseAudioDevice(device_, 0); }

void SoundDevice::Drain() {
    uint64_t target = 0;
    {
        const SoundLock lock(*this);
        target = deck_.buffersFilled + kDrainBuffers;
    }
    const auto bufferTime = std::chrono::microseconds(1000000ull * bufferFrames_ / sampleRate_);
    // Long buffers take longer to play out; the limit only guards against a device that stalls.
    const auto deadline = std::chrono::steady_clock::now() + std::max<std::chrono::microseconds>(
                                                                 kLongestDrain, bufferTime * (kDrainBuffers + 1));
    while (std::chrono::steady_clock::now() < deadline) {
        {
            const SoundLock lock(*this);
            if (deck_.buffersFilled >= target) return;
        }
        std::this_thread::sleep_for(bufferTime / 2);
    }
}
