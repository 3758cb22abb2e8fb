#pragma once
// Module bytes from a file (or the bundled demo) and players opened on them, with errors a user can act on.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ahx/ahx.h"

// A failure tied to one input or output file; the message already names the file.
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct PlayerCloser {
    void operator()(ahx_player* player) const { ahx_close(player); }
};
using PlayerPtr = std::unique_ptr<ahx_player, PlayerCloser>;

struct ModuleFile {
    std::string path;         // as the user gave it; empty for the bundled demo
    std::string displayName;  // for messages: the path, or "(demo song)"
    std::string stem;         // file name without folder and extension, for output names
    std::vector<uint8_t> bytes;
    ahx_probe_info header{};
};

// Reads and checks the header; throws FileError (not found, not a module, unsupported version...).
ModuleFile ReadModuleFile(const std::string& path);
// Reads the bytes only, whatever they hold; throws FileError when the file cannot be read.
ModuleFile ReadModuleBytes(const std::string& path);
// Why the library refuses a module, in its words with its numbers; header is what ahx_probe said.
std::string RefusalReason(const ahx_probe_info& header, ahx_result result);
ModuleFile BundledDemoSong();

// "HVL version 1" / "AHX revision 2", from the header.
std::string DescribeFormat(const ModuleFile& module);
bool IsAhx(const ModuleFile& module);

// Opens the module for output at sampleRate; throws FileError with the library's reason.
PlayerPtr OpenModule(const ModuleFile& module, int32_t stereoMode, uint32_t sampleRate);
// Starts song from its beginning; throws FileError when the module has no such song.
void SelectSong(const ModuleFile& module, ahx_player* player, uint32_t song);
