#pragma once
// Tags added to a finished FLAC file, for values known only once every sample is written
// (libsndfile's tag interface takes only its own fixed kinds, and before the first sample).
#include <string>
#include <vector>

// Adds comments ("KEY=value") to the file's Vorbis comment block, making one when it has none.
// The file is rewritten beside itself and renamed over; throws FileError.
void AddFlacComments(const std::string& path, const std::vector<std::string>& comments);
