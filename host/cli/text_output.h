#pragma once
// Module text (titles, names, file names) made safe for a one-line message or a JSON string.
#include <string>

// Control characters become '?', so that a line stays one line.
std::string Printable(const std::string& text);
// A quoted JSON string; the text is UTF-8 already.
std::string JsonString(const std::string& text);
