#pragma once
// Module text (titles, names, file names) made safe for a one-line message or a JSON string, and
// the library's clock as a string.
#include <cstdint>
#include <string>
#include <string_view>

// Control characters (C0, DEL and, as UTF-8, C1) become '?', so that a line stays one line and a
// terminal reads no command in it.
std::string Printable(const std::string& text);
// A quoted JSON string; the text is UTF-8 already.
std::string JsonString(const std::string& text);
// A title or instrument name as UTF-8: names are 8-bit text of the old home-computer kind, read as
// Latin-1 so that any byte prints.
std::string TitleText(const char* name);
// "1:02.35", as ahx_format_clock writes it.
std::string FormatClock(uint64_t frames, uint32_t sampleRate);
// Prints "ahx COMMAND: MESSAGE (see ahx COMMAND --help)" on stderr and returns the usage exit code.
int ReportUsageError(std::string_view command, const std::string& message);
