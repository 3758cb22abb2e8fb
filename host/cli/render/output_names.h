#pragma once
// What each input's outputs are called, before song, channel and extension: the input's own name
// (module_names.h) below the folders it was found in, unique within one run.
#include <filesystem>
#include <string>
#include <vector>

#include "common/module_inputs.h"

// In the order given, a name already taken gets "-2", then "-3" and so on: music1.hvl and
// music1.ahx become music1 and music1-2.
std::vector<std::string> OutputBases(const std::vector<ModuleInput>& inputs);
// Creates the folders below folder that bases name; false, with the reason in why, when it cannot.
bool CreateOutputFolders(const std::filesystem::path& folder, const std::vector<std::string>& bases, std::string& why);
