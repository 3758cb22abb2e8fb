#pragma once
// A playlist playing through a SoundDevice: which song plays, which is queued after it, and what
// the keys do. Songs are loaded on the main thread and handed to the device's thread through the
// Deck, under its lock.
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/module_file.h"
#include "play/deck.h"
#include "play/play_options.h"
#include "play/play_view.h"
#include "play/sound_device.h"

// One song of one file, opened at the device's rate and placed at its start.
struct QueuedSong {
    size_t fileIndex = 0;
    std::shared_ptr<const ModuleFile> module;  // shared by the songs of one file
    uint32_t song = 0;
    PlayerPtr player;
    ahx_info info{};  // a copy, readable while the device's thread renders; its strings live with player
    uint64_t endFrame = 0;
    uint64_t passFrames = 0;
    bool endsByItself = true;  // false: the song does not come back to a played step within the cap
    float gain = 1;            // brings the song to the common loudness with --normalise
};

class PlaySession {
public:
    using Reporter = std::function<void(const std::string& message)>;

    // report: a file that cannot be played; notify: a key that cannot do what it asks.
    PlaySession(const PlayOptions& options, SoundDevice& device, Deck& deck, bool metering, Reporter report,
                Reporter notify);
    ~PlaySession();

    // Loads the first song that can be played and starts the device; false when none can.
    bool Begin();
    // Follows the device's thread to the queued song and queues the one after it.
    void Poll();
    bool Ended() const { return ended_; }
    bool AnyFailed() const { return !failedFiles_.empty(); }

    void TogglePause();
    void ToggleLoop();
    void SeekBySeconds(int64_t seconds);
    void NextFile();
    void PreviousFile();
    void ChangeSong(int step);
    // Channels from 1; a channel the module lacks is reported and ignored.
    void ToggleMute(uint32_t channel);
    void Solo(uint32_t channel);

    // rowsAround: steps shown above and below the playing row.
    PlayView Snapshot(uint32_t rowsAround) const;

private:
    size_t FileCount() const;
    std::unique_ptr<QueuedSong> Load(size_t fileIndex, std::shared_ptr<const ModuleFile> module, uint32_t song);
    // The first song that loads from file fileIndex on, or nothing past the last file.
    std::unique_ptr<QueuedSong> LoadFrom(size_t fileIndex);
    std::unique_ptr<QueuedSong> LoadAfter(const QueuedSong& song);
    // Makes song the one playing (nothing: the playlist has ended) and queues its successor.
    void Install(std::unique_ptr<QueuedSong> song);
    bool HasChannel(uint32_t channel);
    void ApplyAudible();

    const PlayOptions& options_;
    SoundDevice& device_;
    Deck& deck_;
    bool metering_;
    Reporter report_;
    Reporter notify_;
    std::unique_ptr<QueuedSong> current_;
    std::unique_ptr<QueuedSong> next_;
    uint64_t advancesSeen_ = 0;
    uint32_t audible_;
    std::set<size_t> failedFiles_;
    bool ended_ = false;
};
