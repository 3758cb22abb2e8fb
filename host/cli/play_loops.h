#pragma once
// The two ways `ahx play` runs until the playlist ends: the full-screen player with its keys, and
// a single status line (or nothing) when there is no terminal to draw on.
#include "play_session.h"
#include "terminal_screen.h"

enum class PlayEnd { kPlaylistDone, kQuit, kInterrupted };

PlayEnd RunTerminalPlayer(PlaySession& session, TerminalScreen& screen);
// showStatus: keep one line on stderr up to date (stderr is a terminal).
PlayEnd RunStatusPlayer(PlaySession& session, bool showStatus);

// "[1/3]": the file's place in the playlist.
std::string FileCounter(const PlayView& view);
// "[1/3] song.hvl  main song  0:12.34 / 1:02.00"
std::string StatusText(const PlayView& view);
