#pragma once
// A finding of ahx_check as check shows it: its place, what it means, and its JSON object.
#include <string>

#include "ahx/ahx.h"

// What the finding means for the music; the place is written separately. header is what
// ahx_probe said of the module, for the numbers of a refusal.
std::string FindingMessage(const ahx_finding& f, const ahx_probe_info& header);
// "positions, offset 0x1c, position 4, channel 2": channels as users number them, from 1.
std::string FindingPlace(const ahx_finding& f);
// One JSON object, its message included.
std::string FindingJson(const ahx_finding& f, const ahx_probe_info& header);
