/* Every function of ahx.h called from C99, on the bundled demo song: the header must compile as C
 * with -Wpedantic, and the answers must hang together. Exits non-zero on the first failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "ahx/ahx.h"

static int failures = 0;

#define CHECK(condition)                                                  \
    do {                                                                  \
        if (!(condition)) {                                               \
            fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #condition); \
            ++failures;                                                   \
        }                                                                 \
    } while (0)

static void count_finding(void* context, const ahx_finding* finding) {
    (void)finding;
    ++*(int*)context;
}

static unsigned char* read_file(const char* path, size_t* size) {
    FILE* in = fopen(path, "rb");
    unsigned char* bytes = malloc(1 << 20);
    *size = in != NULL && bytes != NULL ? fread(bytes, 1, 1 << 20, in) : 0;
    if (in != NULL) fclose(in);
    return bytes;
}

int main(int argc, char** argv) {
    size_t size = 0;
    unsigned char* bytes = argc > 1 ? read_file(argv[1], &size) : NULL;
    if (bytes == NULL || size == 0) {
        fprintf(stderr, "usage: %s MODULE.hvl\n", argv[0]);
        return 2;
    }

    CHECK(ahx_version() == ((AHX_VERSION_MAJOR << 16) | (AHX_VERSION_MINOR << 8) | AHX_VERSION_PATCH));
    CHECK(strcmp(ahx_version_string(), AHX_VERSION_STRING) == 0);
    CHECK(strcmp(ahx_result_text(AHX_OK), "success") == 0);
    CHECK(strcmp(ahx_result_text((ahx_result)999), "unknown result") == 0);

    ahx_probe_info probe;
    CHECK(ahx_probe(bytes, size, &probe) == AHX_OK && probe.format == AHX_FORMAT_HVL && probe.version == 1);
    CHECK(ahx_probe("XYZ", 3, NULL) == AHX_ERROR_NOT_A_MODULE);

    int findings = 0;
    CHECK(ahx_check(bytes, size, count_finding, &findings) == AHX_OK && findings == 0);
    CHECK(ahx_check("THX", 3, count_finding, &findings) == AHX_ERROR_TRUNCATED && findings == 1);
    CHECK(strcmp(ahx_finding_text(AHX_FINDING_TRAILING_BYTES), "bytes after the last section") == 0);
    /* C lets a caller pass any number; C++ callers cannot name one outside the enumeration. */
    CHECK(strcmp(ahx_finding_text((ahx_finding_kind)99), "unknown finding") == 0);

    ahx_player* player = NULL;
    CHECK(ahx_open(bytes, size, NULL, &player) == AHX_OK && player != NULL);
    memset(bytes, 0, size); /* the player must not need the caller's bytes any more */
    free(bytes);
    if (player == NULL) return 1;

    const ahx_info* info = ahx_get_info(player);
    CHECK(info != NULL && info->format == AHX_FORMAT_HVL && info->channels == 8 && info->sample_rate == 44100);
    CHECK(info != NULL && strcmp(info->title, "Harbour Lights") == 0);
    CHECK(ahx_instrument_name(player, 1) != NULL && ahx_instrument_name(player, 0) == NULL);
    uint32_t start = 99;
    CHECK(ahx_get_song_start(player, 0, &start) == AHX_OK && start == 0);
    ahx_step step;
    CHECK(ahx_get_step(player, 0, 0, &step) == AHX_OK);
    ahx_position position;
    CHECK(ahx_get_position(player, 0, &position) == AHX_OK);
    CHECK(ahx_select_song(player, info->subsongs + 1) == AHX_ERROR_NO_SUCH_SONG);

    /* What the samples are is the C++ tests' business; here the calls link and answer. */
    enum { kFrames = 3000 };
    static int16_t first[2 * kFrames];
    static float floats[2 * kFrames];
    CHECK(ahx_render_s16(player, first, kFrames) == AHX_OK);
    CHECK(ahx_seek(player, 0) == AHX_OK);
    CHECK(ahx_select_song(player, 0) == AHX_OK);
    CHECK(ahx_set_metering(player, 1) == AHX_OK);
    CHECK(ahx_set_voice_mask(player, 0) == AHX_OK);
    CHECK(ahx_render_f32(player, floats, kFrames) == AHX_OK);

    static int16_t stem_frames[8][2 * 100];
    int16_t* stems[8];
    for (int c = 0; c < 8; ++c) stems[c] = stem_frames[c];
    CHECK(ahx_set_voice_mask(player, 0xFFFF) == AHX_OK);
    CHECK(ahx_render_stems_s16(player, stems, 100) == AHX_OK);

    ahx_state state;
    CHECK(ahx_get_state(player, &state) == AHX_OK && state.frame == kFrames + 100 && state.channels == 8);
    ahx_length length;
    CHECK(ahx_measure_song(player, 0, 1, &length) == AHX_OK && length.ends == 1 && length.end == AHX_SONG_LOOPS &&
          length.frames > 0 && sizeof length == 16);
    CHECK(ahx_measure_song(player, 0, 0, &length) == AHX_ERROR_INVALID_ARGUMENT);

    ahx_song_summary summary;
    CHECK(ahx_summarise_song(player, 0, &summary) == AHX_OK && summary.end == AHX_SONG_LOOPS &&
          summary.frames == length.frames && summary.channels_used == 0xFF);

    ahx_close(player);
    ahx_close(NULL);
    if (failures == 0) printf("the C interface works\n");
    return failures == 0 ? 0 : 1;
}
