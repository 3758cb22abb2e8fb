#pragma once
// How module files are named in collections: by extension (song.hvl) or by prefix (hvl.song,
// AHX.cool_tune, thx.Song), in any case.
#include <string>
#include <string_view>

// Whether a file name (no folder) names a module either way.
bool LooksLikeModuleName(std::string_view fileName);
// The song's own name for outputs: "cool_tune" for ahx.cool_tune and for cool_tune.ahx;
// otherwise the name without its extension. Never empty.
std::string ModuleStem(std::string_view fileName);
