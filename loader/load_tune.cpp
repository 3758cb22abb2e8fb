// Recognises the module format by its header and hands the file to the shared reader.
#include <cstring>

#include "loader/module_reading.h"

namespace {

constexpr uint32_t kMagicBytes = 3;

ModuleProbe Probe(LoadStatus status, ModuleFormat format, uint8_t version) {
    return ModuleProbe{status, format, version, 0, 0};
}

}  // namespace

const ModuleLayout& LayoutOf(ModuleFormat format) {
    return format == ModuleFormat::kHvl ? kHvlLayout : kAhxLayout;
}

ModuleProbe ProbeModule(const uint8_t* bytes, uint32_t byteCount) {
    if (bytes == nullptr || byteCount < kMagicBytes) return Probe(LoadStatus::kNotAModule, ModuleFormat::kUnknown, 0);
    ModuleFormat format = ModuleFormat::kUnknown;
    if (std::memcmp(bytes, "HVL", kMagicBytes) == 0) format = ModuleFormat::kHvl;
    if (std::memcmp(bytes, "THX", kMagicBytes) == 0) format = ModuleFormat::kAhx;
    if (format == ModuleFormat::kUnknown) return Probe(LoadStatus::kNotAModule, format, 0);
    if (byteCount > kMaxModuleBytes) return Probe(LoadStatus::kTooLarge, format, 0);
    if (byteCount == kMagicBytes) return Probe(LoadStatus::kTruncated, format, 0);  // no version byte

    const uint8_t version = bytes[kMagicBytes];
    const uint8_t highest = format == ModuleFormat::kHvl ? kHighestHvlVersion : kHighestAhxRevision;
    if (version > highest) return Probe(LoadStatus::kUnsupportedVersion, format, version);

    const ModuleLayout& layout = LayoutOf(format);
    ByteCursor cursor = CursorAt(bytes, byteCount, 0);
    const ModuleHeader header = layout.decodeHeader(&cursor, 0);
    ModuleProbe probe = CheckHeaderLimits(header);
    probe.format = format;
    if (probe.status == LoadStatus::kLoaded && cursor.ranOut) probe.status = LoadStatus::kTruncated;
    return probe;
}

Tune* LoadTuneWithProbe(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency,
                        ModuleProbe* probe) {
    const ModuleProbe header = ProbeModule(bytes, byteCount);
    if (header.status != LoadStatus::kLoaded) {
        if (probe != nullptr) *probe = header;
        return nullptr;  // not a module, or one this reader refuses on its header alone
    }
    return ReadModule(LayoutOf(header.format), bytes, byteCount, stereoMode, mixFrequency, probe, nullptr);
}

Tune* LoadTune(const uint8_t* bytes, uint32_t byteCount, int32_t stereoMode, uint32_t mixFrequency) {
    return LoadTuneWithProbe(bytes, byteCount, stereoMode, mixFrequency, nullptr);
}
