// Which library is linked, and what its results mean in words.
#include "ahx/ahx.h"
#include "lib/enum_number.h"

static_assert(sizeof(ahx_result) == sizeof(int), "results travel as C ints");

uint32_t ahx_version(void) {
    return (uint32_t{AHX_VERSION_MAJOR} << 16) | (uint32_t{AHX_VERSION_MINOR} << 8) | uint32_t{AHX_VERSION_PATCH};
}

const char* ahx_version_string(void) { return AHX_VERSION_STRING; }

const char* ResultText(int code) {
    switch (code) {
        case AHX_OK: return "success";
        case AHX_ERROR_NOT_A_MODULE: return "not a module";
        case AHX_ERROR_UNSUPPORTED_VERSION: return "unsupported version";
        case AHX_ERROR_TRUNCATED: return "truncated or damaged";
        case AHX_ERROR_TOO_MANY_POSITIONS: return "too many positions";
        case AHX_ERROR_TRACK_TOO_LONG: return "tracks too long";
        case AHX_ERROR_TOO_MANY_INSTRUMENTS: return "too many instruments";
        case AHX_ERROR_TOO_MANY_CHANNELS: return "too many channels";
        case AHX_ERROR_TOO_LARGE: return "larger than 16 MiB";
        case AHX_ERROR_OUT_OF_MEMORY: return "out of memory";
        case AHX_ERROR_NO_SUCH_SONG: return "no such song";
        case AHX_ERROR_INVALID_ARGUMENT: return "invalid argument";
    }
    return "unknown result";
}

const char* ahx_result_text(ahx_result result) { return ResultText(NumberOf(result)); }
