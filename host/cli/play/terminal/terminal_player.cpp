// The keys of the full-screen player.
#include "play/terminal/terminal_player.h"

#include <curses.h>

#include <string>

#include "common/interrupt.h"

namespace {

// Keys are read this often when none comes, which is also how often the screen is drawn.
constexpr int kFrameMilliseconds = 40;
constexpr int64_t kShortSeekSeconds = 5;
constexpr int64_t kLongSeekSeconds = 30;
constexpr uint32_t kChannelForZero = 10;
// '+' before a digit names channels 11 to 16 (and 19, 20 a module cannot have).
constexpr uint32_t kTensKeyOffset = 10;

// A channel key that needs a second one: s for solo, + for the channels above 10.
struct PendingKeys {
    bool solo = false;
    bool tens = false;
};

std::string Prompt(const PendingKeys& pending) {
    if (pending.tens) return std::string(pending.solo ? "solo" : "mute") + " channel 11-16: which? 1-6";
    return pending.solo ? "solo: which channel? 1-9, 0 for 10, + and 1-6 for 11-16" : "";
}

// What a key asks for; false when it asks to quit.
bool HandleKey(int key, PlaySession& session, TerminalScreen& screen, PendingKeys& pending) {
    if (key == 'q' || key == 'Q') return false;
    if (screen.HelpShown()) {
        screen.ToggleHelp();  // any other key closes the help
        return true;
    }
    const bool digit = key >= '0' && key <= '9';
    if (key == '+') {
        pending.tens = true;
        screen.SetPrompt(Prompt(pending));
        return true;
    }
    if (pending.solo || pending.tens) {
        const PendingKeys was = pending;
        pending = PendingKeys{};
        screen.SetPrompt("");
        if (!digit) return true;  // anything else cancels
        const uint32_t channel = was.tens ? kTensKeyOffset + static_cast<uint32_t>(key == '0' ? 10 : key - '0')
                                          : key == '0' ? kChannelForZero : static_cast<uint32_t>(key - '0');
        if (was.solo) {
            session.Solo(channel);
        } else {
            session.ToggleMute(channel);
        }
        return true;
    }
    if (digit) {
        session.ToggleMute(key == '0' ? kChannelForZero : static_cast<uint32_t>(key - '0'));
        return true;
    }
    switch (key) {
        case ' ': session.TogglePause(); break;
        case KEY_LEFT: session.SeekBySeconds(-kShortSeekSeconds); break;
        case KEY_RIGHT: session.SeekBySeconds(kShortSeekSeconds); break;
        case KEY_DOWN: session.SeekBySeconds(-kLongSeekSeconds); break;
        case KEY_UP: session.SeekBySeconds(kLongSeekSeconds); break;
        case 'n': session.NextFile(); break;
        case 'p': session.PreviousFile(); break;
        case '>': case '.': session.ChangeSong(1); break;
        case '<': case ',': session.ChangeSong(-1); break;
        case 'l': session.ToggleLoop(); break;
        case 's':
            pending.solo = true;
            screen.SetPrompt(Prompt(pending));
            break;
        case '?': case 'h': screen.ToggleHelp(); break;
        default: break;  // KEY_RESIZE among them: the next drawing fits the new size
    }
    return true;
}

}  // namespace

PlayEnd RunTerminalPlayer(PlaySession& session, TerminalScreen& screen) {
    PendingKeys pending;
    while (!session.Ended()) {
        if (InterruptRequested()) return PlayEnd::kInterrupted;
        // Every key that is waiting is handled before the next drawing.
        for (int key = screen.ReadKey(kFrameMilliseconds); key != -1 && !session.Ended(); key = screen.ReadKey(0)) {
            if (!HandleKey(key, session, screen, pending)) return PlayEnd::kQuit;
        }
        session.Poll();
        screen.Draw(session.Snapshot(screen.RowsAround()));
    }
    return PlayEnd::kPlaylistDone;
}
