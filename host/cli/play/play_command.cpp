// `ahx play`: plays modules through the sound card, with a full-screen player on a terminal.
#include "play/play_command.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <vector>

#include "common/arguments.h"
#include "common/exit_codes.h"
#include "common/help.h"
#include "common/text_output.h"
#include "play/no_sound_text.h"
#include "play/play_options.h"
#include "play/play_session.h"
#include "play/sound_device.h"
#include "play/status_player.h"
#include "play/terminal/terminal_player.h"
#include "play/terminal/terminal_screen.h"

int RunPlay(const std::vector<std::string_view>& arguments) {
    PlayOptions options;
    try {
        options = ParsePlayOptions(arguments);
    } catch (const UsageError& error) {
        return ReportUsageError("play", error.what());
    }
    if (options.help) {
        std::cout << kPlayHelp;
        return kExitSuccess;
    }

    Deck deck;
    deck.separationPercent = options.songs.separationPercent;
    std::optional<SoundDevice> device;
    try {
        device.emplace(deck, options.driver, options.bufferMilliseconds);
    } catch (const NoSoundDevice& error) {
        const bool driverChosen = options.driver || std::getenv("SDL_AUDIODRIVER") != nullptr;
        std::cerr << "ahx: " << NoSoundText(error.what(), driverChosen, options.files) << '\n';
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
        ClearStatusLine();
        std::fprintf(stderr, "ahx: %s\n", message.c_str());
    };

    PlayEnd end = PlayEnd::kPlaylistDone;
    bool anyFailed = false;
    {
        PlaySession session(options, *device, deck, onScreen, report,
                            [&](const std::string& notice) { screen.ShowMessage(notice); });
        if (session.Begin()) {
            end = onScreen ? RunTerminalPlayer(session, screen) : RunStatusPlayer(session, showStatus);
            if (end == PlayEnd::kPlaylistDone) device->Drain();
        }
        anyFailed = session.AnyFailed();
    }
    screen.Close();
    ClearStatusLine();
    for (const std::string& message : heldMessages) std::fprintf(stderr, "ahx: %s\n", message.c_str());
    if (end == PlayEnd::kInterrupted) return kExitInterrupted;
    return anyFailed ? kExitFileError : kExitSuccess;
}
