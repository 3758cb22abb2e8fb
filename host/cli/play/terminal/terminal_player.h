#pragma once
// The full-screen player: keys in, the screen drawn, until the playlist ends or the user quits.
#include "play/play_end.h"
#include "play/play_session.h"
#include "play/terminal/terminal_screen.h"

PlayEnd RunTerminalPlayer(PlaySession& session, TerminalScreen& screen);
