/* The native side of bench/web_render_speed.mjs: renders a module's main song `loops` times through
 * at 44100 Hz in 8192-frame requests, as the wasm side does, and prints the frames and the best of
 * `runs` wall-clock times in seconds: `render_speed FILE LOOPS RUNS`. */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "ahx/ahx.h"

enum { kChunkFrames = 8192 };

static double Now(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)now.tv_sec + (double)now.tv_nsec / 1e9;
}

int main(int argc, char** argv) {
    if (argc != 4) {
        fprintf(stderr, "usage: render_speed FILE LOOPS RUNS\n");
        return 1;
    }
    static unsigned char bytes[AHX_MAX_MODULE_BYTES];
    FILE* in = fopen(argv[1], "rb");
    const size_t size = in != NULL ? fread(bytes, 1, sizeof bytes, in) : 0;
    if (in != NULL) fclose(in);
    const uint32_t loops = (uint32_t)atoi(argv[2]);
    const int runs = atoi(argv[3]);
    static int16_t frames[2 * kChunkFrames];
    double best = 1e9;
    uint64_t total = 0;
    for (int run = 0; run < runs; ++run) {
        ahx_player* player = NULL;
        ahx_length length;
        if (ahx_open(bytes, size, NULL, &player) != AHX_OK || ahx_measure_song(player, 0, loops, &length) != AHX_OK) {
            fprintf(stderr, "render_speed: cannot open %s\n", argv[1]);
            return 2;
        }
        const double started = Now();
        for (uint64_t done = 0; done < length.frames; done += kChunkFrames) {
            const uint64_t left = length.frames - done;
            ahx_render_s16(player, frames, left < kChunkFrames ? (size_t)left : kChunkFrames);
        }
        const double seconds = Now() - started;
        if (seconds < best) best = seconds;
        total = length.frames;
        ahx_close(player);
    }
    printf("%llu %.6f\n", (unsigned long long)total, best);
    return 0;
}
