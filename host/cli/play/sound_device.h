#pragma once
// The sound card through SDL: 16-bit stereo at the rate the device takes, so that the library
// renders at that rate and no sample is converted on the way. SDL's thread fills each buffer from
// a Deck; everyone else touches the Deck only inside a SoundLock.
#include <SDL.h>

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

#include "play/deck.h"

// SDL counts a buffer's frames in 16 bits: 65535 frames, over a second at the highest rate asked for.
inline constexpr uint32_t kLongestBufferMilliseconds = 1000;

// No device could be opened; what() is SDL's reason.
class NoSoundDevice : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class SoundDevice {
public:
    // Opens the device, paused, with driver (an SDL driver name) if given, asking for buffers of
    // bufferMilliseconds (at most kLongestBufferMilliseconds); throws NoSoundDevice.
    SoundDevice(Deck& deck, const std::optional<std::string>& driver, uint32_t bufferMilliseconds);
    ~SoundDevice();
    SoundDevice(const SoundDevice&) = delete;
    SoundDevice& operator=(const SoundDevice&) = delete;

    uint32_t SampleRate() const { return sampleRate_; }
    uint32_t BufferFrames() const { return bufferFrames_; }
    std::string DriverName() const;
    void Start();
    // Returns once the device has played everything up to the last buffer that held sound, or
    // after a second (or five buffers, when longer) at most.
    void Drain();

private:
    friend class SoundLock;
    Deck& deck_;
    SDL_AudioDeviceID device_ = 0;
    uint32_t sampleRate_ = 0;
    uint32_t bufferFrames_ = 0;
};

// Holds the device's lock: SDL's thread is not inside FillBuffer while it lives.
class SoundLock {
public:
    explicit SoundLock(const SoundDevice& sound) : device_(sound.device_) { SDL_LockAudioDevice(device_); }
    ~SoundLock() { SDL_UnlockAudioDevice(device_); }
    SoundLock(const SoundLock&) = delete;
    SoundLock& operator=(const SoundLock&) = delete;

private:
    SDL_AudioDeviceID device_;
};
