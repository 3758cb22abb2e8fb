#pragma once
// How `ahx play` stopped playing its playlist.
enum class PlayEnd { kPlaylistDone, kQuit, kInterrupted };
