/* ahxdec through the GStreamer API: a subsong and an exact seek in float output, a damaged file.
 * Usage: gst_api_test AHX_TOOL FOLDER (the folder `write_test_modules gst` filled). */
#include <ahx/ahx.h>
#include <gst/gst.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>


static int failures = 0;

static void Expect(int condition, const char* what) {
    if (!condition) {
        fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}

static GstElement* Pipeline(const char* description) {
    GError* error = NULL;
    GstElement* pipeline = gst_parse_launch(description, &error);
    if (pipeline == NULL) {
        fprintf(stderr, "%s: %s\n", description, error->message);
        exit(1);
    }
    return pipeline;
}

/* Plays from where the pipeline is to the end; every byte the appsink named "out" got. */
static GByteArray* PullAll(GstElement* pipeline) {
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    GByteArray* bytes = g_byte_array_new();
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    for (;;) {
        GstSample* sample = NULL;
        g_signal_emit_by_name(sink, "pull-sample", &sample);
        if (sample == NULL) break;
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        g_byte_array_append(bytes, map.data, (guint)map.size);
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    gst_object_unref(sink);
    return bytes;
}

static void Preroll(GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (gst_element_get_state(pipeline, NULL, NULL, GST_CLOCK_TIME_NONE) != GST_STATE_CHANGE_SUCCESS) {
        fprintf(stderr, "FAILED: the pipeline does not preroll\n");
        exit(1);
    }
}

static void Finish(GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

/* Subsong 1 of songs.hvl (the tool's song 2), chosen while paused, then a seek to 1 s: the samples
 * of `ahx render --song 2 --start 1`, as floats (the 16-bit samples divided by 32768). */
static void SubsongAndSeekMatchRender(const char* tool, const char* folder) {
    gchar* songs = g_build_filename(folder, "songs.hvl", NULL);
    gchar* raw = g_build_filename(folder, "start.raw", NULL);
    gchar* command = g_strdup_printf("'%s' render '%s' --song 2 --start 1 --force -o '%s'", tool, songs, raw);
    gint status = 0;
    gchar* expected = NULL;
    gsize expected_bytes = 0;
    if (!g_spawn_command_line_sync(command, NULL, NULL, &status, NULL) || status != 0 ||
        !g_file_get_contents(raw, &expected, &expected_bytes, NULL)) {
        fprintf(stderr, "cannot run %s\n", command);
        exit(1);
    }
    gchar* description = g_strdup_printf(
        "filesrc location=\"%s\" ! ahxdec name=dec ! audio/x-raw,format=F32LE,rate=44100 ! appsink name=out sync=false",
        songs);
    GstElement* pipeline = Pipeline(description);
    Preroll(pipeline);
    GstElement* decoder = gst_bin_get_by_name(GST_BIN(pipeline), "dec");
    g_object_set(decoder, "current-subsong", 1u, NULL);
    gst_object_unref(decoder);
    Expect(gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE, GST_SECOND),
           "the seek is accepted");
    GByteArray* got = PullAll(pipeline);
    const gint16* want = (const gint16*)expected;
    const float* samples = (const float*)got->data;
    const gsize count = expected_bytes / sizeof(gint16);
    Expect(got->len == count * sizeof(float), "as many samples as ahx render --song 2 --start 1");
    gsize differing = 0;
    for (gsize i = 0; i < count && i < got->len / sizeof(float); ++i) differing += samples[i] != want[i] / 32768.0f;
    Expect(differing == 0, "the samples of ahx render --song 2 --start 1");
    g_byte_array_unref(got);
    Finish(pipeline);
    g_free(description);
    g_free(expected);
    g_free(command);
    g_free(raw);
    g_free(songs);
}

/* A module whose tracks end early posts a decode error naming the library's reason. */
static void DamagedModuleIsAnError(const char* folder) {
    gchar* damaged = g_build_filename(folder, "damaged.hvl", NULL);
    gchar* description = g_strdup_printf("filesrc location=\"%s\" ! decodebin ! fakesink", damaged);
    GstElement* pipeline = Pipeline(description);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message =
        gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
    Expect(message != NULL && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR, "the damaged module posts an error");
    if (message != NULL && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
        GError* error = NULL;
        gst_message_parse_error(message, &error, NULL);
        Expect(g_error_matches(error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE), "it is a decode error");
        Expect(strstr(error->message, ahx_result_text(AHX_ERROR_TRUNCATED)) != NULL, "it gives the library's reason");
        g_error_free(error);
    }
    if (message != NULL) gst_message_unref(message);
    gst_object_unref(bus);
    Finish(pipeline);
    g_free(description);
    g_free(damaged);
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    if (argc != 3) {
        fprintf(stderr, "usage: gst_api_test AHX_TOOL FOLDER\n");
        return 1;
    }
    SubsongAndSeekMatchRender(argv[1], argv[2]);
    DamagedModuleIsAnError(argv[2]);
    gst_deinit();
    printf("gst_api_test: %s\n", failures == 0 ? "passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}
