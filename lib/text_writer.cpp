#include "lib/text_writer.h"

namespace {

void AppendCharacter(TextWriter& writer, char c) {
    if (writer.length + 1 < writer.size) writer.text[writer.length] = c;
    ++writer.length;
}

}  // namespace

void Append(TextWriter& writer, const char* text) {
    for (; *text != '\0'; ++text) AppendCharacter(writer, *text);
}

void AppendDecimal(TextWriter& writer, uint64_t value, int minDigits) {
    char digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int pad = count; pad < minDigits; ++pad) AppendCharacter(writer, '0');
    while (count > 0) AppendCharacter(writer, digits[--count]);
}

void AppendHexDigit(TextWriter& writer, uint32_t digit) {
    AppendCharacter(writer, "0123456789ABCDEF"[digit & 0xF]);
}

ahx_result Finish(TextWriter& writer) {
    if (writer.length < writer.size) {
        writer.text[writer.length] = '\0';
        return AHX_OK;
    }
    if (writer.size > 0) writer.text[0] = '\0';
    return AHX_ERROR_INVALID_ARGUMENT;
}
