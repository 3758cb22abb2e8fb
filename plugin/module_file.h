#pragma once
// Reads a module file whole through the host's file functions.
#include <cstdint>

constexpr uint32_t kMaxModuleFileBytes = 16u << 20;  // no module comes close

struct ModuleFile {
    uint8_t* bytes;  // malloc'd; the caller frees it
    uint32_t byteCount;
};

// Opens fileName (with the tag list {1, openTag, 0} when openTag is non-zero), checks the "THX" or
// "HVL" magic and copies the whole file. The file is closed before returning; on failure nothing
// stays allocated.
bool ReadModuleFile(const char* fileName, uint32_t openTag, ModuleFile* file);
