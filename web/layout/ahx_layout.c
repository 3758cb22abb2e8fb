/* Prints ahx-layout.js: the result codes, constants and record layouts of ahx.h as the WebAssembly
 * build lays them out, for ahx.js to read the library's records by. Compiled for wasm32 and run at
 * build time, so the page's numbers are the compiler's and cannot drift from the header. */
#include <ctype.h>
#include <stddef.h>
#include <stdio.h>

#include "ahx/ahx.h"

static const char* separator;

static void Begin(const char* name) {
    printf("export const %s = Object.freeze({", name);
    separator = "";
}

static void End(void) { printf(" });\n"); }

static void Value(const char* name, long long value) {
    printf("%s %s: %lld", separator, name, value);
    separator = ",";
}

/* A name in ahx.js's spelling: ticks_per_second becomes ticksPerSecond. */
static void CamelCase(const char* name) {
    for (const char* c = name; *c != '\0'; ++c) {
        if (*c == '_' && c[1] != '\0') putchar(toupper((unsigned char)*++c));
        else putchar(*c);
    }
}

static void Field(const char* field, size_t offset) {
    printf("%s ", separator);
    CamelCase(field);
    printf(": %zu", offset);
    separator = ",";
}

static void Record(const char* record, size_t bytes) {
    printf("%s\n    ", separator);
    CamelCase(record);
    printf(": {");
    separator = "";
    Value("bytes", (long long)bytes);
}

/* An enumeration value or macro under its name without the prefix: AHX_ERROR_TRUNCATED is TRUNCATED. */
#define NAMED(prefix, name) Value(#name, AHX_##prefix##name)
#define RESULT(name) NAMED(ERROR_, name)
#define CONSTANT(name) NAMED(, name)
#define RECORD(record) Record(#record, sizeof(ahx_##record))
#define FIELD(record, field) Field(#field, offsetof(ahx_##record, field))
#define END_RECORD() printf(" }"); separator = ","

int main(void) {
    printf("// Generated at build time from include/ahx/ahx.h for the WebAssembly build; do not edit.\n");
    Begin("Result");
    Value("OK", AHX_OK);
    RESULT(NOT_A_MODULE); RESULT(UNSUPPORTED_VERSION); RESULT(TRUNCATED);
    RESULT(TOO_MANY_POSITIONS); RESULT(TRACK_TOO_LONG); RESULT(TOO_MANY_INSTRUMENTS);
    RESULT(TOO_MANY_CHANNELS); RESULT(TOO_LARGE); RESULT(OUT_OF_MEMORY);
    RESULT(NO_SUCH_SONG); RESULT(INVALID_ARGUMENT);
    End();
    Begin("Format");
    NAMED(FORMAT_, UNKNOWN); NAMED(FORMAT_, AHX); NAMED(FORMAT_, HVL);
    End();
    Begin("StepColumns");
    NAMED(STEP_, NOTE); NAMED(STEP_, INSTRUMENT); NAMED(STEP_, COMMAND); NAMED(STEP_, COMMANDS);
    End();
    Begin("Limits");
    CONSTANT(DEFAULT_SAMPLE_RATE); CONSTANT(LOWEST_SAMPLE_RATE); CONSTANT(HIGHEST_SAMPLE_RATE);
    CONSTANT(HIGHEST_STEREO_MODE); CONSTANT(LISTENING_STEREO_MODE); CONSTANT(MAX_CHANNELS); CONSTANT(TEXT_BYTES); CONSTANT(MAX_MODULE_BYTES);
    CONSTANT(LENGTH_CAP_SECONDS);
    End();

    Begin("Layout");
    RECORD(probe_info);
    FIELD(probe_info, format); FIELD(probe_info, version); FIELD(probe_info, found); FIELD(probe_info, limit);
    END_RECORD();
    RECORD(settings);
    FIELD(settings, sample_rate); FIELD(settings, stereo_mode);
    END_RECORD();
    RECORD(info);
    FIELD(info, format); FIELD(info, version); FIELD(info, title); FIELD(info, channels); FIELD(info, positions);
    FIELD(info, restart); FIELD(info, track_length); FIELD(info, tracks); FIELD(info, instruments);
    FIELD(info, subsongs); FIELD(info, speed_multiplier); FIELD(info, stereo_mode); FIELD(info, mix_gain);
    FIELD(info, sample_rate); FIELD(info, ticks_per_second);
    END_RECORD();
    RECORD(step);
    FIELD(step, note); FIELD(step, instrument); FIELD(step, command1); FIELD(step, param1); FIELD(step, command2);
    FIELD(step, param2);
    END_RECORD();
    RECORD(position);
    FIELD(position, track); FIELD(position, transpose);
    END_RECORD();
    RECORD(length);
    FIELD(length, frames); FIELD(length, ends); FIELD(length, end);
    END_RECORD();
    RECORD(voice_state);
    FIELD(voice_state, note); FIELD(voice_state, instrument); FIELD(voice_state, volume); FIELD(voice_state, pan);
    FIELD(voice_state, level);
    END_RECORD();
    RECORD(state);
    FIELD(state, song); FIELD(state, position); FIELD(state, row); FIELD(state, tick); FIELD(state, tempo);
    FIELD(state, frame); FIELD(state, voice_mask); FIELD(state, channels); FIELD(state, voices);
    END_RECORD();
    End();
    return 0;
}
