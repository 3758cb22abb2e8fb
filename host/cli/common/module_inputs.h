#pragma once
// The files a command works on, from its arguments: files as given, "-" for standard input, and
// folders as every module under them.
#include <string>
#include <vector>

inline constexpr const char* kStandardInput = "-";

struct ModuleInput {
    std::string path;      // to read
    std::string relative;  // below the folder it was found in (or the file name alone), "/" between
};

// Folders become the modules under them (named as module_names.h says), in byte order of their
// paths so that every run takes them alike; a folder holding none stays, for its reader to refuse.
std::vector<ModuleInput> ExpandModuleInputs(const std::vector<std::string>& arguments);
// The paths alone.
std::vector<std::string> ExpandModulePaths(const std::vector<std::string>& arguments);
