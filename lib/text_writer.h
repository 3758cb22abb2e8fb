#pragma once
// Text into a caller's buffer without printf: the library's texts are the same in every build,
// whatever the C runtime (the WebAssembly build has a small one) and its locale.
#include <cstddef>
#include <cstdint>

#include "ahx/ahx.h"

struct TextWriter {
    char* text;
    size_t size;
    size_t length;  // characters wanted so far, also those that did not fit
};

void Append(TextWriter& writer, const char* text);
// value in decimal, with leading zeros up to minDigits.
void AppendDecimal(TextWriter& writer, uint64_t value, int minDigits = 1);
void AppendHexDigit(TextWriter& writer, uint32_t digit);
// Terminates the text; AHX_ERROR_INVALID_ARGUMENT (and an empty text, where there is room for
// one) when it did not fit.
ahx_result Finish(TextWriter& writer);
