#pragma once
// `ahx render`: songs into audio files or raw samples on standard output.
#include <string_view>
#include <vector>

// Returns the process exit code.
int RunRender(const std::vector<std::string_view>& arguments);
