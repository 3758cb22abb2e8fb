/* ahxdec through the GStreamer API: a subsong chosen while paused and an exact seek in float output,
 * and a damaged file. Subsongs at the start and whole files are gst_tools_test.sh's business.
 * Usage: gst_api_test AHX_TOOL FOLDER (the folder `write_test_modules gst` filled). */
#include <ahx/ahx.h>
#include <gst/gst.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

static void Expect(int condition, const char* what) {
    if (!condition) fprintf(stderr, "FAILED: %s\n", what), ++failures;
}

static void Die(const char* what, const char* detail) {
    fprintf(stderr, "%s: %s\n", what, detail);
    exit(1);
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
        Die("cannot run", command);
    }
    gchar* description = g_strdup_printf(
        "filesrc location=\"%s\" ! ahxdec name=dec ! audio/x-raw,format=F32LE,rate=44100 ! appsink name=out sync=false",
        songs);
    GstElement* pipeline = gst_parse_launch(description, NULL);
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    if (gst_element_get_state(pipeline, NULL, NULL, GST_CLOCK_TIME_NONE) != GST_STATE_CHANGE_SUCCESS) {
        Die(description, "does not preroll");
    }
    GstElement* decoder = gst_bin_get_by_name(GST_BIN(pipeline), "dec");
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    g_object_set(decoder, "current-subsong", 1u, NULL);
    gst_element_seek_simple(pipeline, GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE, GST_SECOND);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const gint16* want = (const gint16*)expected;
    gsize count = 0, differing = 0;
    for (GstSample* sample; g_signal_emit_by_name(sink, "pull-sample", &sample), sample != NULL;) {
        GstMapInfo map;
        GstBuffer* buffer = gst_sample_get_buffer(sample);
        gst_buffer_map(buffer, &map, GST_MAP_READ);
        const float* samples = (const float*)map.data;
        for (gsize i = 0; i < map.size / sizeof(float); ++i, ++count) {
            differing += count >= expected_bytes / sizeof(gint16) || samples[i] != want[count] / 32768.0f;
        }
        gst_buffer_unmap(buffer, &map);
        gst_sample_unref(sample);
    }
    Expect(count == expected_bytes / sizeof(gint16), "as many samples as ahx render --song 2 --start 1");
    Expect(differing == 0, "the samples of ahx render --song 2 --start 1");
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(decoder);
    gst_object_unref(pipeline);
    g_free(description), g_free(expected), g_free(command), g_free(raw), g_free(songs);
}

/* A module whose tracks end early posts a decode error naming the library's reason. */
static void DamagedModuleIsAnError(const char* folder) {
    gchar* damaged = g_build_filename(folder, "damaged.hvl", NULL);
    gchar* description = g_strdup_printf("filesrc location=\"%s\" ! decodebin ! fakesink", damaged);
    GstElement* pipeline = gst_parse_launch(description, NULL);
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message = gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GST_MESSAGE_ERROR | GST_MESSAGE_EOS);
    GError* error = NULL;
    if (message != NULL && GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) gst_message_parse_error(message, &error, NULL);
    Expect(g_error_matches(error, GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE), "the damaged module posts a decode error");
    Expect(error != NULL && strstr(error->message, ahx_result_text(AHX_ERROR_TRUNCATED)) != NULL,
           "it gives the library's reason");
    if (error != NULL) g_error_free(error);
    if (message != NULL) gst_message_unref(message);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(bus);
    gst_object_unref(pipeline);
    g_free(description), g_free(damaged);
}

int main(int argc, char** argv) {
    gst_init(&argc, &argv);
    if (argc != 3) Die("usage", "gst_api_test AHX_TOOL FOLDER");
    SubsongAndSeekMatchRender(argv[1], argv[2]);
    DamagedModuleIsAnError(argv[2]);
    gst_deinit();
    printf("gst_api_test: %s\n", failures == 0 ? "passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}
