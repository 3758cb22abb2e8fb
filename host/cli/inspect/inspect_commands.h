#pragma once
// `ahx info` and `ahx check`: what modules hold, and what in them will not play as written.
#include <string_view>
#include <vector>

// Each returns the process exit code.
int RunInfo(const std::vector<std::string_view>& arguments);
int RunCheck(const std::vector<std::string_view>& arguments);
