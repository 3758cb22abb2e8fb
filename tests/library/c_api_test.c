/* Every function of ahx.h called from C99 on the bundled demo song: the header must compile as C
 * with -Wpedantic and link. What the answers are is the C++ tests' business; here they only have to
 * hang together. Exits non-zero on the first failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ahx/ahx.h"

static int failures = 0;
#define CHECK(condition) \
    if (!(condition)) fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition), ++failures

static void count_finding(void* context, const ahx_finding* finding) { ++*(int*)context, (void)finding; }

int main(int argc, char** argv) {
    FILE* in = argc > 1 ? fopen(argv[1], "rb") : NULL;
    unsigned char* bytes = malloc(1 << 20);
    const size_t size = in != NULL && bytes != NULL ? fread(bytes, 1, 1 << 20, in) : 0;
    if (in != NULL) fclose(in);
    if (size == 0) return fprintf(stderr, "usage: %s MODULE.hvl\n", argv[0]), 2;

    CHECK(ahx_version() == ((AHX_VERSION_MAJOR << 16) | (AHX_VERSION_MINOR << 8) | AHX_VERSION_PATCH));
    CHECK(strcmp(ahx_version_string(), AHX_VERSION_STRING) == 0);
    /* C lets a caller pass any number; C++ callers cannot name one outside the enumeration. */
    CHECK(strcmp(ahx_result_text((ahx_result)999), "unknown result") == 0);
    CHECK(strcmp(ahx_finding_text((ahx_finding_kind)99), "unknown finding") == 0);
    CHECK(strcmp(ahx_finding_name((ahx_finding_kind)99), "unknown") == 0);
    ahx_probe_info probe;
    CHECK(ahx_probe(bytes, size, &probe) == AHX_OK && probe.format == AHX_FORMAT_HVL && probe.version == 1);
    char text[AHX_TEXT_BYTES];
    CHECK(ahx_describe_refusal(AHX_ERROR_TRUNCATED, &probe, text, sizeof text) == AHX_OK);
    int findings = 0;
    CHECK(ahx_check(bytes, size, count_finding, &findings) == AHX_OK && findings == 0);

    ahx_player* player = NULL;
    CHECK(ahx_open(bytes, size, NULL, &player) == AHX_OK && player != NULL);
    memset(bytes, 0, size); /* the player must not need the caller's bytes any more */
    free(bytes);
    if (player == NULL) return 1;
    const ahx_info* info = ahx_get_info(player);
    CHECK(info->channels == 8 && strcmp(info->title, "Harbour Lights") == 0 && ahx_instrument_name(player, 1) != NULL);
    uint32_t start = 99;
    ahx_step step;
    ahx_position position;
    CHECK(ahx_get_song_start(player, 0, &start) == AHX_OK && ahx_get_step(player, 0, 0, &step) == AHX_OK);
    CHECK(ahx_get_position(player, 0, &position) == AHX_OK && ahx_format_step(&step, AHX_STEP_NOTE, text, 4) == AHX_OK);
    CHECK(ahx_describe_song(player, 0, text, sizeof text) == AHX_OK && ahx_format_clock(1, 44100, text, 8) == AHX_OK);

    enum { kFrames = 3000 };
    static int16_t shorts[2 * kFrames], stem_frames[8][2 * 100];
    static float floats[2 * kFrames];
    int16_t* stems[8];
    for (int c = 0; c < 8; ++c) stems[c] = stem_frames[c];
    CHECK(ahx_select_song(player, 0) == AHX_OK && ahx_render_s16(player, shorts, kFrames) == AHX_OK);
    CHECK(ahx_seek(player, 0) == AHX_OK && ahx_set_metering(player, 1) == AHX_OK);
    CHECK(ahx_set_voice_mask(player, 0xFF) == AHX_OK && ahx_render_f32(player, floats, kFrames) == AHX_OK);
    CHECK(ahx_render_stems_s16(player, stems, 100) == AHX_OK);
    ahx_state state;
    CHECK(ahx_get_state(player, &state) == AHX_OK && state.frame == kFrames + 100 && state.channels == 8);
    ahx_length length;
    ahx_song_summary summary;
    CHECK(ahx_measure_song(player, 0, 1, &length) == AHX_OK && ahx_summarise_song(player, 0, &summary) == AHX_OK);
    CHECK(summary.frames == length.frames && summary.end == length.end && sizeof length == 16);
    ahx_close(player);
    ahx_close(NULL);
    if (failures == 0) printf("the C interface works\n");
    return failures == 0 ? 0 : 1;
}
