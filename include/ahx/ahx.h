/*
 * libahx: plays AHX ("THX") and HivelyTracker ("HVL") modules, bit-exact, as interleaved stereo PCM.
 *
 * A module is a small synthesised tracker song. Open it from memory, pick a song, and pull as many
 * frames as you like; the song loops for ever, so ask ahx_measure_song how long it plays once through.
 *
 *     ahx_player* player;
 *     ahx_result result = ahx_open(bytes, byte_count, NULL, &player);   // 44100 Hz, stereo mode 0
 *     if (result != AHX_OK) { fprintf(stderr, "%s\n", ahx_result_text(result)); return 1; }
 *     ahx_length length;
 *     ahx_measure_song(player, 0, 1, &length);                          // main song, once through
 *     int16_t frames[2 * 1024];                                         // left, right, left, ...
 *     for (uint64_t done = 0; done < length.frames; done += 1024) {
 *         ahx_render_s16(player, frames, 1024);
 *         fwrite(frames, sizeof frames[0], 2 * 1024, out);
 *     }
 *     ahx_close(player);
 *
 * Terms: a frame is one left and one right sample. A song is the main song (number 0) or one of the
 * module's subsongs (1 to subsongs); each starts at its own position of the module's position list.
 * Channels (voices) are numbered from 0 in this interface; bit v of a voice mask is channel v.
 *
 * Ownership: ahx_open copies what it needs, so the caller may free its bytes as soon as it returns.
 * A player owns everything it hands out: the ahx_info and the strings it points to stay valid until
 * ahx_close. Every other pointer argument belongs to the caller and is only used during the call.
 *
 * Threads: one player must not be used by two threads at once; distinct players may be used from
 * distinct threads freely. The library's shared tables are built once, safely, by the first ahx_open.
 *
 * Errors: every function that can fail returns an ahx_result; on failure nothing has changed, and
 * nothing is left allocated. A NULL player or a required pointer that is NULL gives
 * AHX_ERROR_INVALID_ARGUMENT.
 */
#ifndef AHX_AHX_H
#define AHX_AHX_H

#include <stddef.h>
#include <stdint.h>

#include "ahx/ahx_version.h"

#ifdef __cplusplus
extern "C" {
#endif

#if defined(AHX_BUILDING_LIBRARY) && defined(__GNUC__)
#define AHX_API __attribute__((visibility("default")))
#else
#define AHX_API
#endif

/* ---- Version ------------------------------------------------------------------------------- */

/* (major << 16) | (minor << 8) | patch of the library actually linked, to compare with the
 * AHX_VERSION_* macros the caller was compiled with. */
AHX_API uint32_t ahx_version(void);
/* "1.1.0" */
AHX_API const char* ahx_version_string(void);

/* ---- Results ------------------------------------------------------------------------------- */

typedef enum ahx_result {
    AHX_OK = 0,
    AHX_ERROR_NOT_A_MODULE = 1,          /* no "THX" or "HVL" at the start */
    AHX_ERROR_UNSUPPORTED_VERSION = 2,   /* an HVL version above 1 or a THX revision above 2 */
    AHX_ERROR_TRUNCATED = 3,             /* the data ends before what its header describes */
    AHX_ERROR_TOO_MANY_POSITIONS = 4,    /* more than 1000 positions */
    AHX_ERROR_TRACK_TOO_LONG = 5,        /* tracks longer than 64 steps */
    AHX_ERROR_TOO_MANY_INSTRUMENTS = 6,  /* more than 64 instruments */
    AHX_ERROR_TOO_MANY_CHANNELS = 7,     /* more than 16 channels */
    AHX_ERROR_TOO_LARGE = 8,             /* more than AHX_MAX_MODULE_BYTES; no module comes close */
    AHX_ERROR_OUT_OF_MEMORY = 9,
    AHX_ERROR_NO_SUCH_SONG = 10,         /* a song number above the module's subsong count */
    AHX_ERROR_INVALID_ARGUMENT = 11      /* a NULL pointer, or a value outside its documented range */
} ahx_result;

/* A short English text for a result, such as "too many positions"; never NULL, owned by the
 * library. Unknown values give "unknown result". */
AHX_API const char* ahx_result_text(ahx_result result);

/* Room for any text the functions below write, its terminating zero included. */
#define AHX_TEXT_BYTES 64

/* ---- Probing ------------------------------------------------------------------------------- */

#define AHX_MAX_MODULE_BYTES (16u << 20)

typedef enum ahx_format {
    AHX_FORMAT_UNKNOWN = 0,
    AHX_FORMAT_AHX = 1, /* "THX" files */
    AHX_FORMAT_HVL = 2
} ahx_format;

typedef struct ahx_probe_info {
    ahx_format format;
    uint32_t version; /* HVL version or THX revision byte */
    /* For AHX_ERROR_TOO_MANY_POSITIONS .. AHX_ERROR_TOO_MANY_CHANNELS: what the header declares and
     * the most the format allows (say, 1001 and 1000); 0 otherwise. */
    uint32_t found;
    uint32_t limit;
} ahx_probe_info;

/* Reads only the header: the format, its version, and whether its counts are within the format's
 * limits. Allocates nothing. AHX_OK means the header is fine, not that the whole module loads;
 * ahx_open checks the rest. info may be NULL. */
AHX_API ahx_result ahx_probe(const void* data, size_t size, ahx_probe_info* info);

/* Why a module is refused, with the numbers a reader needs, into text (size bytes, at most
 * AHX_TEXT_BYTES needed): "too many positions: 1001, at most 1000", "unsupported HVL version 2",
 * "not a module (no THX or HVL header)". info is what ahx_probe gave for the module (NULL: the
 * words of ahx_result_text). AHX_ERROR_INVALID_ARGUMENT when text is NULL or too small. */
AHX_API ahx_result ahx_describe_refusal(ahx_result refusal, const ahx_probe_info* info, char* text, size_t size);

/* ---- Opening ------------------------------------------------------------------------------- */

typedef struct ahx_player ahx_player;

#define AHX_DEFAULT_SAMPLE_RATE 44100u
#define AHX_LOWEST_SAMPLE_RATE 8000u
#define AHX_HIGHEST_SAMPLE_RATE 192000u
#define AHX_HIGHEST_STEREO_MODE 4
/* The stereo mode players use for AHX modules unless told otherwise: the voices apart, as the
 * machine they were written for played them, without tiring headphones. ahx_open's default stays 0. */
#define AHX_LISTENING_STEREO_MODE 2

typedef struct ahx_settings {
    uint32_t sample_rate; /* output rate in Hz, AHX_LOWEST_ to AHX_HIGHEST_SAMPLE_RATE; 0 means
                           * AHX_DEFAULT_SAMPLE_RATE */
    /* Stereo width of AHX modules, 0 (every channel centred) to AHX_HIGHEST_STEREO_MODE (hard left
     * and right); it also sets their mix gain. HVL modules carry their own and ignore it. */
    int32_t stereo_mode;
} ahx_settings;

/* Parses a module and starts its main song. settings may be NULL (44100 Hz, stereo mode 0); a
 * zero-filled ahx_settings means the same. On success *player is a new player to free with
 * ahx_close; on failure *player is NULL and the result says why (ahx_probe then tells which
 * limit a limit result refers to). */
AHX_API ahx_result ahx_open(const void* data, size_t size, const ahx_settings* settings, ahx_player** player);
/* Frees the player and everything it handed out. NULL does nothing. */
AHX_API void ahx_close(ahx_player* player);

/* ---- What the module holds ----------------------------------------------------------------- */

/* The most channels a module has. */
#define AHX_MAX_CHANNELS 16

typedef struct ahx_info {
    ahx_format format;
    uint32_t version;          /* HVL version or THX revision */
    const char* title;         /* as stored: 8-bit text, at most 127 bytes, zero-terminated */
    uint32_t channels;         /* 4 for AHX, 4 to 16 for HVL */
    uint32_t positions;        /* length of the position list (0 plays silence) */
    uint32_t restart;          /* the position the song continues at after the last one */
    uint32_t track_length;     /* steps per track, 0 to 64 */
    uint32_t tracks;           /* tracks stored: numbers 0 to tracks - 1 */
    uint32_t instruments;      /* numbered 1 to instruments */
    uint32_t subsongs;         /* besides the main song: songs are 0 to subsongs */
    uint32_t speed_multiplier; /* replay ticks per 1/50 s, 1 to 4 */
    uint32_t stereo_mode;      /* 0 to 4: the file's (HVL) or the settings' (AHX) */
    uint32_t mix_gain;         /* master gain in 1/256 units: 256 is 100 % */
    uint32_t sample_rate;      /* the player's output rate */
    uint32_t ticks_per_second; /* replay ticks (the steps' time unit): 50 times speed_multiplier */
} ahx_info;

/* The module's header values; owned by the player. NULL for a NULL player. */
AHX_API const ahx_info* ahx_get_info(const ahx_player* player);
/* The name of instrument 1 to instruments, as stored (8-bit text, zero-terminated); NULL outside
 * that range. Owned by the player. */
AHX_API const char* ahx_instrument_name(const ahx_player* player, uint32_t instrument);
/* The position song (0 to subsongs) starts at. */
AHX_API ahx_result ahx_get_song_start(const ahx_player* player, uint32_t song, uint32_t* position);

/* One step (row) of a track: what a pattern view shows. */
typedef struct ahx_step {
    uint8_t note;       /* 0 none, else a note number, 1 to 60 in a well-formed module */
    uint8_t instrument; /* 0 none */
    uint8_t command1;   /* 0 to 15, with its parameter */
    uint8_t param1;
    uint8_t command2;   /* HVL only; 0 in AHX modules */
    uint8_t param2;
} ahx_step;

/* A position: for each channel, the track it plays and the transpose in semitones. Only the first
 * `channels` entries are meaningful. */
typedef struct ahx_position {
    uint8_t track[AHX_MAX_CHANNELS];
    int8_t transpose[AHX_MAX_CHANNELS];
} ahx_position;

/* Step `row` (below track_length) of track 0 to 255; a track the file does not store is empty. */
AHX_API ahx_result ahx_get_step(const ahx_player* player, uint32_t track, uint32_t row, ahx_step* step);
/* Position 0 to positions - 1. */
AHX_API ahx_result ahx_get_position(const ahx_player* player, uint32_t position, ahx_position* out);

/* How much of a step ahx_format_step shows, from the barest to the richest. */
typedef enum ahx_step_columns {
    AHX_STEP_NOTE = 1,       /* "C-3" */
    AHX_STEP_INSTRUMENT = 2, /* "C-3 01" */
    AHX_STEP_COMMAND = 3,    /* "C-3 01 A04" */
    AHX_STEP_COMMANDS = 4    /* "C-3 01 A04 000", for HVL modules */
} ahx_step_columns;

/* A step as a pattern view shows it, into text (size bytes, at most AHX_TEXT_BYTES needed), always
 * the same width for the same columns: notes "C-1" to "B-9" ("---" none, "???" above octave 9),
 * the instrument's last two digits (".." none), each command and its parameter in hexadecimal
 * ("..." for command 0 with parameter 0). AHX_ERROR_INVALID_ARGUMENT for a NULL step or text,
 * text too small or columns outside the list. */
AHX_API ahx_result ahx_format_step(const ahx_step* step, ahx_step_columns columns, char* text, size_t size);

/* ---- Playing ------------------------------------------------------------------------------- */

/* Starts song 0 (the main song) to subsongs from its beginning. On AHX_ERROR_NO_SUCH_SONG the player
 * keeps playing what it played. */
AHX_API ahx_result ahx_select_song(ahx_player* player, uint32_t song);

/* Renders exactly frame_count frames, interleaved left then right, and moves on. Any request size
 * gives the same samples as any other. At 44100 Hz the samples equal the Kestrel plug-in's. */
AHX_API ahx_result ahx_render_s16(ahx_player* player, int16_t* frames, size_t frame_count);
/* The same samples as ahx_render_s16, each divided by 32768. */
AHX_API ahx_result ahx_render_f32(ahx_player* player, float* frames, size_t frame_count);
/* Every channel alone, in one pass: stems[c] (c below channels) receives frame_count interleaved
 * frames of channel c through the same volume, panning, mix gain and saturation as the mix. A
 * channel left out of the voice mask is written as silence. */
AHX_API ahx_result ahx_render_stems_s16(ahx_player* player, int16_t* const* stems, size_t frame_count);

/* Moves to frame `frame` of the current song, counted from its start: what renders next is exactly
 * what rendering from the start would give after that many frames. Far cheaper than rendering:
 * nothing is mixed on the way, and as a song plays or is measured the player keeps a snapshot every
 * ten seconds (a few hundred bytes per channel each) that later seeks start from. */
AHX_API ahx_result ahx_seek(ahx_player* player, uint64_t frame);

/* Channels heard: bit c for channel c. Channels left out keep playing silently, so unmuting one
 * brings it back in time. Bits above the module's channels are ignored. The default hears all;
 * a mask of all channels changes no sample. */
AHX_API ahx_result ahx_set_voice_mask(ahx_player* player, uint32_t mask);

/* When on, each render call measures every channel's level (see ahx_voice_state.level); it costs a
 * little time, so it is off until a player asks for it. */
AHX_API ahx_result ahx_set_metering(ahx_player* player, int enabled);

/* ---- How long a song plays ----------------------------------------------------------------- */

/* Nothing is measured past this: a song stuck on tempo 0 never comes back to a played step. */
#define AHX_LENGTH_CAP_SECONDS 600

/* A time as players show it, "m:ss.cc" (minutes as many digits as they need), frames at sample_rate
 * rounded to the nearest hundredth of a second, into text (size bytes, at most AHX_TEXT_BYTES
 * needed). AHX_ERROR_INVALID_ARGUMENT for a sample_rate of 0, or a NULL or too small text. */
AHX_API ahx_result ahx_format_clock(uint64_t frames, uint32_t sample_rate, char* text, size_t size);

/* What a rendering of song (0 to subsongs) carries as its comment, songs counted from 1 as a
 * listener counts them: "HVL version 1, song 1 of 3", "AHX revision 0, song 2 of 2". Into text
 * (size bytes, at most AHX_TEXT_BYTES needed). AHX_ERROR_NO_SUCH_SONG for a song above subsongs;
 * AHX_ERROR_INVALID_ARGUMENT for a NULL player, a NULL or too small text. */
AHX_API ahx_result ahx_describe_song(const ahx_player* player, uint32_t song, char* text, size_t size);

/* How a song goes on after playing once through: it comes back to a step it has played and loops
 * for ever, it stops on a step (a tempo of 0 holds it there for good), or neither happens within
 * AHX_LENGTH_CAP_SECONDS. */
typedef enum ahx_song_end {
    AHX_SONG_LOOPS = 0,
    AHX_SONG_STOPS = 1,
    AHX_SONG_CUT = 2
} ahx_song_end;

typedef struct ahx_length {
    uint64_t frames;  /* at the player's rate */
    int ends;         /* 1: the length is the song's own (it looped `loops` times or stopped); 0: the cap */
    ahx_song_end end; /* LOOPS: came back to a played step; STOPS: stood still for good on tempo 0 (one
                       * pass; `loops` cannot repeat it); CUT: neither within the cap */
} ahx_length;

/* The frames song plays until it comes back to a step it has already played, `loops` times (1 or
 * more: once through, twice, ...), until it stops for good on a tempo of 0, or
 * AHX_LENGTH_CAP_SECONDS, whichever comes first. A module without positions has length 0. Does not
 * disturb playback. */
AHX_API ahx_result ahx_measure_song(ahx_player* player, uint32_t song, uint32_t loops, ahx_length* length);

typedef struct ahx_song_summary {
    ahx_song_end end;
    uint64_t frames;        /* until it loops or stops, at the player's rate; the cap when cut */
    uint32_t position;      /* LOOPS: the step it comes back to; STOPS: the step it stops on; */
    uint32_t row;           /* CUT: 0 */
    uint32_t channels_used; /* bit c: channel c plays at least one note before then */
} ahx_song_summary;

/* How song (0 to subsongs) ends and which channels it uses, played once through. Does not
 * disturb playback. */
AHX_API ahx_result ahx_summarise_song(ahx_player* player, uint32_t song, ahx_song_summary* summary);

/* ---- Checking a module --------------------------------------------------------------------- */

/* What ahx_check reports. "found" and "used" are the fields of ahx_finding. */
typedef enum ahx_finding_kind {
    AHX_FINDING_REFUSED = 0,                /* the module does not open; refusal says why, and for
                                             * the limit results found is the value, used the limit */
    AHX_FINDING_RESTART_BEYOND_END = 1,     /* found: the restart position; used: the last position */
    AHX_FINDING_SUBSONG_BEYOND_END = 2,     /* found: the subsong's start position; used: 0 */
    AHX_FINDING_STEREO_MODE = 3,            /* found: a stereo mode above 4; used: 0 */
    AHX_FINDING_WAVE_LENGTH = 4,            /* found: a wave length index above 5; used: 5 */
    AHX_FINDING_PERF_WAVEFORM = 5,          /* found: a performance-list waveform above 4; used: 0 */
    AHX_FINDING_TRACK_NOT_STORED = 6,       /* found: a track a position names that the file does not
                                             * store; it plays as empty steps */
    AHX_FINDING_INSTRUMENT_NOT_DEFINED = 7, /* found: the instrument a step names; none starts */
    AHX_FINDING_NOTE_OUT_OF_RANGE = 8,      /* found: a note above 60 */
    AHX_FINDING_JUMP_BEYOND_END = 9,        /* found: where a position jump aims; used: the position
                                             * play goes on at instead (the restart position) */
    AHX_FINDING_TEMPO_ZERO = 10,            /* a step sets tempo 0: the song stops there for good */
    AHX_FINDING_SONG_NEVER_REPEATS = 11,    /* song does not come back to a played step within
                                             * AHX_LENGTH_CAP_SECONDS; position and row: where it
                                             * stops, when it does */
    AHX_FINDING_NAME_UNTERMINATED = 12,     /* a name runs into the end of the file */
    AHX_FINDING_NAME_TOO_LONG = 13,         /* found: its length; used: the bytes kept (127) */
    AHX_FINDING_NAMES_MISSING = 14,         /* the name table ends before instrument's name (0: the
                                             * title's); it and those after it are empty */
    AHX_FINDING_TRAILING_BYTES = 15         /* found: bytes after the last section */
} ahx_finding_kind;

/* The parts of a module file, in file order; AHX_SECTION_SONG for findings about playing. */
typedef enum ahx_section {
    AHX_SECTION_HEADER = 0,
    AHX_SECTION_SUBSONGS = 1,
    AHX_SECTION_POSITIONS = 2,
    AHX_SECTION_TRACKS = 3,
    AHX_SECTION_INSTRUMENTS = 4,
    AHX_SECTION_NAMES = 5,
    AHX_SECTION_END = 6,
    AHX_SECTION_SONG = 7
} ahx_section;

/* A location or value that does not apply to a finding. */
#define AHX_NOWHERE 0xFFFFFFFFu

typedef struct ahx_finding {
    ahx_finding_kind kind;
    ahx_result refusal; /* AHX_FINDING_REFUSED only; AHX_OK otherwise */
    ahx_section section;
    uint32_t offset;    /* byte offset in the file, or AHX_NOWHERE (findings about playing) */
    /* Where in the module, numbered as the rest of this interface numbers them (songs 0 to subsongs,
     * positions, channels, tracks, rows and performance-list entries from 0, instruments from 1);
     * AHX_NOWHERE where one does not apply. A step found through the position list has position,
     * row, channel and track; one found in the track section has track and row. */
    uint32_t song;
    uint32_t position;
    uint32_t channel;
    uint32_t track;
    uint32_t row;
    uint32_t instrument;
    uint32_t entry;
    int32_t found;
    int32_t used;
} ahx_finding;

typedef void (*ahx_finding_callback)(void* context, const ahx_finding* finding);

/* Reads a module as ahx_open does and calls report once for each finding: every value the library
 * mends while loading, every place that will not play as written, and the reason when it refuses
 * the module (also the result). File findings come in file order, then the commands' (jumps,
 * tempo 0, by position), then each song that never repeats, which takes playing every song through
 * (well under a second for most modules). report may be NULL. AHX_OK: the module opens, with or
 * without findings. */
AHX_API ahx_result ahx_check(const void* data, size_t size, ahx_finding_callback report, void* context);
/* A short English text for a finding kind, such as "restart position beyond the positions"; never
 * NULL, owned by the library. Unknown values give "unknown finding". */
AHX_API const char* ahx_finding_text(ahx_finding_kind kind);
/* A short name for a finding kind that stays the same from release to release, for programs to
 * match: "restart-beyond-end". Unknown values give "unknown". */
AHX_API const char* ahx_finding_name(ahx_finding_kind kind);

/* ---- Playback state, for displays ---------------------------------------------------------- */

typedef struct ahx_voice_state {
    uint8_t note;       /* the last note its track played, 0 before any */
    uint8_t instrument; /* 0 before any */
    uint8_t volume;     /* as the mixer applies it now: 0 to 64, or up to 255 where the module's
                         * envelope volumes go past the format's 64 (they are played as stored) */
    uint8_t pan;        /* 0 left, 128 centre, 255 right */
    float level;        /* the largest sample it contributed to the last render call, before panning
                         * and mix gain, 1 being a full-scale wave at volume 64: 0 to 1, or up to
                         * 255 / 64 at the volumes above 64 that `volume` mentions (0 unless
                         * metering is on, and for muted channels) */
} ahx_voice_state;

typedef struct ahx_state {
    uint32_t song;
    uint32_t position;    /* the position heard at the end of the last render call */
    uint32_t row;         /* its step */
    uint32_t tick;        /* ticks since that step began */
    uint32_t tempo;       /* ticks per step */
    uint64_t frame;       /* frames since the song started */
    uint32_t voice_mask;
    uint32_t channels;
    ahx_voice_state voices[AHX_MAX_CHANNELS];
} ahx_state;

AHX_API ahx_result ahx_get_state(const ahx_player* player, ahx_state* state);

#ifdef __cplusplus
}
#endif

#endif /* AHX_AHX_H */
