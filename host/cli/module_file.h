#pragma once
// Module bytes from a file (or the bundled demo) and tunes loaded from them, with errors a user can act on.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "loader/tune.h"

// A failure tied to one input or output file; the message already names the file.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct TuneDeleter {
    void operator()(Tune* tune) const { FreeTune(tune); }
};
using TunePtr = std::unique_ptr<Tune, TuneDeleter>;

struct ModuleFile {
    std::string path;         // as the user gave it; empty for the bundled demo
    std::string displayName;  // for messages: the path, or "(demo song)"
    std::string stem;         // file name without folder and extension, for output names
    std::vector<uint8_t> bytes;
};

// Reads and checks the header; throws FileError (not found, not a module, unsupported version...).
ModuleFile ReadModuleFile(const std::string& path);
ModuleFile BundledDemoSong();

// "HVL version 1" / "AHX revision 2", from the header bytes.
std::string DescribeFormat(const ModuleFile& module);
bool IsAhx(const ModuleFile& module);

// Loads the module for output at mixFrequency and starts song; throws FileError.
TunePtr LoadSong(const ModuleFile& module, uint32_t song, int32_t stereoMode, uint32_t mixFrequency);
