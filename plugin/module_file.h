#pragma once
// Reads a module file whole through the host's file functions.
#include <cstdint>

#include "loader/module_records.h"

struct ModuleFile {
    uint8_t* bytes;  // malloc'd; the caller frees it
    uint32_t byteCount;
};

// Opens fileName (with the tag list {1, openTag, 0} when openTag is non-zero), checks the "THX" or
// "HVL" magic and copies the whole file. The file is closed before returning; on failure nothing
// stays allocated.
bool ReadModuleFile(const char* fileName, uint32_t openTag, ModuleFile* file);
