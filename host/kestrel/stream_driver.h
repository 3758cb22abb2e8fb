#pragma once
// Drives ahx.kpl's streams as Kestrel does, for tests and soak runs that need a running plug-in
// rather than its individual calls.
#include <cstdint>
#include <string>
#include <vector>

#include "host/kestrel/plugin_loader.h"

// Loads path, resets the stand-in host and starts the plug-in on a host of that version.
bool StartPlugin(const char* path, LoadedPlugin* plugin, int32_t hostVersion = 6, int32_t hostRevision = 0);
// Writes bytes to path, replacing the file. False when it could not be written whole.
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// A file name under TMPDIR (or /tmp) that no other process of this name and pid uses.
std::string TemporaryPath(const std::string& name);
// Pulls frames from stream in requests of requestFrames (the last one shorter) and returns the
// interleaved samples the destinations received.
std::vector<int16_t> PullFrames(const LoadedPlugin& plugin, void* stream, uint32_t frames, uint32_t requestFrames);
