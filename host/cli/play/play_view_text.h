#pragma once
// The lines a display of `ahx play` shares.
#include <string>

#include "play/play_view.h"

// "[1/3]": the file's place in the playlist.
std::string FileCounter(const PlayView& view);
// "[1/3] song.hvl  song 0  0:12.34 / 1:02.00"
std::string StatusText(const PlayView& view);
