#pragma once
// `ahx play`: modules through the sound card.
#include <string_view>
#include <vector>

// Returns the process exit code.
int RunPlay(const std::vector<std::string_view>& arguments);
