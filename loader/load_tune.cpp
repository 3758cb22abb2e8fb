// Recognises the module format by its first four bytes and hands the file to its reader.
#include "loader/module_reading.h"

namespace {

constexpr uint8_t kHighestHvlVersion = 1;
constexpr uint8_t kHighestAhxRevision = 2;

bool HasMagic(const uint8_t* bytes, char a, char b, char c) {
    return bytes[0] == a && bytes[1] == b && bytes[2] == c;
}

}  // namespace

Tune* LoadTune(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency) {
    if (bytes == nullptr || byteCount < 4) return nullptr;  // no magic and version byte
    if (HasMagic(bytes, 'H', 'V', 'L') && bytes[3] <= kHighestHvlVersion) {
        return ReadHvlTune(bytes, byteCount, mixFrequency);
    }
    if (HasMagic(bytes, 'T', 'H', 'X') && bytes[3] <= kHighestAhxRevision) {
        return ReadAhxTune(bytes, byteCount, stereoMode, mixFrequency);
    }
    return nullptr;  // not a module, or a version this reader does not know
}
