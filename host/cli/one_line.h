#pragma once
// Messages name files as the user typed them. A control character in a name (a newline, an
// escape sequence) would split a message over lines or move the terminal's cursor, so each one
// shows as '?', as ls does.
#include <string>
#include <string_view>

inline std::string OneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return line;
}
