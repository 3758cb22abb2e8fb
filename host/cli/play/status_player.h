#pragma once
// `ahx play` without the full-screen player: a single status line on stderr, or nothing.
#include "play/play_end.h"
#include "play/play_session.h"

// Runs until the playlist ends or a signal comes. showStatus: keep one line on stderr up to date
// (stderr is a terminal).
PlayEnd RunStatusPlayer(PlaySession& session, bool showStatus);
// Leaves the cursor at the start of an empty line where the status line was.
void ClearStatusLine();
