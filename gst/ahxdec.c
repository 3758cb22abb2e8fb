/* The decoder on GstNonstreamAudioDecoder: the base class collects the file, handles the subsong,
 * loop and output-mode properties, seeking and the table of contents; this element plays through
 * libahx's public interface. Positions are counted in frames of the song that plays, times are
 * converted at the negotiated rate. */
#include "ahxdec.h"

#include <ahx/ahx.h>
#include <gst/audio/audio.h>
#include <gst/audio/gstnonstreamaudiodecoder.h>

#include "module_tags.h"

GST_DEBUG_CATEGORY_STATIC(ahx_dec_debug);
#define GST_CAT_DEFAULT ahx_dec_debug

/* Stereo width in percent as `ahx render --separation` takes it; 100 leaves the mix as it is. */
#define UNCHANGED_SEPARATION 100
#define WIDEST_SEPARATION 200
/* About 23 ms at 44100 Hz per buffer. */
#define BLOCK_FRAMES 1024
#define FOREVER G_MAXUINT64

enum { PROP_0, PROP_STEREO_MODE, PROP_SEPARATION };

typedef struct {
    GstNonstreamAudioDecoder parent;
    /* Properties; the stereo mode takes effect when a module is loaded. */
    gint stereo_mode;
    gint separation;

    ahx_player* player;
    GBytes* module;              /* to open again when downstream asks for another rate */
    guint library_rate;          /* what the library renders at unless asked otherwise */
    guint rate;
    GstAudioFormat format;
    guint songs;                 /* the main song and the subsongs */
    guint song;                  /* the song that plays */
    gboolean all_songs;          /* every song in turn, each once through */
    gint num_loops;              /* -1 for ever */
    guint64 frame;               /* of the song that plays, from its start */
    guint64 end_frame;           /* where that song ends, or FOREVER */
    /* The looping output mode moves the position back each time the song comes back to a step it
     * played: first at once_frames, then every loop_frames (0: it never loops). */
    gboolean looping_output;
    guint64 once_frames;
    guint64 loop_frames;
    guint64 next_loop_frame;
    guint64 sequence_frames;     /* all songs: one pass through every song */
    guint64 sequence_offset;     /* all songs: frames played before this song began */
    guint pass;                  /* all songs: passes completed */
    int16_t pcm[BLOCK_FRAMES * 2];
} GstAhxDec;

typedef struct {
    GstNonstreamAudioDecoderClass parent_class;
} GstAhxDecClass;

G_DEFINE_TYPE(GstAhxDec, gst_ahx_dec, GST_TYPE_NONSTREAM_AUDIO_DECODER)
#define GST_AHX_DEC(obj) ((GstAhxDec*)(obj))

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    GST_NONSTREAM_AUDIO_DECODER_SINK_NAME, GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS("audio/x-ahx; audio/x-hvl"));

static guint64 FramesAt(GstAhxDec* self, GstClockTime time) {
    return gst_util_uint64_scale_round(time, self->rate, GST_SECOND);
}

static GstClockTime TimeOf(GstAhxDec* self, guint64 frames) {
    return frames == FOREVER ? GST_CLOCK_TIME_NONE : gst_util_uint64_scale_round(frames, GST_SECOND, self->rate);
}

/* How long `song` plays with `loops` repeats (-1: for ever): until it has come back to a step it
 * played loops + 1 times. A song that stops is over where it stops, however many repeats, and one
 * without positions has nothing to repeat. */
static guint64 SongFrames(GstAhxDec* self, guint song, gint loops) {
    ahx_length once;
    ahx_measure_song(self->player, song, 1, &once);
    if (!once.ends) {
        ahx_song_summary summary;
        ahx_summarise_song(self->player, song, &summary);
        if (summary.end == AHX_SONG_STOPS) return summary.frames;
    }
    if (loops == 0 || once.frames == 0) return once.frames;
    if (loops < 0) return FOREVER;
    ahx_length repeated;
    ahx_measure_song(self->player, song, (uint32_t)loops + 1, &repeated);
    return repeated.frames;
}

/* Where the song first comes back to a played step and how long each pass after that lasts. */
static void MeasureLoop(GstAhxDec* self) {
    ahx_length once, twice;
    self->loop_frames = 0;
    self->once_frames = FOREVER;
    if (ahx_measure_song(self->player, self->song, 1, &once) != AHX_OK || !once.ends) return;
    if (ahx_measure_song(self->player, self->song, 2, &twice) != AHX_OK || !twice.ends) return;
    self->once_frames = once.frames;
    self->loop_frames = twice.frames - once.frames;
}

/* The first loop point at or after the song's frame `frame`. */
static guint64 NextLoopFrame(GstAhxDec* self, guint64 frame) {
    if (self->loop_frames == 0) return FOREVER;
    if (frame <= self->once_frames) return self->once_frames;
    const guint64 passes = (frame - self->once_frames + self->loop_frames - 1) / self->loop_frames;
    return self->once_frames + passes * self->loop_frames;
}

static void StartSong(GstAhxDec* self, guint song) {
    ahx_select_song(self->player, song);
    self->song = song;
    self->frame = 0;
    self->end_frame = SongFrames(self, song, self->all_songs ? 0 : self->num_loops);
    MeasureLoop(self);
    self->next_loop_frame = NextLoopFrame(self, 0);
}

static void StartSequence(GstAhxDec* self) {
    self->sequence_frames = 0;
    for (guint song = 0; song < self->songs; ++song) self->sequence_frames += SongFrames(self, song, 0);
    self->sequence_offset = 0;
    self->pass = 0;
    StartSong(self, 0);
}

static gboolean AllPassesDone(GstAhxDec* self) {
    return self->sequence_frames == 0 || (self->num_loops >= 0 && self->pass > (guint)self->num_loops);
}

/* Moves to `frame` of the song or, with all songs, of the passes through them. */
static void SeekToFrame(GstAhxDec* self, guint64 frame) {
    if (self->all_songs) {
        guint64 pass = frame / MAX(self->sequence_frames, 1);
        if (self->num_loops >= 0 && pass > (guint64)self->num_loops) pass = (guint64)self->num_loops + 1;
        StartSequence(self);
        self->pass = (guint)pass;
        self->sequence_offset = pass * self->sequence_frames;
        if (AllPassesDone(self)) return;
        guint64 within = frame - self->sequence_offset;
        while (within >= self->end_frame && self->song + 1 < self->songs) {
            within -= self->end_frame;
            self->sequence_offset += self->end_frame;
            StartSong(self, self->song + 1);
        }
        frame = within;
    }
    if (frame > self->end_frame) frame = self->end_frame;
    ahx_seek(self->player, frame);
    self->frame = frame;
    self->next_loop_frame = NextLoopFrame(self, frame);
}

/* Frames played since the start, every loop and song counted. */
static guint64 PositionFrames(GstAhxDec* self) {
    return self->all_songs ? self->sequence_offset + self->frame : self->frame;
}

/* The position the output shows: in the looping output mode it goes back at every loop, to the
 * step the song comes back to (one song), or to the start of the first song (all songs). */
static guint64 ShownFrames(GstAhxDec* self) {
    if (!self->looping_output) return PositionFrames(self);
    if (self->all_songs) return PositionFrames(self) - (guint64)self->pass * self->sequence_frames;
    if (self->loop_frames == 0 || self->frame < self->once_frames) return self->frame;
    return self->once_frames - self->loop_frames + (self->frame - self->once_frames) % self->loop_frames;
}

/* Rate and format downstream prefers among those the library renders: the library's own rate and
 * 16-bit samples when it does not care. */
static void ChooseOutput(GstAhxDec* self, guint preferred_rate) {
    self->rate = preferred_rate;
    self->format = GST_AUDIO_FORMAT_S16LE;
    GstCaps* allowed = gst_pad_get_allowed_caps(GST_NONSTREAM_AUDIO_DECODER_SRC_PAD(self));
    if (allowed == NULL) return;
    if (!gst_caps_is_empty(allowed)) {
        GstStructure* wanted = gst_structure_copy(gst_caps_get_structure(allowed, 0));
        gint rate = 0;
        gst_structure_fixate_field_nearest_int(wanted, "rate", (int)preferred_rate);
        gst_structure_fixate_field_string(wanted, "format", gst_audio_format_to_string(GST_AUDIO_FORMAT_S16LE));
        if (gst_structure_get_int(wanted, "rate", &rate)) self->rate = (guint)rate;
        const gchar* format = gst_structure_get_string(wanted, "format");
        if (format != NULL) self->format = gst_audio_format_from_string(format);
        gst_structure_free(wanted);
    }
    gst_caps_unref(allowed);
    GST_DEBUG_OBJECT(self, "output %s at %u Hz", gst_audio_format_to_string(self->format), self->rate);
}

static void ReportRefusal(GstAhxDec* self, ahx_result result) {
    /* Posting the message with the decoder's mutex held could deadlock an application that reacts
     * to it by touching the element. */
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
    GST_ELEMENT_ERROR(self, STREAM, DECODE, ("Cannot play this module: %s", ahx_result_text(result)),
                      ("libahx result %d", (int)result));
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
}

static ahx_result Open(GstAhxDec* self, guint rate) {
    const ahx_settings settings = {rate, self->stereo_mode};
    gsize size = 0;
    const void* data = g_bytes_get_data(self->module, &size);
    ahx_close(self->player);
    self->player = NULL;
    return ahx_open(data, size, &settings, &self->player);
}

/* Downstream may ask for another rate while playing (a reconfigure): the module is opened again
 * at that rate and playback goes on from the same time. */
static gboolean Negotiate(GstNonstreamAudioDecoder* dec) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    if (self->player != NULL) {
        const guint old_rate = self->rate;
        const GstAudioFormat old_format = self->format;
        ChooseOutput(self, self->library_rate);
        if (self->rate != old_rate) {
            const guint64 position = gst_util_uint64_scale_round(PositionFrames(self), self->rate, old_rate);
            const gboolean all_songs = self->all_songs;
            const guint song = self->song;
            if (Open(self, self->rate) != AHX_OK) return FALSE;
            self->all_songs = all_songs;
            if (all_songs) {
                StartSequence(self);
            } else {
                StartSong(self, song);
            }
            SeekToFrame(self, position);
        }
        if (self->rate != old_rate || self->format != old_format) {
            GST_INFO_OBJECT(self, "downstream asks for %s at %u Hz", gst_audio_format_to_string(self->format), self->rate);
            gst_audio_info_set_format(&dec->output_audio_info, self->format, self->rate, 2, NULL);
        }
    }
    return GST_NONSTREAM_AUDIO_DECODER_CLASS(gst_ahx_dec_parent_class)->negotiate(dec);
}

static gboolean LoadFromBuffer(GstNonstreamAudioDecoder* dec, GstBuffer* source, guint initial_subsong,
                               GstNonstreamAudioSubsongMode initial_subsong_mode, GstClockTime* initial_position,
                               GstNonstreamAudioOutputMode* initial_output_mode, gint* initial_num_loops) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    GstMapInfo map;
    if (!gst_buffer_map(source, &map, GST_MAP_READ)) return FALSE;
    if (self->module != NULL) g_bytes_unref(self->module);
    self->module = g_bytes_new(map.data, map.size);
    gst_buffer_unmap(source, &map);
    /* Opened once at the library's own rate, which is what we offer downstream first. */
    ahx_result result = Open(self, 0);
    if (result == AHX_OK) {
        self->library_rate = ahx_get_info(self->player)->sample_rate;
        ChooseOutput(self, self->library_rate);
        if (self->rate != self->library_rate) result = Open(self, self->rate);
    }
    if (result != AHX_OK) {
        ReportRefusal(self, result);
        return FALSE;
    }
    if (!gst_nonstream_audio_decoder_set_output_format_simple(dec, self->rate, self->format, 2)) return FALSE;

    self->songs = ahx_get_info(self->player)->subsongs + 1;
    self->num_loops = *initial_num_loops;
    self->all_songs = initial_subsong_mode == GST_NONSTREAM_AUDIO_SUBSONG_MODE_ALL;
    self->looping_output = *initial_output_mode == GST_NONSTREAM_AUDIO_OUTPUT_MODE_LOOPING;
    if (self->all_songs) {
        StartSequence(self);
    } else {
        StartSong(self, initial_subsong < self->songs ? initial_subsong : 0);
    }
    if (GST_CLOCK_TIME_IS_VALID(*initial_position) && *initial_position > 0) {
        SeekToFrame(self, FramesAt(self, *initial_position));
    }
    *initial_position = TimeOf(self, ShownFrames(self));
    return TRUE;
}

static gboolean Seek(GstNonstreamAudioDecoder* dec, GstClockTime* new_position) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    if (self->player == NULL) return FALSE;
    SeekToFrame(self, FramesAt(self, *new_position));
    *new_position = TimeOf(self, ShownFrames(self));
    return TRUE;
}

static GstClockTime Tell(GstNonstreamAudioDecoder* dec) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    return self->player == NULL ? GST_CLOCK_TIME_NONE : TimeOf(self, ShownFrames(self));
}

static GstTagList* GetMainTags(GstNonstreamAudioDecoder* dec) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    return self->player == NULL ? NULL : ahx_module_tags(self->player);
}

static gboolean SetCurrentSubsong(GstNonstreamAudioDecoder* dec, guint subsong, GstClockTime* initial_position) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    if (self->player == NULL || subsong >= self->songs) return FALSE;
    self->all_songs = FALSE;
    StartSong(self, subsong);
    *initial_position = 0;
    return TRUE;
}

static guint GetCurrentSubsong(GstNonstreamAudioDecoder* dec) { return GST_AHX_DEC(dec)->song; }

static guint GetNumSubsongs(GstNonstreamAudioDecoder* dec) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    return self->player == NULL ? 0 : self->songs;
}

static GstClockTime GetSubsongDuration(GstNonstreamAudioDecoder* dec, guint subsong) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    if (self->player == NULL || subsong >= self->songs) return GST_CLOCK_TIME_NONE;
    return TimeOf(self, SongFrames(self, subsong, self->looping_output ? 0 : self->num_loops));
}

static GstTagList* GetSubsongTags(GstNonstreamAudioDecoder* dec, guint subsong) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    if (self->player == NULL || subsong >= self->songs) return NULL;
    return ahx_song_tags(self->player, subsong, GetSubsongDuration(dec, subsong));
}

static gboolean SetSubsongMode(GstNonstreamAudioDecoder* dec, GstNonstreamAudioSubsongMode mode,
                               GstClockTime* initial_position) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    self->all_songs = mode == GST_NONSTREAM_AUDIO_SUBSONG_MODE_ALL;
    if (self->player == NULL) return TRUE;
    if (self->all_songs) {
        StartSequence(self);
    } else {
        StartSong(self, self->song);
    }
    *initial_position = 0;
    return TRUE;
}

static gboolean SetNumLoops(GstNonstreamAudioDecoder* dec, gint num_loops) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    self->num_loops = num_loops < 0 ? -1 : num_loops;
    if (self->player != NULL && !self->all_songs) {
        self->end_frame = SongFrames(self, self->song, self->num_loops);
    }
    return TRUE;
}

static gint GetNumLoops(GstNonstreamAudioDecoder* dec) { return GST_AHX_DEC(dec)->num_loops; }

static guint GetSupportedOutputModes(GstNonstreamAudioDecoder* dec) {
    (void)dec;
    return 1u << GST_NONSTREAM_AUDIO_OUTPUT_MODE_STEADY | 1u << GST_NONSTREAM_AUDIO_OUTPUT_MODE_LOOPING;
}

static gboolean SetOutputMode(GstNonstreamAudioDecoder* dec, GstNonstreamAudioOutputMode mode,
                              GstClockTime* current_position) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    self->looping_output = mode == GST_NONSTREAM_AUDIO_OUTPUT_MODE_LOOPING;
    *current_position = self->player == NULL ? GST_CLOCK_TIME_NONE : TimeOf(self, ShownFrames(self));
    return TRUE;
}

/* The same arithmetic as `ahx render --separation`: halves rounded away from zero, then clipped. */
static int16_t Mixed(int64_t own, int64_t other, int percent) {
    const int64_t sum = own * (100 + percent) + other * (100 - percent);
    const int64_t value = (sum >= 0 ? sum + 100 : sum - 100) / 200;
    return (int16_t)CLAMP(value, G_MININT16, G_MAXINT16);
}

static void SetSeparation(int16_t* frames, guint frame_count, int percent) {
    for (guint i = 0; i < frame_count; ++i) {
        const int64_t left = frames[2 * i], right = frames[2 * i + 1];
        frames[2 * i] = Mixed(left, right, percent);
        frames[2 * i + 1] = Mixed(right, left, percent);
    }
}

static gboolean Decode(GstNonstreamAudioDecoder* dec, GstBuffer** buffer, guint* num_samples) {
    GstAhxDec* self = GST_AHX_DEC(dec);
    if (self->player == NULL || (self->all_songs && AllPassesDone(self))) return FALSE;
    while (self->frame >= self->end_frame) {
        if (!self->all_songs) return FALSE;
        self->sequence_offset += self->end_frame;
        if (self->song + 1 < self->songs) {
            StartSong(self, self->song + 1);
            continue;
        }
        ++self->pass;
        if (AllPassesDone(self)) return FALSE;
        StartSong(self, 0);
        if (self->looping_output) gst_nonstream_audio_decoder_handle_loop(dec, 0);
    }
    if (!self->all_songs && self->frame == self->next_loop_frame) {
        self->next_loop_frame += self->loop_frames;
        if (self->looping_output) gst_nonstream_audio_decoder_handle_loop(dec, TimeOf(self, ShownFrames(self)));
    }
    /* A buffer ends at a loop point, so that the position can go back between two buffers. */
    const guint64 until = MIN(self->end_frame, self->next_loop_frame > self->frame ? self->next_loop_frame : FOREVER);
    const guint frames = (guint)MIN((guint64)BLOCK_FRAMES, until - self->frame);
    const gboolean floats = self->format == GST_AUDIO_FORMAT_F32LE;
    GstBuffer* out = gst_nonstream_audio_decoder_allocate_output_buffer(
        dec, (gsize)frames * 2 * (floats ? sizeof(float) : sizeof(int16_t)));
    if (out == NULL) return FALSE;
    GstMapInfo map;
    if (!gst_buffer_map(out, &map, GST_MAP_WRITE)) {
        gst_buffer_unref(out);
        return FALSE;
    }
    int16_t* pcm = floats ? self->pcm : (int16_t*)map.data;
    ahx_render_s16(self->player, pcm, frames);
    if (self->separation != UNCHANGED_SEPARATION) SetSeparation(pcm, frames, self->separation);
    if (floats) {
        /* What ahx_render_f32 gives: the 16-bit samples divided by 32768. */
        float* samples = (float*)map.data;
        for (guint i = 0; i < frames * 2; ++i) samples[i] = (float)pcm[i] / 32768.0f;
    }
    gst_buffer_unmap(out, &map);
    self->frame += frames;
    *buffer = out;
    *num_samples = frames;
    return TRUE;
}

static void SetProperty(GObject* object, guint id, const GValue* value, GParamSpec* spec) {
    GstAhxDec* self = GST_AHX_DEC(object);
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
    switch (id) {
        case PROP_STEREO_MODE: self->stereo_mode = g_value_get_int(value); break;
        case PROP_SEPARATION: self->separation = g_value_get_int(value); break;
        default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec); break;
    }
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
}

static void GetProperty(GObject* object, guint id, GValue* value, GParamSpec* spec) {
    GstAhxDec* self = GST_AHX_DEC(object);
    GST_NONSTREAM_AUDIO_DECODER_LOCK_MUTEX(self);
    switch (id) {
        case PROP_STEREO_MODE: g_value_set_int(value, self->stereo_mode); break;
        case PROP_SEPARATION: g_value_set_int(value, self->separation); break;
        default: G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, spec); break;
    }
    GST_NONSTREAM_AUDIO_DECODER_UNLOCK_MUTEX(self);
}

static void Finalize(GObject* object) {
    GstAhxDec* self = GST_AHX_DEC(object);
    ahx_close(self->player);
    if (self->module != NULL) g_bytes_unref(self->module);
    G_OBJECT_CLASS(gst_ahx_dec_parent_class)->finalize(object);
}

static void gst_ahx_dec_class_init(GstAhxDecClass* klass) {
    GObjectClass* object_class = G_OBJECT_CLASS(klass);
    GstElementClass* element_class = GST_ELEMENT_CLASS(klass);
    GstNonstreamAudioDecoderClass* dec_class = GST_NONSTREAM_AUDIO_DECODER_CLASS(klass);

    object_class->set_property = SetProperty;
    object_class->get_property = GetProperty;
    object_class->finalize = Finalize;
    g_object_class_install_property(
        object_class, PROP_STEREO_MODE,
        g_param_spec_int("stereo-mode", "Stereo mode",
                         "Pan width of AHX modules, 0 (every channel centred) to 4 (hard left and right); "
                         "HVL modules carry their own. Takes effect when a module is loaded",
                         0, AHX_HIGHEST_STEREO_MODE, AHX_LISTENING_STEREO_MODE,
                         G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY));
    g_object_class_install_property(
        object_class, PROP_SEPARATION,
        g_param_spec_int("separation", "Separation",
                         "Stereo width in percent: 0 mono, 100 the module's own panning, up to 200 wider",
                         0, WIDEST_SEPARATION, UNCHANGED_SEPARATION,
                         G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING));

    gst_element_class_add_static_pad_template(element_class, &sink_template);
    GstCaps* src_caps = gst_caps_new_simple("audio/x-raw", "layout", G_TYPE_STRING, "interleaved", "rate",
                                            GST_TYPE_INT_RANGE, (int)AHX_LOWEST_SAMPLE_RATE, (int)AHX_HIGHEST_SAMPLE_RATE, "channels", G_TYPE_INT, 2,
                                            NULL);
    GValue formats = G_VALUE_INIT;
    GValue format = G_VALUE_INIT;
    gst_value_list_init(&formats, 2);
    g_value_init(&format, G_TYPE_STRING);
    g_value_set_static_string(&format, gst_audio_format_to_string(GST_AUDIO_FORMAT_S16LE));
    gst_value_list_append_value(&formats, &format);
    g_value_set_static_string(&format, gst_audio_format_to_string(GST_AUDIO_FORMAT_F32LE));
    gst_value_list_append_value(&formats, &format);
    gst_caps_set_value(src_caps, "format", &formats);
    g_value_unset(&format);
    g_value_unset(&formats);
    gst_element_class_add_pad_template(
        element_class, gst_pad_template_new(GST_NONSTREAM_AUDIO_DECODER_SRC_NAME, GST_PAD_SRC, GST_PAD_ALWAYS, src_caps));
    gst_caps_unref(src_caps);
    gst_element_class_set_static_metadata(element_class, "AHX and HVL module decoder", "Codec/Decoder/Audio",
                                          "Plays AHX (THX) and HivelyTracker (HVL) modules through libahx", "ahx");

    dec_class->load_from_buffer = LoadFromBuffer;
    dec_class->seek = Seek;
    dec_class->tell = Tell;
    dec_class->get_main_tags = GetMainTags;
    dec_class->set_current_subsong = SetCurrentSubsong;
    dec_class->get_current_subsong = GetCurrentSubsong;
    dec_class->get_num_subsongs = GetNumSubsongs;
    dec_class->get_subsong_duration = GetSubsongDuration;
    dec_class->get_subsong_tags = GetSubsongTags;
    dec_class->set_subsong_mode = SetSubsongMode;
    dec_class->set_num_loops = SetNumLoops;
    dec_class->get_num_loops = GetNumLoops;
    dec_class->get_supported_output_modes = GetSupportedOutputModes;
    dec_class->set_output_mode = SetOutputMode;
    dec_class->decode = Decode;
    dec_class->negotiate = Negotiate;
}

static void gst_ahx_dec_init(GstAhxDec* self) {
    self->stereo_mode = AHX_LISTENING_STEREO_MODE;
    self->separation = UNCHANGED_SEPARATION;
    self->format = GST_AUDIO_FORMAT_S16LE;
}

gboolean gst_ahx_dec_register(GstPlugin* plugin) {
    GST_DEBUG_CATEGORY_INIT(ahx_dec_debug, "ahxdec", 0, "AHX and HVL module decoder");
    return gst_element_register(plugin, "ahxdec", GST_RANK_PRIMARY, gst_ahx_dec_get_type());
}
