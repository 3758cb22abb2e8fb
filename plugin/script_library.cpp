// The script library: one command, ahx.SetPlayingTime, and the tables that describe it.
#include <cmath>

#include "plugin/exports.h"
#include "plugin/host_link.h"
#include "plugin/playing_time.h"
#include "plugin/script_namespace.h"

const char kScriptNamespace[] = "ahx";

namespace {

constexpr int32_t kMillisecondsArgument = 1;

// Truncates toward zero; values beyond the signed 32-bit range clamp instead of converting,
// since that conversion is undefined.
int32_t ClampToInt32(double value) {
    if (value >= 2147483648.0) return INT32_MAX;  // too long: the longest time there is
    if (value <= -2147483649.0) return INT32_MIN;  // too negative: an empty stream either way
    return static_cast<int32_t>(value);
}

int32_t SetPlayingTime(void* scriptState) {
    CheckNumberArgFn checkNumberArg = HostCheckNumberArg();
    if (checkNumberArg == nullptr) return 0;  // not started on a host: nothing to ask
    const double milliseconds = checkNumberArg(scriptState, kMillisecondsArgument);
    if (std::isnan(milliseconds)) return 0;  // no meaningful time; keep the current one
    playingTimeMs = ClampToInt32(milliseconds);
    return 0;
}

const ScriptCommand kCommands[] = {
    {"SetPlayingTime", SetPlayingTime},
    {nullptr, nullptr},
};

const char* const kHelpStrings[] = {
    "ahx.SetPlayingTime(ms) -- set playing duration of music in milliseconds",
    nullptr,
};

}  // namespace

const char* GetBaseTable(void) {
    return kScriptNamespace;
}

const ScriptCommand* GetCommands(void) {
    return kCommands;
}

const void* GetConstants(void) {
    return nullptr;  // the library defines no script constants
}

const char* const* GetHelpStrings(void) {
    return kHelpStrings;
}

int32_t InitLibrary(void* /*scriptState*/) {
    return 0;
}

void FreeLibrary(void* /*scriptState*/) {
}
