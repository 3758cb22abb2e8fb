#pragma once
// Module bytes from a file (or the bundled demo) and players opened on them, with errors a user can act on.
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ahx/ahx.h"

// Replay ticks per second for each step of a module's speed multiplier.
constexpr uint32_t kTicksPerSecondPerMultiplier = 50;

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
// Why the library refuses a module, with the numbers a user needs: "too many positions: 1001, at
// most 1000". header is what ahx_probe said.
std::string RefusalReason(const ahx_probe_info& header, ahx_result result);
ModuleFile BundledDemoSong();

// "HVL version 1" / "AHX revision 2", from the header.
std::string DescribeFormat(const ModuleFile& module);
bool IsAhx(const ModuleFile& module);
// A title or instrument name as UTF-8: names are 8-bit text of the old home-computer kind, read as
// Latin-1 so that any byte prints.
std::string TitleText(const char* name);

// Opens the module for output at sampleRate and selects song; throws FileError with the library's reason.
PlayerPtr OpenSong(const ModuleFile& module, uint32_t song, int32_t stereoMode, uint32_t sampleRate);
