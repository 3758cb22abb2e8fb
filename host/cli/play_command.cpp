// `ahx play`: plays modules through the sound card, with a full-screen player on a terminal.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <optional>
#include <thread>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "help.h"
#include "play_loops.h"
#include "play_options.h"
#include "render.h"

namespace {

constexpr auto kStatusPollPeriod = std::chrono::milliseconds(50);
constexpr auto kStatusDrawPeriod = std::chrono::milliseconds(250);

}  // namespace

std::string FileCounter(const PlayView& view) {
    std::string text = "[";
    text += std::to_string(view.fileNumber);
    text += '/';
    text += std::to_string(view.fileCount);
    return text + ']';
}

std::string StatusText(const PlayView& view) {
    std::string text = FileCounter(view);
    text += ' ' + view.fileName + "  song " + std::to_string(view.song) + "  ";
    text += FormatDuration(view.frame, view.sampleRate) + " / " + FormatDuration(view.endFrame, view.sampleRate);
    if (view.paused) text += "  (paused)";
    return text;
}

PlayEnd RunStatusPlayer(PlaySession& session, bool showStatus) {
    auto drawn = std::chrono::steady_clock::time_point{};
    while (!session.Ended()) {
        if (InterruptRequested()) return PlayEnd::kInterrupted;
        session.Poll();
        if (showStatus && std::chrono::steady_clock::now() - drawn >= kStatusDrawPeriod) {
            drawn = std::chrono::steady_clock::now();
            std::fprintf(stderr, "\r\033[K%s", StatusText(session.Snapshot(0)).c_str());
            std::fflush(stderr);
        }
        std::this_thread::sleep_for(kStatusPollPeriod);
    }
    return PlayEnd::kPlaylistDone;
}

int RunPlay(const std::vector<std::string_view>& arguments) {
    PlayOptions options;
    try {
        options = ParsePlayOptions(arguments);
    } catch (const UsageError& error) {
        std::cerr << "ahx play: " << error.what() << " (see ahx play --help)\n";
        return kExitUsage;
    }
    if (options.help) {
        std::cout << kPlayHelp;
        return kExitSuccess;
    }

    Deck deck;
    std::optional<SoundOutput> output;
    try {
        output.emplace(deck, options.driver);
    } catch (const NoAudioOutput& error) {
        std::cerr << "ahx: no audio output: " << error.what()
                  << " (to listen without it: ahx render FILE -o - | aplay -f cd)\n";
        return kExitFileError;
    }

    TerminalScreen screen;
    const bool onScreen = !options.quiet && ::isatty(STDIN_FILENO) == 1 && ::isatty(STDOUT_FILENO) == 1 && screen.Open();
    const bool showStatus = !onScreen && !options.quiet && ::isatty(STDERR_FILENO) == 1;
    // On screen, messages show on its message line and are repeated on stderr once it is gone.
    std::vector<std::string> heldMessages;
    const auto report = [&](const std::string& message) {
        if (onScreen) {
            screen.ShowMessage(message);
            heldMessages.push_back(message);
            return;
        }
        if (showStatus) std::fprintf(stderr, "\r\033[K");
        std::fprintf(stderr, "ahx: %s\n", message.c_str());
    };

    PlayEnd end = PlayEnd::kPlaylistDone;
    bool anyFailed = false;
    {
        PlaySession session(options, *output, deck, onScreen, report,
                            [&](const std::string& notice) { screen.ShowMessage(notice); });
        if (session.Begin()) {
            end = onScreen ? RunTerminalPlayer(session, screen) : RunStatusPlayer(session, showStatus);
            if (end == PlayEnd::kPlaylistDone) output->Drain();
        }
        anyFailed = session.AnyFailed();
    }
    screen.Close();
    if (showStatus) std::fprintf(stderr, "\r\033[K");
    for (const std::string& message : heldMessages) std::fprintf(stderr, "ahx: %s\n", message.c_str());
    if (end == PlayEnd::kInterrupted) return kExitInterrupted;
    return anyFailed ? kExitFileError : kExitSuccess;
}
