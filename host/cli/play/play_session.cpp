#include "play/play_session.h"

#include <cmath>

#include "common/arguments.h"
#include "common/loudness.h"
#include "common/song_plan.h"
#include "common/text_output.h"

namespace {

DeckSlot SlotOf(const std::unique_ptr<QueuedSong>& song) {
    if (!song) return DeckSlot{};
    ahx_state state{};
    ahx_get_state(song->player.get(), &state);
    return DeckSlot{song->player.get(), state.frame, song->endFrame, song->passFrames, song->gain};
}

std::string ChannelList(uint32_t channelCount) {
    return channelCount == 1 ? "1 channel" : std::to_string(channelCount) + " channels";
}

}  // namespace

PlaySession::PlaySession(const PlayOptions& options, SoundDevice& device, Deck& deck, bool metering, Reporter report,
                         Reporter notify)
    : options_(options), device_(device), deck_(deck), metering_(metering), report_(std::move(report)),
      notify_(std::move(notify)), audible_(AudibleChannels(options.songs)) {}

PlaySession::~PlaySession() {
    // The device's thread must let go of the players before they are freed.
    const SoundLock lock(device_);
    deck_.current = DeckSlot{};
    deck_.next = DeckSlot{};
}

size_t PlaySession::FileCount() const { return options_.files.empty() ? 1 : options_.files.size(); }

std::unique_ptr<QueuedSong> PlaySession::Load(size_t fileIndex, std::shared_ptr<const ModuleFile> module,
                                              uint32_t song) {
    try {
        if (!module) {
            module = std::make_shared<const ModuleFile>(options_.files.empty() ? BundledDemoSong()
                                                                                : ReadModuleFile(options_.files[fileIndex]));
        }
        auto queued = std::make_unique<QueuedSong>();
        queued->fileIndex = fileIndex;
        queued->module = module;
        queued->song = song;
        queued->player = OpenModule(*module, StereoModeOf(options_.songs), device_.SampleRate());
        ahx_player* player = queued->player.get();
        SelectSong(*module, player, song);
        queued->info = *ahx_get_info(player);
        const uint32_t channels = queued->info.channels;
        if (const uint32_t beyond = ChannelsBeyond(NamedChannels(options_.songs), channels)) {
            throw FileError(module->displayName + ": has " + ChannelList(channels) + ", so --mute and --solo cannot name channel " +
                            std::to_string(beyond));
        }
        const SongPlan plan = PlanSong(player, song, options_.songs, device_.SampleRate(), true);
        queued->endsByItself = plan.endsByItself;
        queued->endFrame = plan.endFrame;
        queued->passFrames = plan.passFrames;
        ahx_set_voice_mask(player, audible_);
        if (options_.normalise) {
            // Measured once through, as the channels sound now, at the reference ReplayGain uses.
            ahx_length once{};
            ahx_measure_song(player, song, 1, &once);
            ahx_seek(player, 0);
            const double lufs = MeasureFrames(player, device_.SampleRate(), once.frames, true).integratedLufs;
            if (std::isfinite(lufs)) queued->gain = static_cast<float>(std::pow(10.0, (kReplayGainReferenceLufs - lufs) / 20));
        }
        ahx_seek(player, plan.startFrame);
        ahx_set_metering(player, metering_ ? 1 : 0);
        return queued;
    } catch (const FileError& error) {
        report_(error.what());
        failedFiles_.insert(fileIndex);
        return nullptr;
    }
}

std::unique_ptr<QueuedSong> PlaySession::LoadFrom(size_t fileIndex) {
    for (size_t f = fileIndex; f < FileCount(); ++f) {
        if (failedFiles_.count(f) != 0) continue;  // reported already
        if (auto song = Load(f, nullptr, options_.songs.song.value_or(0))) return song;
    }
    return nullptr;
}

std::unique_ptr<QueuedSong> PlaySession::LoadAfter(const QueuedSong& song) {
    const uint32_t subsongs = song.info.subsongs;
    if (!options_.songs.song && song.song < subsongs) return Load(song.fileIndex, song.module, song.song + 1);
    return LoadFrom(song.fileIndex + 1);
}

void PlaySession::Install(std::unique_ptr<QueuedSong> song) {
    if (!song) {
        ended_ = true;
        return;
    }
    std::unique_ptr<QueuedSong> next = LoadAfter(*song);
    {
        const SoundLock lock(device_);
        deck_.current = SlotOf(song);
        deck_.next = SlotOf(next);
        deck_.finished = false;
        advancesSeen_ = deck_.advances;
    }
    // The players replaced here are no longer in the deck, so they may go.
    current_ = std::move(song);
    next_ = std::move(next);
}

bool PlaySession::Begin() {
    Install(LoadFrom(0));
    if (ended_) return false;
    device_.Start();
    return true;
}

void PlaySession::Poll() {
    bool advanced = false, finished = false;
    {
        const SoundLock lock(device_);
        advanced = deck_.advances != advancesSeen_;
        advancesSeen_ = deck_.advances;
        finished = deck_.finished;
    }
    if (advanced) {
        current_ = std::move(next_);
        std::unique_ptr<QueuedSong> next = LoadAfter(*current_);
        {
            const SoundLock lock(device_);
            deck_.next = SlotOf(next);
        }
        next_ = std::move(next);
    }
    // The thread ran out before the next song was queued (only songs shorter than a poll do that).
    if (finished) Install(std::move(next_));
}

void PlaySession::TogglePause() {
    const SoundLock lock(device_);
    deck_.paused = !deck_.paused;
}

void PlaySession::ToggleLoop() {
    const SoundLock lock(device_);
    deck_.looping = !deck_.looping;
}

void PlaySession::SeekBySeconds(int64_t seconds) {
    const SoundLock lock(device_);
    if (deck_.current.player == nullptr) return;  // between songs: nothing to move
    const int64_t delta = seconds * static_cast<int64_t>(device_.SampleRate());
    const uint64_t frame = deck_.current.frame;
    const uint64_t target = SeekTarget(
        deck_, deck_.current, delta < 0 && static_cast<uint64_t>(-delta) > frame ? 0 : frame + static_cast<uint64_t>(delta));
    // Under the lock: measuring the song left the player a snapshot every ten seconds, so a seek
    // skips ten seconds at most, well under a millisecond.
    ahx_seek(deck_.current.player, target);
    deck_.current.frame = target;
}

void PlaySession::NextFile() {
    // As on the last song: the one playing goes on, and quitting stays the user's choice.
    std::unique_ptr<QueuedSong> song = LoadFrom(current_->fileIndex + 1);
    if (!song) return notify_("this is the last file");
    Install(std::move(song));
}

void PlaySession::PreviousFile() {
    for (size_t f = current_->fileIndex; f-- > 0;) {
        if (failedFiles_.count(f) != 0) continue;
        if (auto song = Load(f, nullptr, options_.songs.song.value_or(0))) return Install(std::move(song));
    }
    // The first file: from its start again.
    Install(Load(current_->fileIndex, current_->module, options_.songs.song.value_or(0)));
}

void PlaySession::ChangeSong(int step) {
    const int64_t song = int64_t{current_->song} + step;
    const uint32_t subsongs = current_->info.subsongs;
    if (song < 0 || song > subsongs) {
        notify_(subsongs == 0 ? "this module has only its main song"
                              : "songs are 0 (the main song) to " + std::to_string(subsongs));
        return;
    }
    Install(Load(current_->fileIndex, current_->module, static_cast<uint32_t>(song)));
}

bool PlaySession::HasChannel(uint32_t channel) {
    const uint32_t channels = current_->info.channels;
    if (channel >= 1 && channel <= channels) return true;
    notify_("no channel " + std::to_string(channel) + ": this module has " + ChannelList(channels));
    return false;
}

void PlaySession::ApplyAudible() {
    const SoundLock lock(device_);
    ahx_set_voice_mask(current_->player.get(), audible_);
    if (next_) ahx_set_voice_mask(next_->player.get(), audible_);
}

void PlaySession::ToggleMute(uint32_t channel) {
    if (!HasChannel(channel)) return;
    audible_ ^= 1u << (channel - 1);
    ApplyAudible();
}

void PlaySession::Solo(uint32_t channel) {
    if (!HasChannel(channel)) return;
    const uint32_t only = 1u << (channel - 1);
    const uint32_t present = (1u << current_->info.channels) - 1;
    // Soloing the channel already alone brings the others back.
    audible_ = (audible_ & present) == only ? ~uint32_t{0} : only;
    ApplyAudible();
}

PlayView PlaySession::Snapshot(uint32_t rowsAround) const {
    PlayView view;
    const SoundLock lock(device_);
    // The device's thread may have moved on to the queued song since the last Poll.
    const bool movedOn = next_ && deck_.current.player == next_->player.get();
    const QueuedSong& song = movedOn ? *next_ : *current_;
    const ahx_info& info = song.info;
    view.fileName = Printable(song.module->displayName);
    view.fileNumber = song.fileIndex + 1;
    view.fileCount = FileCount();
    view.title = Printable(TitleText(info.title));
    view.format = DescribeFormat(*song.module);
    view.twoCommands = info.format == AHX_FORMAT_HVL;
    view.channels = info.channels;
    view.song = song.song;
    view.subsongs = info.subsongs;
    view.endsByItself = song.endsByItself;
    view.sampleRate = info.sample_rate;
    view.positions = info.positions;
    view.trackLength = info.track_length;
    view.speedHz = info.ticks_per_second;
    view.audible = audible_;
    view.paused = deck_.paused;
    view.looping = deck_.looping;
    view.frame = deck_.current.frame;
    view.endFrame = deck_.current.endFrame;
    ahx_state state{};
    ahx_get_state(song.player.get(), &state);
    view.position = state.position;
    view.row = state.row;
    view.tempo = state.tempo;
    // Paused, the last levels would stand still; the meters fall instead.
    for (uint32_t c = 0; c < info.channels && c < AHX_MAX_CHANNELS && !deck_.paused; ++c) {
        view.levels[c] = state.voices[c].level;
    }
    ahx_position position{};
    if (ahx_get_position(song.player.get(), state.position, &position) != AHX_OK) return view;  // no positions
    view.firstRow = state.row > rowsAround ? state.row - rowsAround : 0;
    for (uint32_t row = view.firstRow; row < info.track_length && row <= state.row + rowsAround; ++row) {
        std::array<ahx_step, AHX_MAX_CHANNELS>& steps = view.steps.emplace_back();
        for (uint32_t c = 0; c < info.channels && c < AHX_MAX_CHANNELS; ++c) {
            ahx_get_step(song.player.get(), position.track[c], row, &steps[c]);
        }
    }
    return view;
}
