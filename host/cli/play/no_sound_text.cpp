#include "play/no_sound_text.h"

#include <SDL.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string_view>

namespace {

namespace fs = std::filesystem;

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

bool Exists(const fs::path& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// Whether a client library would find a server: one named in the environment, or the socket
// it listens on in the user's runtime folder.
bool PulseServerPresent() {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    return !Environment("PULSE_SERVER").empty() || (!runtime.empty() && Exists(fs::path(runtime) / "pulse" / "native"));
}

bool PipeWireServerPresent() {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    const std::string remote = Environment("PIPEWIRE_REMOTE");
    return !runtime.empty() && Exists(fs::path(runtime) / (remote.empty() ? "pipewire-0" : remote));
}

// ALSA's playback devices are /dev/snd/pcmC<card>D<device>p.
bool AlsaPlaybackDevicePresent() {
    std::error_code error;
    for (fs::directory_iterator entry("/dev/snd", error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        if (name.starts_with("pcm") && name.ends_with("p")) return true;
    }
    return false;
}

bool OnPath(std::string_view program) {
    const std::string path = Environment("PATH");
    for (size_t start = 0; start <= path.size();) {
        const size_t end = std::min(path.find(':', start), path.size());
        const fs::path folder = path.substr(start, end - start);
        if (!folder.empty() && ::access((folder / program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// A word as the shell reads it back: quoted unless it is plainly safe.
std::string ShellWord(const std::string& word) {
    const bool plain = !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                               "0123456789._-/+,=:@%") == std::string::npos;
    if (plain) return word;
    std::string quoted = "'";
    for (const char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string Drivers() {
    std::string list;
    for (int i = 0; i < SDL_GetNumAudioDrivers(); ++i) list += (i == 0 ? "" : ", ") + std::string(SDL_GetAudioDriver(i));
    return list;
}

}  // namespace

std::string NoSoundText(const std::string& sdlReason, bool driverChosen, const std::vector<std::string>& files) {
    std::string cause = sdlReason;
    if (!driverChosen && !PulseServerPresent() && !PipeWireServerPresent() && !AlsaPlaybackDevicePresent()) {
        cause = "no PulseAudio or PipeWire server is running and there is no ALSA playback device";
    }
    const std::string render = "ahx render" + (files.empty() ? std::string() : " " + ShellWord(files.front()));
    const std::string listen = OnPath("aplay") ? render + " -o - | aplay -f cd"
                                               : render + " (writes a WAV file to play elsewhere)";
    return "no audio output: " + cause + " (--driver picks one of SDL's: " + Drivers() + "); to listen without it: " +
           listen;
}
