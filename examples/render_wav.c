/* Renders a module's main song, once through, to a 16-bit stereo WAV file at 44100 Hz.
 * Usage: render_wav MODULE OUT.wav */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <ahx/ahx.h>

enum { kRate = 44100, kPieceFrames = 4096 };

static void put_u32(unsigned char* out, uint32_t value) {
    for (int i = 0; i < 4; ++i) out[i] = (unsigned char)(value >> (8 * i));
}

static void put_u16(unsigned char* out, uint16_t value) {
    out[0] = (unsigned char)value;
    out[1] = (unsigned char)(value >> 8);
}

/* The canonical 44-byte header of a PCM WAV file; WAV is little-endian whatever the machine. */
static int write_wav_header(FILE* out, uint32_t frames) {
    unsigned char header[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                0,   0,   0,   0,   0, 0, 0, 0, 0,   0,   0,   0,   0,   0,   0,   0,
                                0,   0,   0,   0,   'd', 'a', 't', 'a', 0, 0, 0, 0};
    const uint32_t data_bytes = frames * 4;
    put_u32(header + 4, 36 + data_bytes);
    put_u32(header + 16, 16);        /* fmt chunk size */
    put_u16(header + 20, 1);         /* PCM */
    put_u16(header + 22, 2);         /* channels */
    put_u32(header + 24, kRate);
    put_u32(header + 28, kRate * 4); /* bytes per second */
    put_u16(header + 32, 4);         /* bytes per frame */
    put_u16(header + 34, 16);        /* bits per sample */
    put_u32(header + 40, data_bytes);
    return fwrite(header, 1, sizeof header, out) == sizeof header;
}

static unsigned char* read_file(const char* path, size_t* size) {
    FILE* in = fopen(path, "rb");
    if (in == NULL) return NULL;
    unsigned char* bytes = malloc(AHX_MAX_MODULE_BYTES);
    *size = bytes != NULL ? fread(bytes, 1, AHX_MAX_MODULE_BYTES, in) : 0;
    fclose(in);
    return bytes;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s MODULE OUT.wav\n", argv[0]);
        return 1;
    }
    size_t size = 0;
    unsigned char* bytes = read_file(argv[1], &size);
    if (bytes == NULL) {
        fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 2;
    }
    ahx_player* player = NULL;
    const ahx_settings settings = {kRate, 0};
    const ahx_result result = ahx_open(bytes, size, &settings, &player);
    free(bytes); /* the player keeps its own copy of what it needs */
    if (result != AHX_OK) {
        fprintf(stderr, "%s: %s\n", argv[1], ahx_result_text(result));
        return 2;
    }

    ahx_length length;
    ahx_measure_song(player, 0, 1, &length);
    FILE* out = fopen(argv[2], "wb");
    int ok = out != NULL && write_wav_header(out, (uint32_t)length.frames);
    static int16_t samples[2 * kPieceFrames];
    for (uint64_t done = 0; ok && done < length.frames;) {
        const uint64_t left = length.frames - done;
        const size_t frames = left < kPieceFrames ? (size_t)left : kPieceFrames;
        ahx_render_s16(player, samples, frames);
        /* WAV wants little-endian samples. */
        for (size_t i = 0; i < 2 * frames; ++i) put_u16((unsigned char*)&samples[i], (uint16_t)samples[i]);
        ok = fwrite(samples, 4, frames, out) == frames;
        done += frames;
    }
    ahx_close(player);
    if (out != NULL && fclose(out) != 0) ok = 0;
    if (!ok) {
        fprintf(stderr, "%s: cannot write\n", argv[2]);
        return 2;
    }
    return 0;
}
