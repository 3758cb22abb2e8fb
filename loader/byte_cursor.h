#pragma once
// The only way the readers touch module bytes. A read past the end yields 0 and sets a sticky
// ranOut flag instead of reading on, so a reader can decode a whole section and check once.
#include <cstdint>

struct ByteCursor {
    const uint8_t* bytes;
    uint32_t byteCount;
    uint32_t offset;  // never above byteCount
    bool ranOut;
};

// A start offset beyond the end is clamped to the end: nothing is left to read.
inline ByteCursor CursorAt(const uint8_t* bytes, uint32_t byteCount, uint32_t offset) {
    return ByteCursor{bytes, byteCount, offset < byteCount ? offset : byteCount, false};
}

inline uint32_t BytesLeft(const ByteCursor& cursor) {
    return cursor.byteCount - cursor.offset;
}

inline uint8_t ReadByte(ByteCursor* cursor) {
    if (cursor->offset >= cursor->byteCount) {
        cursor->ranOut = true;
        return 0;  // the end of the data reads as zeros; ranOut tells the reader
    }
    return cursor->bytes[cursor->offset++];
}

// Big-endian 16-bit value.
inline uint16_t ReadWord(ByteCursor* cursor) {
    const uint32_t high = ReadByte(cursor);
    const uint32_t low = ReadByte(cursor);
    return static_cast<uint16_t>((high << 8) | low);
}

inline void SkipBytes(ByteCursor* cursor, uint32_t skipBytes) {
    if (skipBytes > BytesLeft(*cursor)) {
        cursor->offset = cursor->byteCount;
        cursor->ranOut = true;
        return;  // the section does not fit in what is left
    }
    cursor->offset += skipBytes;
}

// Skips recordCount records of recordBytes each; compares by division, so the product never overflows.
inline void SkipRecords(ByteCursor* cursor, uint32_t recordCount, uint32_t recordBytes) {
    if (recordBytes != 0 && recordCount > BytesLeft(*cursor) / recordBytes) {
        cursor->offset = cursor->byteCount;
        cursor->ranOut = true;
        return;  // the records do not fit in what is left
    }
    cursor->offset += recordCount * recordBytes;
}
