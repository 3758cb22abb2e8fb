#pragma once
// A file info or check could not use, as both report it.
#include <string>

// The reason a FileError gives, without the file name it starts with.
std::string ReasonWithoutFile(const std::string& message, const std::string& file);
// {"file":...,"result":"unreadable","reason":...: the object's start, for the caller to close.
std::string UnreadableJsonStart(const std::string& file, const std::string& reason);
