// Lays out and allocates the one block a Tune lives in: the record, then positions, instruments
// (entry 0 included), the subsong list and all performance-list entries, each aligned for its type.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "loader/module_reading.h"

namespace {

struct BlockLayout {
    size_t positionsOffset;
    size_t instrumentsOffset;
    size_t subsongsOffset;
    size_t perfEntriesOffset;
    size_t totalBytes;
};

// Reserves count records of recordBytes at *offset aligned to alignment; false on overflow.
bool Reserve(size_t* offset, size_t alignment, size_t count, size_t recordBytes, size_t* start) {
    const size_t aligned = (*offset + alignment - 1) / alignment * alignment;
    if (aligned < *offset) return false;  // rounding up wrapped
    if (count > (SIZE_MAX - aligned) / recordBytes) return false;  // the part would wrap
    *start = aligned;
    *offset = aligned + count * recordBytes;
    return true;
}

bool PlanBlock(const ModuleHeader& header, uint32_t perfEntryCount, BlockLayout* layout) {
    size_t offset = sizeof(Tune);
    const bool fits =
        Reserve(&offset, alignof(Position), header.positionCount, sizeof(Position), &layout->positionsOffset) &&
        Reserve(&offset, alignof(Instrument), header.instrumentCount + 1u, sizeof(Instrument),
                &layout->instrumentsOffset) &&
        Reserve(&offset, alignof(uint16_t), header.subsongCount, sizeof(uint16_t), &layout->subsongsOffset) &&
        Reserve(&offset, alignof(PerfEntry), perfEntryCount, sizeof(PerfEntry), &layout->perfEntriesOffset);
    layout->totalBytes = offset;
    return fits;
}

}  // namespace

Tune* AllocateTune(const ModuleHeader& header, uint32_t perfEntryCount, PerfEntry** perfEntries) {
    BlockLayout layout{};
    if (!PlanBlock(header, perfEntryCount, &layout)) return nullptr;  // cannot be addressed

    // calloc: the track store starts as empty steps and unnamed instruments as empty strings.
    void* memory = std::calloc(1, layout.totalBytes);
    if (memory == nullptr) return nullptr;  // out of memory
    uint8_t* block = static_cast<uint8_t*>(memory);

    Tune* tune = static_cast<Tune*>(memory);
    tune->positions = reinterpret_cast<Position*>(block + layout.positionsOffset);
    tune->instruments = reinterpret_cast<Instrument*>(block + layout.instrumentsOffset);
    tune->subsongList = reinterpret_cast<uint16_t*>(block + layout.subsongsOffset);
    *perfEntries = reinterpret_cast<PerfEntry*>(block + layout.perfEntriesOffset);
    return tune;
}
