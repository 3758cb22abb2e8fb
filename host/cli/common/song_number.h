#pragma once
// Songs as the tool's users number them: 1 is the main song, 2 on the subsongs, in --song, output
// names, tags, info and the players (the library counts the main song as 0).
#include <cstdint>
#include <string>

inline uint32_t SongNumber(uint32_t song) { return song + 1; }
// "song 2 of 3", of a module with subsongs subsongs.
inline std::string SongOfTotal(uint32_t song, uint32_t subsongs) {
    return "song " + std::to_string(SongNumber(song)) + " of " + std::to_string(subsongs + 1);
}
