#pragma once
// What the player's tests drive and compare: the tool in a shell, a private PulseAudio server with
// a recorder on its null sink, a tmux pane, and captured sound against renders.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/shell.h"

using Frames = std::vector<int16_t>;  // interleaved stereo, left first

inline Bytes ReadBytes(const fs::path& file) { return ReadFile<Bytes>(file); }
inline std::string ReadText(const fs::path& file) { return ReadFile(file); }
// Little-endian 16-bit samples, as SDL, parec and `ahx render -o -` write them on these machines.
Frames ToFrames(const Bytes& bytes);
// Polls until done() or about `seconds` have passed; returns done()'s last answer. A deadline for
// things that take real time, never a measure of speed.
bool WaitUntil(const std::function<bool()>& done, double seconds = 20);

// A PulseAudio server of our own (user mode, its own runtime folder) with one null sink at
// 44100 Hz, and parec recording the sink's monitor. Stopped and gone when the object goes.
class PulseServer {
public:
    explicit PulseServer(const fs::path& folder);
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    // Empty when the server runs; otherwise why it does not.
    const std::string& Failure() const { return failure_; }
    // Variables that send a client to this server, for a shell command line.
    std::string ClientEnvironment() const;
    void StartRecording(const fs::path& file);
    // Stops parec; what it recorded is in the file then.
    void StopRecording();

private:
    fs::path folder_;
    pid_t server_ = -1;
    pid_t recorder_ = -1;
    std::string failure_;
};

// A detached tmux session of one pane running `command` (through sh) in folder.
class TmuxPane {
public:
    TmuxPane(const fs::path& folder, const std::string& command, int columns, int lines);
    ~TmuxPane();
    TmuxPane(const TmuxPane&) = delete;
    TmuxPane& operator=(const TmuxPane&) = delete;

    // What the pane shows, one line per screen line; withColours keeps the escape sequences.
    std::string Screen(bool withColours = false) const;
    // One key by tmux's name for it: "Space", "Right", "C-c", "q" ...
    void Keys(const std::string& key) const;
    void Resize(int columns, int lines) const;
    // The process ids of the pane's shell's children.
    std::vector<pid_t> Children() const;

private:
    std::string Tmux() const;
    fs::path folder_;
};

// Where a capture may hold silence that its segments do not: a disk capture paced in real time
// has none; one taken as fast as it renders may wait between songs for the next to be queued; a
// sound server that misses a deadline (an underrun) fills in silence anywhere.
enum class Gaps { kNone, kBetweenSegments, kAnywhere };

struct CaptureComparison {
    std::string difference;  // empty: the capture is the segments, as the gaps allow
    size_t gaps = 0;         // stretches of silence found inside segments
};

// Whether capture holds the segments one after the other, each exactly, with nothing but
// silence before and after them and where `gaps` allows. Silence at a segment's edges cannot be
// told from a gap, so each edge only has to find at least that much silence.
CaptureComparison CompareCapture(const Frames& capture, const std::vector<Frames>& segments, Gaps gaps);

// One stretch of a capture whose sound changes on keys: the render it equals, and how far into
// the song it is beyond the time the capture has played (a seek moves it on).
struct HeardPart {
    const Frames* render;
    size_t framesAhead = 0;
};

// Walks such a capture: leading silence, then parts[0] from the song's start, and from some frame
// on parts[1], and so on. Empty when the capture is exactly that, every part heard for at least
// minimumFrames; else where it is not.
std::string CompareChangingCapture(const Frames& capture, const std::vector<HeardPart>& parts, size_t minimumFrames);
