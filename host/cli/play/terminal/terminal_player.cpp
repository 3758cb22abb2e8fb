// The keys of the full-screen player.
#include "play/terminal/terminal_player.h"

#include <curses.h>

#include "common/interrupt.h"

namespace {

// Keys are read this often when none comes, which is also how often the screen is drawn.
constexpr int kFrameMilliseconds = 40;
constexpr int64_t kShortSeekSeconds = 5;
constexpr int64_t kLongSeekSeconds = 30;
constexpr uint32_t kChannelForZero = 10;

// What a key asks for; false when it asks to quit.
bool HandleKey(int key, PlaySession& session, TerminalScreen& screen, bool& soloPending) {
    if (key == 'q' || key == 'Q') return false;
    if (screen.HelpShown()) {
        screen.ToggleHelp();  // any other key closes the help
        return true;
    }
    const bool digit = key >= '0' && key <= '9';
    const uint32_t channel = key == '0' ? kChannelForZero : static_cast<uint32_t>(key - '0');
    if (soloPending) {
        soloPending = false;
        screen.SetSoloPending(false);
        if (digit) session.Solo(channel);
        return true;
    }
    if (digit) {
        session.ToggleMute(channel);
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
            soloPending = true;
            screen.SetSoloPending(true);
            break;
        case '?': case 'h': screen.ToggleHelp(); break;
        default: break;  // KEY_RESIZE among them: the next drawing fits the new size
    }
    return true;
}

}  // namespace

PlayEnd RunTerminalPlayer(PlaySession& session, TerminalScreen& screen) {
    bool soloPending = false;
    while (!session.Ended()) {
        if (InterruptRequested()) return PlayEnd::kInterrupted;
        // Every key that is waiting is handled before the next drawing.
        for (int key = screen.ReadKey(kFrameMilliseconds); key != -1 && !session.Ended(); key = screen.ReadKey(0)) {
            if (!HandleKey(key, session, screen, soloPending)) return PlayEnd::kQuit;
        }
        session.Poll();
        screen.Draw(session.Snapshot(screen.RowsAround()));
    }
    return PlayEnd::kPlaylistDone;
}
