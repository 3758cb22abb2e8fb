#pragma once
// Names stored in modules, made fit for a terminal line.
#include <string>

// Names are 8-bit text of the old home-computer kind; read them as Latin-1 so any byte prints.
std::string NameText(const char* name);
// Text lines must stay one line each: control characters become '?'.
std::string Printable(const std::string& text);
