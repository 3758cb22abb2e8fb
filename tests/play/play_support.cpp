#include "tests/play/play_support.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace {

constexpr size_t kChannels = 2;

// Runs argv with stdout and stderr into files (or /dev/null) and returns its process id.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
            const fs::path& out, const fs::path& err) {
    std::vector<std::string> environment(extraEnvironment);
    for (char** variable = environ; *variable != nullptr; ++variable) environment.emplace_back(*variable);
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : environment) envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return failed == 0 ? pid : -1;
}

void Stop(pid_t pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

bool SameFrame(const Frames& a, size_t i, const Frames& b, size_t j) {
    return a[i * kChannels] == b[j * kChannels] && a[i * kChannels + 1] == b[j * kChannels + 1];
}

bool Silent(const Frames& frames, size_t i) { return frames[i * kChannels] == 0 && frames[i * kChannels + 1] == 0; }

size_t FrameCount(const Frames& frames) { return frames.size() / kChannels; }

size_t LeadingSilence(const Frames& frames) {
    size_t i = 0;
    while (i < FrameCount(frames) && Silent(frames, i)) ++i;
    return i;
}

size_t TrailingSilence(const Frames& frames) {
    size_t i = 0;
    while (i < FrameCount(frames) && Silent(frames, FrameCount(frames) - 1 - i)) ++i;
    return i;
}

}  // namespace

Frames ToFrames(const Bytes& bytes) {
    Frames frames(bytes.size() / (kChannels * sizeof(int16_t)) * kChannels);
    if (!frames.empty()) std::memcpy(frames.data(), bytes.data(), frames.size() * sizeof(int16_t));
    return frames;
}

bool WaitUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

PulseServer::PulseServer(const fs::path& folder) : folder_(folder) {
    fs::create_directories(folder_ / "home");
    fs::create_directories(folder_ / "runtime");
    fs::permissions(folder_ / "runtime", fs::perms::owner_all);
    // norewinds: what the sink has taken is never asked for again, so the monitor hears each
    // frame once, exactly as written.
    std::ofstream(folder_ / "server.pa")
        << "load-module module-native-protocol-unix\n"
           "load-module module-null-sink sink_name=capture rate=44100 channels=2 format=s16le norewinds=1\n"
           "set-default-sink capture\n";
    const std::vector<std::string> environment = {"HOME=" + (folder_ / "home").string(),
                                                  "XDG_RUNTIME_DIR=" + (folder_ / "runtime").string()};
    // -n: none of the system's modules; --system=no: a user server, also when run as root.
    server_ = Spawn({"pulseaudio", "--daemonize=no", "--exit-idle-time=-1", "-n", "--system=no",
                     "--file=" + (folder_ / "server.pa").string(), "--log-target=stderr"},
                    environment, "/dev/null", folder_ / "server.log");
    const bool ready = server_ > 0 && WaitUntil([&] {
        int status = 0;
        if (::waitpid(server_, &status, WNOHANG) == server_) {
            server_ = -1;  // it gave up
            return true;
        }
        return Shell(ClientEnvironment() + " pactl info >/dev/null 2>&1", folder_).exitCode == 0;
    }, 10);
    if (!ready || server_ <= 0) {
        failure_ = "PulseAudio did not start: " + ReadText(folder_ / "server.log");
        Stop(server_);
        server_ = -1;
    }
}

PulseServer::~PulseServer() {
    StopRecording();
    Stop(server_);
}

std::string PulseServer::ClientEnvironment() const {
    return "HOME=" + Quoted((folder_ / "home").string()) + " XDG_RUNTIME_DIR=" + Quoted((folder_ / "runtime").string()) +
           " PULSE_SERVER=" + Quoted("unix:" + (folder_ / "runtime" / "pulse" / "native").string());
}

void PulseServer::StartRecording(const fs::path& file) {
    recorder_ = Spawn({"parec", "--server=unix:" + (folder_ / "runtime" / "pulse" / "native").string(),
                       "--device=capture.monitor", "--raw", "--format=s16le", "--rate=44100", "--channels=2"},
                      {"HOME=" + (folder_ / "home").string()}, file, folder_ / "parec.log");
}

void PulseServer::StopRecording() {
    Stop(recorder_);
    recorder_ = -1;
}

TmuxPane::TmuxPane(const fs::path& folder, const std::string& command, int columns, int lines) : folder_(folder) {
    const std::string start = Tmux() + " new-session -d -x " + std::to_string(columns) + " -y " + std::to_string(lines) +
                              " " + Quoted("cd " + Quoted(folder.string()) + " && " + command);
    if (Shell(start, folder).exitCode != 0) throw std::runtime_error("tmux did not start: " + start);
}

TmuxPane::~TmuxPane() { Shell(Tmux() + " kill-server", folder_); }

std::string TmuxPane::Tmux() const { return "tmux -f /dev/null -S " + Quoted((folder_ / "tmux.socket").string()); }

std::string TmuxPane::Screen(bool withColours) const {
    return Shell(Tmux() + " capture-pane -p" + (withColours ? " -e" : ""), folder_).out;
}

void TmuxPane::Keys(const std::string& key) const { Shell(Tmux() + " send-keys " + Quoted(key), folder_); }

void TmuxPane::Resize(int columns, int lines) const {
    Shell(Tmux() + " resize-window -x " + std::to_string(columns) + " -y " + std::to_string(lines), folder_);
}

std::vector<pid_t> TmuxPane::Children() const {
    const std::string shell = Shell(Tmux() + " display-message -p '#{pane_pid}'", folder_).out;
    const std::string parent = shell.substr(0, shell.find('\n'));
    // pgrep reads /proc itself and skips processes that end while it looks.
    std::istringstream ids(Shell("pgrep -P " + parent, folder_).out);
    std::vector<pid_t> children;
    for (pid_t id = 0; ids >> id;) children.push_back(id);
    return children;
}

CaptureComparison CompareCapture(const Frames& capture, const std::vector<Frames>& segments, Gaps gaps) {
    CaptureComparison result;
    const auto differ = [&](std::string difference) {
        result.difference = std::move(difference);
        return result;
    };
    size_t at = 0;           // frame of the capture
    size_t silenceOwed = 0;  // silence the previous segment ended with
    for (size_t s = 0; s < segments.size(); ++s) {
        const Frames& segment = segments[s];
        const size_t lead = LeadingSilence(segment);
        if (lead == FrameCount(segment)) continue;  // all silence: nothing to find
        const size_t trail = TrailingSilence(segment);
        size_t gap = 0;
        while (at < FrameCount(capture) && Silent(capture, at)) ++at, ++gap;
        const std::string where = "segment " + std::to_string(s) + ": ";
        if (at == FrameCount(capture)) return differ(where + "not in the capture");
        if (gap < lead + silenceOwed) return differ(where + "begins " + std::to_string(lead + silenceOwed - gap) + " frames early");
        if (gaps == Gaps::kNone && s > 0 && gap != lead + silenceOwed) {
            return differ(where + std::to_string(gap - lead - silenceOwed) + " frames of silence before it");
        }
        for (size_t i = lead; i < FrameCount(segment) - trail; ++i, ++at) {
            if (at == FrameCount(capture)) return differ(where + "the capture ends inside it");
            if (SameFrame(capture, at, segment, i)) continue;
            if (gaps == Gaps::kAnywhere && Silent(capture, at)) {
                // Silence the segment does not have: skip it and find the same frame after it.
                while (at < FrameCount(capture) && Silent(capture, at)) ++at;
                ++result.gaps;
                if (at < FrameCount(capture) && SameFrame(capture, at, segment, i)) continue;
            }
            return differ(where + "differs at its frame " + std::to_string(i) + " of " + std::to_string(FrameCount(segment)));
        }
        silenceOwed = trail;
    }
    for (size_t i = at; i < FrameCount(capture); ++i) {
        if (!Silent(capture, i)) return differ("sound after the last segment, " + std::to_string(i - at) + " frames after it");
    }
    return result;
}

std::string CompareChangingCapture(const Frames& capture, const std::vector<HeardPart>& parts, size_t minimumFrames) {
    const size_t captureStart = LeadingSilence(capture);
    const size_t songStart = LeadingSilence(*parts.at(0).render);
    if (captureStart == FrameCount(capture)) return "the capture is silent";
    if (captureStart < songStart) return "the capture begins before the song";
    const size_t offset = captureStart - songStart;  // capture frame of the song's frame 0
    const size_t end = FrameCount(capture) - TrailingSilence(capture);
    const auto heard = [&](size_t part, size_t played) {
        const size_t songFrame = played + parts[part].framesAhead;
        return songFrame < FrameCount(*parts[part].render) &&
               SameFrame(capture, offset + played, *parts[part].render, songFrame);
    };
    size_t part = 0, since = songStart;
    for (size_t played = songStart; offset + played < end; ++played) {
        if (heard(part, played)) continue;
        const std::string where = " at " + std::to_string(played) + " frames played";
        if (part + 1 == parts.size()) return "no part left for a change" + where;
        if (played - since < minimumFrames) return "part " + std::to_string(part) + " too short" + where;
        ++part;
        since = played;
        if (!heard(part, played)) return "part " + std::to_string(part) + " does not follow" + where;
    }
    if (part + 1 != parts.size()) return "only " + std::to_string(part + 1) + " parts were heard";
    if (end - offset - since < minimumFrames) return "the last part was heard too briefly";
    return "";
}
